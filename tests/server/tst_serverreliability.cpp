// zorsrv under stress: killed with SIGKILL in the middle of acknowledged
// writes, and holding a thousand connections at once.
#include "Layout.h"
#include "RawClient.h"
#include "ZorsrvProcess.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int SequenceOffset = 300;

// An agent record whose bytes all follow from its record number and
// sequence number, so a torn or mixed record shows.
QByteArray patterned(qint32 record, qint32 sequence)
{
    QByteArray data(464, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((record * 131 + sequence * 31 + i) & 0xFF);
    Layout::writeInt(reinterpret_cast<quint8*>(data.data()), SequenceOffset, sequence);
    return data;
}

qint32 sequenceOf(const QByteArray& data)
{
    return Layout::readInt(reinterpret_cast<const quint8*>(data.constData()), SequenceOffset);
}

QString integrityCheck(const QString& path)
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next())
                result = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("c"));
    return result;
}

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

class TestServerReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { raiseDescriptorLimit(); }

    void killDuringAcknowledgedWrites_data()
    {
        QTest::addColumn<int>("clients");
        QTest::addColumn<int>("rounds"); // rounds of writes before the kill
        QTest::newRow("one client") << 1 << 150;
        QTest::newRow("eight clients") << 8 << 40;
        QTest::newRow("thirty-two clients") << 32 << 15;
    }

    void killDuringAcknowledgedWrites()
    {
        QFETCH(int, clients);
        QFETCH(int, rounds);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QHash<qint32, qint32> acknowledged; // record -> last acknowledged sequence
        QHash<qint32, qint32> sent;         // record -> last sequence sent
        int acknowledgedWrites = 0;
        for (int cycle = 0; cycle < 3; ++cycle) {
            std::vector<std::unique_ptr<RawClient>> pool;
            for (int c = 0; c < clients; ++c) {
                pool.push_back(std::make_unique<RawClient>());
                QVERIFY(pool.back()->connectTo(server.port()));
                QCOMPARE(pool.back()->login(), 0);
            }
            const int killAfter = rounds / 2 + int(QRandomGenerator::global()->bounded(rounds));
            for (int round = 0;; ++round) {
                // Every client sends a write to a record of its own.
                for (int c = 0; c < clients; ++c) {
                    const qint32 record = c;
                    const qint32 sequence = sent.value(record) + 1;
                    sent[record] = sequence;
                    QVERIFY(pool[std::size_t(c)]->send(
                        RawClient::writeRequest(record, patterned(record, sequence))));
                }
                if (round == killAfter)
                    break; // the last writes are in flight: kill now
                for (int c = 0; c < clients; ++c) {
                    const RawClient::Answer answer = pool[std::size_t(c)]->receive();
                    QVERIFY(answer.complete);
                    QVERIFY(answer.status != Layout::StatusRefused);
                    acknowledged[answer.record] =
                        std::max(acknowledged.value(answer.record), sent.value(answer.record));
                    ++acknowledgedWrites;
                }
            }
            server.kill();
            QVERIFY2(server.restart(), qPrintable(server.errorText()));
            RawClient reader;
            QVERIFY(reader.connectTo(server.port()));
            QCOMPARE(reader.login(), 0);
            for (auto it = acknowledged.begin(); it != acknowledged.end(); ++it) {
                const QByteArray data = reader.read(it.key()).data;
                const qint32 found = sequenceOf(data);
                // Never older than the last acknowledged write, and whole.
                QVERIFY2(found >= it.value(), qPrintable(QStringLiteral("record %1: %2 < %3")
                                                             .arg(it.key())
                                                             .arg(found)
                                                             .arg(it.value())));
                QVERIFY(found <= sent.value(it.key()));
                QCOMPARE(data, patterned(it.key(), found));
                // What survived is the new starting point.
                sent[it.key()] = found;
                acknowledged[it.key()] = found;
            }
        }
        qInfo("%d acknowledged writes, 0 lost", acknowledgedWrites);
        server.kill();
        QCOMPARE(integrityCheck(server.databasePath()), QStringLiteral("ok"));
    }

    void thousandConnections()
    {
        constexpr int Limit = 1000; // zorsrv's default
        constexpr int Active = 50;
        ZorsrvProcess server;
        QVERIFY2(server.start({QStringLiteral("--stall-timeout"), QStringLiteral("120")}),
                 qPrintable(server.errorText()));
        // One client stops in the middle of a message.
        auto stalled = std::make_unique<RawClient>();
        QVERIFY(stalled->connectTo(server.port()));
        QVERIFY(stalled->send(RawClient::readRequest(0).left(100)));
        std::vector<std::unique_ptr<RawClient>> idle;
        for (int i = 0; i < Limit - Active - 1; ++i) {
            idle.push_back(std::make_unique<RawClient>());
            QVERIFY2(idle.back()->connectTo(server.port()), qPrintable(QString::number(i)));
        }
        std::vector<std::unique_ptr<RawClient>> active;
        for (int i = 0; i < Active; ++i) {
            active.push_back(std::make_unique<RawClient>());
            QVERIFY(active.back()->connectTo(server.port()));
        }
        // All thousand are in; the next one is refused with -4 after its greeting.
        {
            RawClient beyond;
            QVERIFY(beyond.connectTo(server.port()));
            const RawClient::Answer refusal = beyond.receive();
            QCOMPARE(refusal.status, Layout::StatusRefused);
            QCOMPARE(refusal.error, -4);
            QVERIFY(beyond.waitForClosed());
        }
        // The active ones work side by side while the stalled one waits.
        for (auto& client : active)
            QVERIFY(client->send(RawClient::loginRequest(client->greeting())));
        for (auto& client : active)
            QVERIFY(client->receive().status != Layout::StatusRefused);
        for (int round = 0; round < 10; ++round) {
            for (int i = 0; i < Active; ++i)
                QVERIFY(active[std::size_t(i)]->send(
                    RawClient::writeRequest(i, patterned(i, round)) + RawClient::readRequest(i)));
            for (int i = 0; i < Active; ++i) {
                RawClient& client = *active[std::size_t(i)];
                const RawClient::Answer written = client.receive();
                QVERIFY(written.complete && written.status != Layout::StatusRefused);
                QCOMPARE(client.receive().data, patterned(i, round));
            }
        }
        // No idle client was refused, and the stalled one is still waiting.
        for (auto& client : idle) {
            client->socket().waitForReadyRead(0);
            QCOMPARE(client->socket().bytesAvailable(), 0);
            QCOMPARE(client->socket().state(), QAbstractSocket::ConnectedState);
        }
        stalled->socket().waitForReadyRead(0);
        QCOMPARE(stalled->socket().bytesAvailable(), 0);
        // A freed place can be taken again.
        idle.front()->close();
        idle.erase(idle.begin());
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
};

QTEST_GUILESS_MAIN(TestServerReliability)
#include "tst_serverreliability.moc"
