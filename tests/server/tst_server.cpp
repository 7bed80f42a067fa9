// A real zorsrv over sockets on loopback: its protocol, its limits, and its
// storage seen from outside (audit trail, dump and audit commands, start-up
// failures, what survives a SIGKILL).
#include "Cp1252.h"
#include "Layout.h"
#include "RawClient.h"
#include "Records.h"
#include "ZorsrvProcess.h"

#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTest>

#include <memory>
#include <span>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int TableAgents = 50;
using Clients = std::vector<std::unique_ptr<RawClient>>;

QByteArray withInt(QByteArray m, int offset, qint32 value)
{
    Layout::writeInt(reinterpret_cast<quint8*>(m.data()), offset, value);
    return m;
}

// An agent record whose bytes all follow from its record and sequence
// numbers (the sequence at offset 300), so a torn or mixed record shows.
QByteArray patterned(qint32 record, qint32 sequence)
{
    QByteArray data(464, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((record * 131 + sequence * 31 + i) & 0xFF);
    return withInt(data, 300, sequence);
}

// Adds n connections that have their greeting, and a session when asked.
bool open(Clients& clients, int n, quint16 port, bool login = false)
{
    for (int i = 0; i < n; ++i) {
        clients.push_back(std::make_unique<RawClient>());
        if (!clients.back()->connectTo(port) || (login && clients.back()->login() != 0))
            return false;
    }
    return true;
}

// Every value of the query's rows in order, through a connection of our own.
QByteArrayList query(const QString& path, const QString& sql)
{
    QByteArrayList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            for (q.exec(sql); q.next();) {
                for (int i = 0; i < q.record().count(); ++i)
                    values << q.value(i).toByteArray();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    return values;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    ZorsrvProcess m_server;   // a small table and a short stall time-out
    ZorsrvProcess m_store;    // holds only the writes of m_written, for the audit
    QByteArrayList m_written; // agent 1 twice, then the supervisor
    QString m_peer;           // their writer

private Q_SLOTS:
    void initTestCase()
    {
        // A thousand connections need more descriptors than the usual soft limit.
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &limit) == 0);
        limit.rlim_cur = limit.rlim_max;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
        QVERIFY2(
            m_server.start({"--agents", QString::number(TableAgents), "--stall-timeout", "0.5"}),
            qPrintable(m_server.errorText()));
        QVERIFY2(m_store.start(), qPrintable(m_store.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(m_store.port()) && client.login() == 0);
        m_peer = QStringLiteral("127.0.0.1:%1").arg(client.socket().localPort());
        QByteArray agent = withInt(QByteArray(464, '\0'), Layout::Agent::DroitStat, 1);
        agent.replace(Layout::Agent::Password, 3, Cp1252::fromUnicode(u"\u00e9t\u00e9"));
        const QByteArray supervisor = withInt(Records::unset(-1), Layout::Supervisor::Colours, 255);
        m_written = {agent, withInt(agent, Layout::Agent::DroitStat, 0), supervisor};
        m_written[1][400] = char(0xAB);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(client.write(i < 2 ? 0 : -1, m_written[i]).code(), 0);
    }

    void exchange_data()
    {
        // Each step is sent on its own; "login [application [key]]" stands for
        // a login request built from the connection's greeting.
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QList<int>>("codes"); // per answer: 0 accepted, else the refusal
        QTest::addColumn<bool>("closed");
        const auto row = [](const char* name, const QByteArrayList& steps, const QList<int>& codes,
                            bool closed = false) {
            QTest::newRow(name) << steps << codes << closed;
        };
        const QByteArray read = RawClient::readRequest(0);
        const QByteArray zero(1, '\0');
        row("login", {"login"}, {0});
        row("other application", {"login 3"}, {-6});
        row("wrong key", {"login 2 5205"}, {-5});
        row("nonce used twice", {"login", "login"}, {0, -5});
        row("nonce spent by a failure", {"login 2 0000", "login"}, {-5, -5});
        row("requests before login", {read, RawClient::writeRequest(-1, {}), "login 2 1", read},
            {-5, -5, -5, -5});
        row("records beyond the table",
            {"login", RawClient::readRequest(TableAgents), RawClient::readRequest(-2),
             RawClient::writeRequest(TableAgents, {}), read},
            {0, -1, -1, -1, 0});
        row("unknown request", {"login", withInt(read, Layout::Header::Request, 402), read},
            {0, -8, 0});
        row("trailing zero bytes", {"login", zero, read + zero + RawClient::readRequest(-1), zero},
            {0, 0, 0});
        row("not the magic", {"GET / HTTP/1.0\r\n\r\n"}, {-7}, true);
        row("bad length", {withInt(read, Layout::Header::Length, 600)}, {-7}, true);
        row("two zero bytes", {read + zero + zero}, {-5, -7}, true);
        row("zero byte first", {zero + read}, {-7}, true);
        row("stall in the magic", {read.left(3)}, {-2}, true);
        row("stall in a write", {"login", RawClient::writeRequest(0, {}).left(4000)}, {0, -2},
            true);
    }

    void exchange()
    {
        QFETCH(QByteArrayList, steps);
        QFETCH(QList<int>, codes);
        QFETCH(bool, closed);
        RawClient client;
        QVERIFY(client.connectTo(m_server.port()));
        for (const QByteArray& step : steps) {
            const QByteArrayList login = step.split(' ');
            QVERIFY(client.send(login[0] != "login"
                                    ? step
                                    : RawClient::loginRequest(client.greeting(),
                                                              login.value(1, "2").toInt(),
                                                              login.value(2, "5204"))));
        }
        QList<int> answers;
        for (qsizetype i = 0; i < codes.size(); ++i)
            answers << client.receive().code();
        answers << client.receive(closed ? 10000 : 100).code(); // nothing more comes
        QCOMPARE(answers, codes << 1);
        QCOMPARE(client.waitForClosed(closed ? 10000 : 0), closed);
    }

    void records_data()
    {
        QTest::addColumn<int>("record");
        QTest::newRow("supervisor") << -1;
        QTest::newRow("agent 41") << 40;
        QTest::newRow("last agent") << TableAgents - 1;
    }

    void records()
    {
        QFETCH(int, record);
        Clients clients;
        QVERIFY(open(clients, 2, m_server.port(), true));
        RawClient::Answer answer = clients[0]->read(record);
        QVERIFY(answer.code() == 0 && answer.record == record);
        // Never written: -1 in the fields the client validates, zeros elsewhere.
        const int size = record < 0 ? 292 : 464;
        const auto unset = record < 0 ? std::span<const int>(Layout::SupervisorUnsetFields)
                                      : std::span<const int>(Layout::AgentUnsetFields);
        QByteArray rest = answer.data;
        for (int offset : unset) {
            QCOMPARE(rest.mid(offset, 4), QByteArray(4, char(0xFF)));
            rest = withInt(rest, offset, 0);
        }
        QCOMPARE(rest, QByteArray(size, '\0'));
        // The whole data area goes out (with an answer field that means
        // nothing in a request); the record keeps its own part.
        QByteArray area(Layout::DataSize, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(area.data()),
                                              area.size() / 4);
        QVERIFY(clients[0]->send(
            withInt(RawClient::writeRequest(record, area), Layout::Header::Error, -4)));
        answer = clients[0]->receive();
        QVERIFY(answer.code() == 0 && answer.record == record && answer.data.isEmpty());
        answer = clients[1]->read(record);
        QCOMPARE(answer.record, record);
        QCOMPARE(answer.data, area.left(size));
    }

    void thousandConnections()
    {
        constexpr int Limit = 1000; // the default
        constexpr int Active = 50;
        ZorsrvProcess server;
        QVERIFY2(server.start({"--stall-timeout", "120"}), qPrintable(server.errorText()));
        // The first idle client stops in the middle of a message and stays there.
        Clients idle;
        Clients active;
        QVERIFY(open(idle, 1, server.port()));
        QVERIFY(idle[0]->send(RawClient::readRequest(0).left(100)));
        QVERIFY(open(idle, Limit - Active - 1, server.port()));
        QVERIFY(open(active, Active, server.port(), true));
        RawClient beyond;
        QVERIFY(beyond.connectTo(server.port()));
        QCOMPARE(beyond.receive().code(), -4);
        QVERIFY(beyond.waitForClosed());
        // A login seen on one connection is refused on another.
        QVERIFY(idle[1]->send(RawClient::loginRequest(active[0]->greeting())));
        QCOMPARE(idle[1]->receive().code(), -5);
        // All of them at once, while the stalled one waits.
        for (int i = 0; i < Active; ++i)
            QVERIFY(active[std::size_t(i)]->send(RawClient::writeRequest(i, patterned(i, 1)) +
                                                 RawClient::readRequest(i)));
        for (int i = 0; i < Active; ++i) {
            QCOMPARE(active[std::size_t(i)]->receive().code(), 0);
            QCOMPARE(active[std::size_t(i)]->receive().data, patterned(i, 1));
        }
        QSet<QByteArray> nonces;
        for (auto& client : idle) { // nothing came unasked, no refusal below the limit
            QVERIFY(!client->socket().waitForReadyRead(0));
            QCOMPARE(client->socket().state(), QAbstractSocket::ConnectedState);
            QCOMPARE(client->greeting().left(4), QByteArray::fromHex("cafecafe"));
            nonces.insert(client->greeting().mid(Layout::Header::Nonce, Layout::Header::NonceSize));
        }
        QCOMPARE(nonces.size(), idle.size()); // a fresh nonce for each connection
        // A freed place is given again once the server has seen it go.
        idle.pop_back();
        qint32 result = -4;
        for (int attempt = 0; attempt < 100 && result == -4; ++attempt) {
            RawClient late;
            result = late.connectTo(server.port()) ? late.login() : 1;
            QTest::qWait(result == -4 ? 20 : 0);
        }
        QCOMPARE(result, 0);
        // SIGTERM: every client, whatever its state, is refused with -3 and closed.
        QVERIFY(server.terminate());
        for (Clients* group : {&idle, &active}) {
            for (auto& client : *group)
                QVERIFY(client->receive().code() == -3 && client->waitForClosed());
        }
    }

    void auditRows()
    {
        const QByteArray peer = m_peer.toUtf8();
        QCOMPARE(query(m_store.databasePath(), "SELECT peer, record, coalesce(before, 'none'), "
                                               "after FROM audit ORDER BY id"),
                 QByteArrayList({peer, "0", "none", m_written[0], peer, "0", m_written[0],
                                 m_written[1], peer, "-1", "none", m_written[2]}));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("lines"); // PEER stands for the writer's address
        const auto row = [](const char* name, const QString& command, const QString& lines) {
            QTest::newRow(name) << command.split(u' ') << lines.split(u'|');
        };
        row("dump agent 1", "dump --record 0",
            "agent 1 (record 0)|  password: \"\u00e9t\u00e9\"|  Droit_Stat: refused|"
            "  bytes 400-400: ab");
        row("dump unwritten", "dump --record 5",
            "agent 6 (record 5): never written, reads as not set|  password: \"\"");
        row("dump all", "dump",
            "supervisor (record -1)|  CouleurTxBas: 0x000000FF|  CouleurTxMilieu: not set|"
            "1 agent records written; the others read as not set");
        row("audit", "audit",
            "PEER agent 1 (record 0), first write|  Droit_Stat: not set -> granted|"
            "  password: \"\" -> \"\u00e9t\u00e9\"|  Droit_Stat: granted -> refused|"
            "  bytes 400-400: 00 -> ab|PEER supervisor (record -1), first write|3 audit rows");
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, lines);
        const auto r = ZorsrvProcess::run(arguments << "--db" << m_store.databasePath());
        QCOMPARE(r.exitCode, 0);
        const QString out = QString::fromUtf8(r.out);
        for (const QString& line : lines.replaceInStrings(QStringLiteral("PEER"), m_peer))
            QVERIFY2(out.contains(line + QLatin1Char('\n')), qPrintable(line + " in:\n" + out));
        // One agent record shows, and the audit leaves out fields a write kept.
        QCOMPARE(out.count(QStringLiteral("Droit_Modif_Group")), 1);
    }

    void clearErrors_data()
    {
        QTest::addColumn<QString>("command");    // DB and PORT filled in
        QTest::addColumn<QByteArray>("content"); // of the file, or SQL run on it first
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString serve = QStringLiteral("--db DB --listen 127.0.0.1:PORT");
        QTest::newRow("port in use")
            << serve << QByteArray() << 4 << "the address is already in use";
        QTest::newRow("missing folder")
            << "--db DB/no/z.db" << QByteArray() << 2 << "cannot open the database";
        QTest::newRow("not a database") << serve << QByteArray(8192, 'g') << 3 << "is corrupt";
        QTest::newRow("foreign") << serve << QByteArray("CREATE TABLE people (name TEXT)") << 2
                                 << "not a zorsrv database";
        QTest::newRow("dump of a missing file")
            << "dump --db DB" << QByteArray() << 2 << "no such file";
    }

    void clearErrors()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, content);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("z.db"));
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        if (content.startsWith("CREATE")) {
            query(db, QString::fromUtf8(content));
        } else if (!content.isEmpty()) {
            QFile file(db);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        const auto r = ZorsrvProcess::run(
            command.replace(QStringLiteral("DB"), db)
                .replace(QStringLiteral("PORT"), QString::number(occupant.serverPort()))
                .split(u' '));
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.startsWith("zorsrv: ") && r.err.contains(message.toUtf8()), r.err.data());
        QVERIFY(r.out.isEmpty());
    }

    void killDuringAcknowledgedWrites_data()
    {
        QTest::addColumn<int>("clients");
        QTest::newRow("one client") << 1;
        QTest::newRow("sixteen clients") << 16;
    }

    void killDuringAcknowledgedWrites()
    {
        QFETCH(int, clients);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QList<qint32> acknowledged(clients, 0); // per record: the last acknowledged sequence
        QList<qint32> sent(clients, 0);
        for (int cycle = 0; cycle < 3; ++cycle) {
            Clients pool;
            QVERIFY(open(pool, clients, server.port(), true));
            // Each client writes its own record; the last writes are in flight at the kill.
            const int killAfter = 1 + int(QRandomGenerator::global()->bounded(300 / clients));
            for (int round = 0; round <= killAfter; ++round) {
                for (int c = 0; c < clients; ++c)
                    QVERIFY(pool[std::size_t(c)]->send(
                        RawClient::writeRequest(c, patterned(c, ++sent[c]))));
                for (int c = 0; c < clients && round < killAfter; ++c) {
                    QCOMPARE(pool[std::size_t(c)]->receive().code(), 0);
                    acknowledged[c] = sent[c];
                }
            }
            server.kill();
            QVERIFY2(server.restart(), qPrintable(server.errorText()));
            pool.clear();
            QVERIFY(open(pool, 1, server.port(), true));
            for (int c = 0; c < clients; ++c) {
                // Never older than the last acknowledged write, never torn.
                const QByteArray data = pool[0]->read(c).data;
                qint32 found = acknowledged[c];
                while (found < sent[c] && data != patterned(c, found))
                    ++found;
                QCOMPARE(data, patterned(c, found));
                sent[c] = acknowledged[c] = found;
            }
        }
        server.kill();
        QCOMPARE(query(server.databasePath(), "PRAGMA integrity_check"), QByteArrayList{"ok"});
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
