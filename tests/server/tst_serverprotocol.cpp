// The protocol of a real zorsrv, over real sockets on loopback.
#include "Framing.h"
#include "Layout.h"
#include "RawClient.h"
#include "Records.h"
#include "ZorsrvProcess.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <climits>
#include <memory>
#include <vector>

namespace {

constexpr int TableAgents = 50;

QByteArray randomBytes(int size)
{
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(QRandomGenerator::global()->bounded(256));
    return b;
}

qint32 intAt(const QByteArray& data, int offset)
{
    return Layout::readInt(reinterpret_cast<const quint8*>(data.constData()), offset);
}

void setInt(QByteArray& data, int offset, qint32 value)
{
    Layout::writeInt(reinterpret_cast<quint8*>(data.data()), offset, value);
}

} // namespace

class TestServerProtocol : public QObject
{
    Q_OBJECT

private:
    ZorsrvProcess m_server;

    std::unique_ptr<RawClient> connected()
    {
        auto client = std::make_unique<RawClient>();
        if (!client->connectTo(m_server.port()))
            return nullptr;
        return client;
    }

    std::unique_ptr<RawClient> loggedIn()
    {
        auto client = connected();
        if (!client || client->login() != 0)
            return nullptr;
        return client;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start({QStringLiteral("--agents"), QString::number(TableAgents),
                                 QStringLiteral("--stall-timeout"), QStringLiteral("0.5")}),
                 qPrintable(m_server.errorText()));
    }

    void cleanupTestCase() { QVERIFY(m_server.terminate()); }

    void greetingCarriesFreshNonce()
    {
        QSet<QByteArray> nonces;
        for (int i = 0; i < 5; ++i) {
            RawClient client;
            QVERIFY(client.connectTo(m_server.port()));
            const QByteArray greeting = client.greeting();
            QCOMPARE(greeting.size(), Layout::HeaderSize);
            QCOMPARE(greeting.left(4), QByteArray::fromHex("cafecafe"));
            const QByteArray nonce = client.nonce();
            QVERIFY(nonce != QByteArray(Layout::Header::NonceSize, '\0'));
            nonces.insert(nonce);
            // Nothing follows the greeting unasked.
            QVERIFY(!client.socket().waitForReadyRead(50));
        }
        QCOMPARE(nonces.size(), 5);
    }

    void login_data()
    {
        QTest::addColumn<int>("application");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("accepted") << 2 << QByteArray("5204") << 0;
        QTest::newRow("other application") << 3 << QByteArray("5204") << -6;
        QTest::newRow("application zero") << 0 << QByteArray("5204") << -6;
        QTest::newRow("wrong key") << 2 << QByteArray("5205") << -5;
        QTest::newRow("empty key") << 2 << QByteArray() << -5;
    }

    void login()
    {
        QFETCH(int, application);
        QFETCH(QByteArray, key);
        QFETCH(int, expected);
        auto client = connected();
        QVERIFY(client);
        QVERIFY(client->send(RawClient::loginRequest(client->greeting(), application, key)));
        const RawClient::Answer answer = client->receive();
        QVERIFY(answer.complete);
        if (expected == 0) {
            QVERIFY(answer.status != Layout::StatusRefused);
            QCOMPARE(answer.dataLength, 0);
        } else {
            QCOMPARE(answer.status, Layout::StatusRefused);
            QCOMPARE(answer.error, expected);
        }
    }

    void loginWithTamperedKey()
    {
        auto client = connected();
        QVERIFY(client);
        QByteArray request = RawClient::loginRequest(client->greeting());
        request[Layout::Header::Key + 31] = char(request[Layout::Header::Key + 31] ^ 0x01);
        QVERIFY(client->send(request));
        const RawClient::Answer answer = client->receive();
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -5);
    }

    void nonceServesOneLogin_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("second login on the same connection") << QStringLiteral("again");
        QTest::newRow("good login after a failed one") << QStringLiteral("after-failure");
        QTest::newRow("captured login on a new connection") << QStringLiteral("replay");
    }

    void nonceServesOneLogin()
    {
        QFETCH(QString, how);
        auto client = connected();
        QVERIFY(client);
        const QByteArray good = RawClient::loginRequest(client->greeting());
        if (how == QLatin1String("again")) {
            QCOMPARE(client->login(), 0);
            QVERIFY(client->send(good));
        } else if (how == QLatin1String("after-failure")) {
            QCOMPARE(client->login(2, "0000"), -5);
            QVERIFY(client->send(good));
        } else {
            QCOMPARE(client->login(), 0);
            client = connected();
            QVERIFY(client);
            QVERIFY(client->send(good));
        }
        const RawClient::Answer answer = client->receive();
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -5);
    }

    void requestBeforeLogin_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("record");
        QTest::newRow("read supervisor") << RawClient::readRequest(-1) << -1;
        QTest::newRow("read agent") << RawClient::readRequest(3) << 3;
        QTest::newRow("write agent") << RawClient::writeRequest(3, randomBytes(464)) << 3;
        QTest::newRow("write supervisor") << RawClient::writeRequest(-1, randomBytes(292)) << -1;
    }

    void requestBeforeLogin()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, record);
        auto client = connected();
        QVERIFY(client);
        QVERIFY(client->send(request));
        const RawClient::Answer answer = client->receive();
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -5);
        QCOMPARE(answer.dataLength, 0);
        QCOMPARE(answer.record, record);
        // After a failed login the requests are still refused.
        QCOMPARE(client->login(2, "1111"), -5);
        QVERIFY(client->send(request));
        QCOMPARE(client->receive().error, -5);
    }

    void unsetRecord_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("minusOne");
        const QList<int> agent(Layout::AgentUnsetFields.begin(), Layout::AgentUnsetFields.end());
        const QList<int> supervisor(Layout::SupervisorUnsetFields.begin(),
                                    Layout::SupervisorUnsetFields.end());
        QTest::newRow("supervisor") << -1 << 292 << supervisor;
        QTest::newRow("agent 1") << 40 << 464 << agent;
        QTest::newRow("last agent") << TableAgents - 1 << 464 << agent;
    }

    void unsetRecord()
    {
        QFETCH(int, record);
        QFETCH(int, size);
        QFETCH(QList<int>, minusOne);
        auto client = loggedIn();
        QVERIFY(client);
        const RawClient::Answer answer = client->read(record);
        QVERIFY(answer.complete);
        QVERIFY(answer.status != Layout::StatusRefused);
        QCOMPARE(answer.record, record);
        QCOMPARE(answer.dataLength, size);
        QCOMPARE(answer.data.size(), size);
        QByteArray rest = answer.data;
        for (int offset : minusOne) {
            QCOMPARE(intAt(answer.data, offset), -1);
            setInt(rest, offset, 0);
        }
        QCOMPARE(rest, QByteArray(size, '\0'));
    }

    void writeThenRead_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("size");
        QTest::newRow("supervisor") << -1 << 292;
        QTest::newRow("agent 1") << 0 << 464;
        QTest::newRow("last agent") << TableAgents - 1 << 464;
    }

    void writeThenRead()
    {
        QFETCH(int, record);
        QFETCH(int, size);
        auto client = loggedIn();
        QVERIFY(client);
        // The whole data area is sent; only the record's data part is kept.
        const QByteArray area = randomBytes(Layout::DataSize);
        QByteArray request = RawClient::writeRequest(record, area);
        // Answer fields in a request carry no meaning.
        setInt(request, Layout::Header::Status, 2);
        setInt(request, Layout::Header::DataLength, 77);
        setInt(request, Layout::Header::Error, -4);
        QVERIFY(client->send(request));
        const RawClient::Answer written = client->receive();
        QVERIFY(written.complete);
        QVERIFY(written.status != Layout::StatusRefused);
        QCOMPARE(written.dataLength, 0);
        QCOMPARE(written.record, record);

        const RawClient::Answer same = client->read(record);
        QCOMPARE(same.record, record);
        QCOMPARE(same.data, area.left(size));
        auto other = loggedIn();
        QVERIFY(other);
        QCOMPARE(other->read(record).data, area.left(size));

        // A second write replaces the first.
        const QByteArray second = randomBytes(size);
        QCOMPARE(other->write(record, second).dataLength, 0);
        QCOMPARE(client->read(record).data, second);
    }

    void recordBeyondTable_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("record");
        QTest::newRow("read past the end") << RawClient::readRequest(TableAgents) << TableAgents;
        QTest::newRow("read far past") << RawClient::readRequest(1 << 30) << (1 << 30);
        QTest::newRow("read -2") << RawClient::readRequest(-2) << -2;
        QTest::newRow("write past the end")
            << RawClient::writeRequest(TableAgents, randomBytes(464)) << TableAgents;
        QTest::newRow("write most negative")
            << RawClient::writeRequest(INT_MIN, randomBytes(464)) << int(INT_MIN);
    }

    void recordBeyondTable()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, record);
        auto client = loggedIn();
        QVERIFY(client);
        QVERIFY(client->send(request));
        const RawClient::Answer answer = client->receive();
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -1);
        QCOMPARE(answer.dataLength, 0);
        QCOMPARE(answer.record, record);
        // The session goes on.
        QCOMPARE(client->read(0).dataLength, 464);
    }

    void defaultTableSize()
    {
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(server.port()));
        QCOMPARE(client.login(), 0);
        const RawClient::Answer last = client.read(9998);
        QVERIFY(last.status != Layout::StatusRefused);
        QCOMPARE(last.dataLength, 464);
        QCOMPARE(client.read(9999).error, -1);
        QVERIFY(server.terminate());
    }

    void unknownRequest_data()
    {
        QTest::addColumn<QByteArray>("request");
        QByteArray other = RawClient::readRequest(0);
        setInt(other, Layout::Header::Request, 402);
        QTest::newRow("request code 402") << other;
        QTest::newRow("write without its data") << RawClient::writeRequest(0, {}).left(512);
    }

    void unknownRequest()
    {
        QFETCH(QByteArray, request);
        auto client = loggedIn();
        QVERIFY(client);
        if (request.size() == 512)
            setInt(request, Layout::Header::Length, 512);
        QVERIFY(client->send(request));
        const RawClient::Answer answer = client->receive();
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -8);
        QCOMPARE(client->read(0).dataLength, 464);
    }

    void trailingZeroByteSkipped()
    {
        auto client = connected();
        QVERIFY(client);
        const QByteArray zero(1, '\0');
        QVERIFY(client->send(RawClient::loginRequest(client->greeting()) + zero));
        QVERIFY(client->receive().status != Layout::StatusRefused);
        const QByteArray data = randomBytes(464);
        // Message and zero byte in separate sends, then together with the next.
        QVERIFY(client->send(RawClient::writeRequest(7, data)));
        QVERIFY(client->send(zero));
        QCOMPARE(client->receive().dataLength, 0);
        QVERIFY(client->send(RawClient::readRequest(7) + zero + RawClient::readRequest(-1) + zero));
        QCOMPARE(client->receive().data, data);
        QCOMPARE(client->receive().dataLength, 292);
        QCOMPARE(client->socket().state(), QAbstractSocket::ConnectedState);
    }

    void framingErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("codes"); // the refusals, in order; then closed
        QByteArray badMagic = RawClient::readRequest(0);
        badMagic[2] = char(0xCB);
        QByteArray badLength = RawClient::readRequest(0);
        setInt(badLength, Layout::Header::Length, 600);
        QByteArray shortBlock = RawClient::writeRequest(0, {});
        setInt(shortBlock, Layout::Header::Length, 512);
        const QByteArray zero(1, '\0');
        QTest::newRow("bad magic") << badMagic << QList<int>{-7};
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n") << QList<int>{-7};
        QTest::newRow("length field 600") << badLength << QList<int>{-7};
        QTest::newRow("length field 0")
            << RawClient::readRequest(0).left(4) + QByteArray(508, 0) << QList<int>{-7};
        // 8704 bytes whose length field says 512: one message, then noise.
        QTest::newRow("block with length 512") << shortBlock << QList<int>{-5, -7};
        QTest::newRow("600 bytes, length 512")
            << RawClient::readRequest(0) + QByteArray(88, 'x') << QList<int>{-5, -7};
        QTest::newRow("two zero bytes after a message")
            << RawClient::readRequest(0) + zero + zero << QList<int>{-5, -7};
        QTest::newRow("zero byte before any message")
            << zero + RawClient::readRequest(0) << QList<int>{-7};
    }

    void framingErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, codes);
        auto client = connected();
        QVERIFY(client);
        QVERIFY(client->send(bytes));
        for (int code : codes) {
            const RawClient::Answer answer = client->receive();
            QVERIFY(answer.complete);
            QCOMPARE(answer.status, Layout::StatusRefused);
            QCOMPARE(answer.error, code);
        }
        QVERIFY(client->waitForClosed());
    }

    void stall_data()
    {
        QTest::addColumn<QByteArray>("partial");
        QTest::addColumn<bool>("afterLogin");
        const QByteArray read = RawClient::readRequest(0);
        QTest::newRow("three magic bytes") << read.left(3) << false;
        QTest::newRow("header without its last byte") << read.left(511) << false;
        QTest::newRow("half a write") << RawClient::writeRequest(0, {}).left(4000) << true;
    }

    void stall()
    {
        QFETCH(QByteArray, partial);
        QFETCH(bool, afterLogin);
        auto client = afterLogin ? loggedIn() : connected();
        QVERIFY(client);
        QVERIFY(client->send(partial));
        const RawClient::Answer answer = client->receive(20000);
        QVERIFY(answer.complete);
        QCOMPARE(answer.status, Layout::StatusRefused);
        QCOMPARE(answer.error, -2);
        QVERIFY(client->waitForClosed());
    }

    void idleClientIsNotStalled()
    {
        auto client = connected();
        QVERIFY(client);
        // Several stall time-outs between messages: no refusal, still usable.
        QTest::qWait(1500);
        QCOMPARE(client->socket().bytesAvailable(), 0);
        QCOMPARE(client->login(), 0);
        QTest::qWait(1500);
        QCOMPARE(client->read(-1).dataLength, 292);
    }
    void connectionLimit()
    {
        ZorsrvProcess server;
        QVERIFY2(server.start({QStringLiteral("--max-connections"), QStringLiteral("3")}),
                 qPrintable(server.errorText()));
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<RawClient>());
            QVERIFY(clients.back()->connectTo(server.port()));
        }
        {
            RawClient beyond;
            QVERIFY(beyond.connectTo(server.port()));
            QCOMPARE(beyond.greeting().size(), 512);
            const RawClient::Answer answer = beyond.receive();
            QCOMPARE(answer.status, Layout::StatusRefused);
            QCOMPARE(answer.error, -4);
            QVERIFY(beyond.waitForClosed());
        }
        for (auto& client : clients)
            QCOMPARE(client->login(), 0);
        clients.front()->close();
        bool admitted = false;
        for (int attempt = 0; attempt < 100 && !admitted; ++attempt) {
            RawClient late;
            QVERIFY(late.connectTo(server.port()));
            const qint32 result = late.login();
            admitted = result == 0;
            if (!admitted) {
                QCOMPARE(result, -4); // the freed place is not seen yet
                QTest::qWait(20);
            }
        }
        QVERIFY(admitted);
        QVERIFY(server.terminate());
    }

    void shutdownRefusesEveryClient_data()
    {
        QTest::addColumn<bool>("interrupt");
        QTest::newRow("SIGTERM") << false;
        QTest::newRow("SIGINT") << true;
    }

    void shutdownRefusesEveryClient()
    {
        QFETCH(bool, interrupt);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        RawClient session;
        QVERIFY(session.connectTo(server.port()));
        QCOMPARE(session.login(), 0);
        RawClient greeted;
        QVERIFY(greeted.connectTo(server.port()));
        RawClient partial;
        QVERIFY(partial.connectTo(server.port()));
        QVERIFY(partial.send(RawClient::readRequest(0).left(40)));
        // A write racing the signal is either answered and kept, or not done.
        const QByteArray data = randomBytes(464);
        QVERIFY(session.send(RawClient::writeRequest(4, data)));
        QVERIFY(interrupt ? server.interrupt() : server.terminate());
        RawClient::Answer answer = session.receive();
        const bool written = answer.complete && answer.status != Layout::StatusRefused;
        if (written)
            answer = session.receive();
        for (RawClient* client : {&session, &greeted, &partial}) {
            if (client != &session)
                answer = client->receive();
            QVERIFY(answer.complete);
            QCOMPARE(answer.status, Layout::StatusRefused);
            QCOMPARE(answer.error, -3);
            QVERIFY(client->waitForClosed());
        }
        QVERIFY(server.restart());
        RawClient reader;
        QVERIFY(reader.connectTo(server.port()));
        QCOMPARE(reader.login(), 0);
        const QByteArray stored = reader.read(4).data;
        if (written)
            QCOMPARE(stored, data);
        else
            QVERIFY(stored == data || stored == Records::unset(4));
        QVERIFY(server.terminate());
    }
};

QTEST_GUILESS_MAIN(TestServerProtocol)
#include "tst_serverprotocol.moc"
