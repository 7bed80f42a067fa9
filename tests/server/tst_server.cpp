// A real zorsrv over sockets on loopback: its protocol, its limits, and its
// storage seen from outside (audit trail, dump and audit commands, start-up
// failures, what survives a SIGKILL).
#include "HistoryProtocol.h"
#include "Layout.h"
#include "RawClient.h"
#include "Records.h"
#include "ZorsrvProcess.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTest>

#include <span>

#include <sys/resource.h>

namespace {

constexpr int TableAgents = 50;
constexpr int Active = 50; // of the thousand connections, those with a session
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

namespace H = HistoryProtocol;

// The audit time the history fixture gives row id: 2025-01-01 plus id minutes.
qint64 minuteOf(qint64 id)
{
    return QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).addSecs(60 * id).toMSecsSinceEpoch();
}

H::Query query(qint32 record, qint32 rows, QByteArray field = {}, qint64 since = 0,
               qint64 until = 0)
{
    return {record, rows, since, until, 0, 0, field};
}

} // namespace

Q_DECLARE_METATYPE(HistoryProtocol::Row)

class TestServer : public QObject
{
    Q_OBJECT

    ZorsrvProcess m_server;   // a small table and a short stall time-out
    ZorsrvProcess m_store;    // holds only the writes of m_written, for the audit
    QByteArrayList m_written; // agent 1 twice, then the supervisor
    QString m_peer;           // their writer
    // The history: agent 1 written 130 times (Droit_Stat 0, 1, 0...), then
    // agent 3 by "alice" through zoradm, then the supervisor; row n at minute n.
    ZorsrvProcess m_history;
    QString m_historyPeer, m_alicePeer; // the writer of agent 1 and the supervisor; alice

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(
            m_server.start({"--agents", QString::number(TableAgents), "--stall-timeout", "0.5"}),
            qPrintable(m_server.errorText()));
        QVERIFY2(m_store.start(), qPrintable(m_store.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(m_store.port()) && client.login() == 0);
        m_peer = QStringLiteral("127.0.0.1:%1").arg(client.socket().localPort());
        QByteArray agent = withInt(QByteArray(464, '\0'), Layout::Agent::Droit_Stat, 1);
        agent.replace(Layout::Agent::Password, 3, "\xe9t\xe9");
        const QByteArray supervisor = withInt(Records::unset(-1), Layout::Supervisor::Colours, 255);
        m_written = {agent, withInt(agent, Layout::Agent::Droit_Stat, 0), supervisor};
        m_written[1][400] = char(0xAB);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(client.write(i < 2 ? 0 : -1, m_written[i]).code(), 0);

        QVERIFY2(m_history.start({"--agents", "50"}), qPrintable(m_history.errorText()));
        RawClient writer, alice;
        QVERIFY(writer.connectTo(m_history.port()) && writer.login() == 0);
        QVERIFY(alice.connectTo(m_history.port()));
        QByteArray login =
            withInt(RawClient::loginRequest(alice.greeting()), H::ClientOffset, H::Client::Zoradm);
        QVERIFY(alice.send(login.replace(H::LoginOffset, 6, "alice\x01")));
        QCOMPARE(alice.receive().code(), 0);
        m_historyPeer = QStringLiteral("127.0.0.1:%1").arg(writer.socket().localPort());
        m_alicePeer = QStringLiteral("127.0.0.1:%1").arg(alice.socket().localPort());
        for (int i = 0; i < 130; ++i)
            QCOMPARE(writer.write(0, withInt(Records::unset(0), Layout::Agent::Droit_Stat, i % 2))
                         .code(),
                     0);
        QByteArray three = withInt(Records::unset(2), Layout::Agent::Droit_Qualif, 1);
        QCOMPARE(alice.write(2, three.replace(Layout::Agent::Password, 2, "pw")).code(), 0);
        QCOMPARE(
            writer.write(-1, withInt(Records::unset(-1), Layout::Supervisor::Colours, 255)).code(),
            0);
        ZorsrvProcess::query(m_history.databasePath(),
                             "UPDATE audit SET time = strftime('%Y-%m-%dT%H:%M:%fZ', "
                             "'2025-01-01', '+' || id || ' minutes')");
    }

    // The ids of the rows a request gets, page after page to the end, and the
    // size of each page, or its refusal; and where given, its first row as
    // written: who, when, and the fields the write changed (the asked one).
    void history_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("login");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::addColumn<QList<qsizetype>>("pages");
        QTest::addColumn<H::Row>("first");               // id 0: not looked at
        const auto newest = [](qint64 from, qint64 to) { // from down to to
            QList<qint64> ids;
            for (qint64 id = from; id >= to; --id)
                ids << id;
            return ids;
        };
        const auto row = [](const char* name, const H::Query& q, const QList<qint64>& ids,
                            const QList<qsizetype>& pages, int code = 0, const H::Row& first = {}) {
            QTest::newRow(name) << RawClient::historyRequest(q) << true << code << ids << pages
                                << first;
        };
        using K = H::FieldKind;
        const auto written = [](qint64 id, qint32 record, const QString& peer, bool first,
                                const QList<H::Change>& changes, const QString& login = {}) {
            return H::Row{id,    minuteOf(id), record, login.isEmpty() ? 0 : H::Client::Zoradm,
                          first, peer,         login,  changes};
        };
        const H::Change qualif{"Droit_Qualif", K::Right, {-1, {}}, {1, {}}};
        row("every record", query(H::AllRecords, 50), newest(132, 1), {50, 50, 32});
        row("agent 1, huge count", query(0, 1 << 30), newest(130, 1), {100, 30}, 0,
            written(130, 0, m_historyPeer, false, {{"Droit_Stat", K::Right, {0, {}}, {1, {}}}}));
        row("agent 3, by alice through zoradm", query(2, 100), {131}, {1}, 0,
            written(131, 2, m_alicePeer, true,
                    {{"password", K::Password, {0, {}}, {1, {}}}, qualif}, "alice?"));
        row("supervisor", query(-1, 100), {132}, {1}, 0,
            written(132, -1, m_historyPeer, true,
                    {{"CouleurTxBas", K::Colour, {-1, {}}, {255, {}}}}));
        row("no history", query(4, 100), {}, {0});
        row("time range", query(H::AllRecords, 100, {}, minuteOf(10), minuteOf(13)), newest(12, 10),
            {3});
        row("range the wrong way", query(0, 100, {}, minuteOf(13), minuteOf(10)), {}, {0});
        row("one field", query(H::AllRecords, 100, "Droit_Qualif"), {131}, {1}, 0,
            written(131, 2, m_alicePeer, true, {qualif}, "alice?"));
        row("beyond the table", query(50, 1), {}, {}, -1);
        row("below the supervisor", query(-3, 1), {}, {}, -1);
        row("no rows", query(0, 0), {}, {}, -8);
        row("negative count", query(0, -1), {}, {}, -8);
        row("unknown field", query(0, 1, "Droit_Nothing"), {}, {}, -8);
        QTest::newRow("before login") << RawClient::historyRequest(query(0, 1)) << false << -5
                                      << QList<qint64>() << QList<qsizetype>() << H::Row{};
        QTest::newRow("a whole block")
            << RawClient::historyRequest(query(-1, 1)).leftJustified(Layout::BlockSize, '\0')
            << true << 0 << QList<qint64>{132} << QList<qsizetype>{1} << H::Row{};
    }

    void history()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, login);
        QFETCH(H::Row, first);
        RawClient client;
        QVERIFY(client.connectTo(m_history.port()) && (!login || client.login() == 0));
        QList<qint64> ids;
        QList<qsizetype> pages;
        for (bool more = true; more;) {
            request = withInt(request, Layout::Header::Length, int(request.size()));
            QVERIFY(client.send(request));
            const RawClient::Answer answer = client.receive();
            if (answer.code() != 0) {
                QTEST(answer.code(), "code");
                break;
            }
            const std::optional<H::Page> page = H::decodePage(answer.data);
            QVERIFY(page);
            if (pages.isEmpty() && first.id != 0)
                QCOMPARE(page->rows.value(0), first);
            pages << page->rows.size();
            for (const H::Row& row : page->rows)
                ids << row.id;
            more = page->more;
            H::Query next = H::readQuery(reinterpret_cast<const quint8*>(request.constData()));
            next.afterTime = page->nextTime;
            next.afterId = page->nextId;
            request = RawClient::historyRequest(next);
        }
        QTEST(ids, "ids");
        QTEST(pages, "pages");
    }

    void exchange_data()
    {
        // Each step is sent on its own; "login [application [key]]" stands for
        // a login request built from the connection's greeting.
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QList<int>>("codes"); // per answer: 0 accepted, else the refusal
        const auto row = [](const char* name, const QByteArrayList& steps,
                            const QList<int>& codes) { QTest::newRow(name) << steps << codes; };
        const auto rd = RawClient::readRequest;
        const auto wr = RawClient::writeRequest;
        const QByteArray read = rd(0);
        const QByteArray zero(1, '\0');
        row("nonce used twice", {"login", "login"}, {0, -5});
        row("other application", {"login 3", "login"}, {-6, -5}); // a failure spends it too
        row("wrong key", {"login 2 5205"}, {-5});
        row("requests before login", {read, wr(-1, {}), "login 2 1", read}, {-5, -5, -5, -5});
        row("beyond the table, unknown request",
            {"login", rd(TableAgents), rd(-2), wr(TableAgents, {}),
             withInt(read, Layout::Header::Request, 402), read},
            {0, -1, -1, -1, -8, 0});
        row("trailing zero bytes", {"login", zero, read + zero + rd(-1), zero}, {0, 0, 0});
        row("not the magic", {"GET / HTTP/1.0\r\n\r\n"}, {-7});
        row("bad length", {withInt(read, Layout::Header::Length, 600)}, {-7});
        row("two zero bytes", {read + zero + zero}, {-5, -7});
        row("zero byte first", {zero + read}, {-7});
        row("stall in the magic", {read.left(3)}, {-2});
        row("stall in a write", {"login", wr(0, {}).left(4000)}, {0, -2});
    }

    void exchange()
    {
        QFETCH(QByteArrayList, steps);
        QFETCH(QList<int>, codes);
        const bool closed = codes.back() == -7 || codes.back() == -2; // the refusals that end it
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
        QList<int> answers; // and one more, when nothing else comes
        for (qsizetype i = 0; i <= codes.size(); ++i)
            answers << client.receive(i < codes.size() || closed ? 10000 : 100).code();
        QCOMPARE(answers, codes << 1);
        QCOMPARE(client.waitForClosed(closed ? 10000 : 0), closed);
    }

    void records_data()
    {
        QTest::addColumn<int>("record");
        QTest::newRow("supervisor") << -1;
        QTest::newRow("last agent") << TableAgents - 1;
    }

    void records()
    {
        QFETCH(int, record);
        Clients clients;
        QVERIFY(open(clients, 2, m_server.port(), true));
        // Never written: -1 in the fields the client validates, zeros elsewhere.
        QByteArray unset(record < 0 ? 292 : 464, '\0');
        for (int offset : record < 0 ? std::span<const int>(Layout::SupervisorUnsetFields)
                                     : std::span<const int>(Layout::AgentUnsetFields))
            unset = withInt(unset, offset, -1);
        RawClient::Answer answer = clients[0]->read(record);
        QCOMPARE(answer.code(), 0);
        QCOMPARE(answer.record, record);
        QCOMPARE(answer.data, unset);
        // A write answers with no data; the record keeps its own part of the area.
        const QByteArray area = patterned(record, 7);
        answer = clients[0]->write(record, area);
        QCOMPARE(answer.code(), 0);
        QCOMPARE(answer.record, record);
        QVERIFY(answer.data.isEmpty());
        answer = clients[1]->read(record);
        QCOMPARE(answer.record, record);
        QCOMPARE(answer.data, area.left(unset.size()));
    }

    void thousandConnections()
    {
        // A thousand connections need more descriptors than the usual soft limit.
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &limit) == 0);
        limit.rlim_cur = limit.rlim_max;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &limit) == 0);
        ZorsrvProcess server; // the default limit of 1000, all from one peer
        QVERIFY2(server.start({"--stall-timeout", "120", "--login-timeout", "600", "--max-per-peer",
                               "1000"}),
                 qPrintable(server.errorText()));
        const quint16 port = server.port();
        // 50 with a session, then 950 idle, the first of them stopped in a message.
        Clients all;
        QVERIFY(open(all, Active, port, true) && open(all, 1, port));
        QVERIFY(all[Active]->send(RawClient::readRequest(0).left(100)) && open(all, 949, port));
        RawClient beyond;
        QVERIFY(beyond.connectTo(port));
        QCOMPARE(beyond.login(), -4);
        QVERIFY(beyond.waitForClosed());
        // A login seen on one connection is refused on another.
        QVERIFY(all[999]->send(RawClient::loginRequest(all[0]->greeting())));
        QCOMPARE(all[999]->receive().code(), -5);
        // All the active ones at once, while the stalled one waits.
        for (int i = 0; i < Active; ++i)
            QVERIFY(all[i]->send(RawClient::writeRequest(i, patterned(i, 1)) +
                                 RawClient::readRequest(i)));
        for (int i = 0; i < Active; ++i) {
            QCOMPARE(all[i]->receive().code(), 0);
            QCOMPARE(all[i]->receive().data, patterned(i, 1));
        }
        QSet<QByteArray> nonces;   // a fresh one for each connection
        for (auto& client : all) { // nothing came unasked, no refusal below the limit
            nonces.insert(client->greeting().mid(Layout::Header::Nonce, Layout::Header::NonceSize));
            QVERIFY(client->greeting().startsWith(QByteArray::fromHex("cafecafe")));
            QVERIFY(!client->socket().waitForReadyRead(0));
            QCOMPARE(client->socket().state(), QAbstractSocket::ConnectedState);
        }
        QCOMPARE(nonces.size(), all.size());
        // SIGTERM: every client, whatever its state, is refused with -3 and closed.
        QVERIFY(server.terminate());
        for (auto& client : all) {
            QCOMPARE(client->receive().code(), -3);
            QVERIFY(client->waitForClosed());
        }
    }

    void auditRows()
    {
        const QByteArray peer = m_peer.toUtf8();
        QCOMPARE(ZorsrvProcess::query(m_store.databasePath(),
                                      "SELECT peer, record, coalesce(before, 'none'), "
                                      "after FROM audit ORDER BY id"),
                 QByteArrayList({peer, "0", "none", m_written[0], peer, "0", m_written[0],
                                 m_written[1], peer, "-1", "none", m_written[2]}));
    }

    void commands_data()
    {
        // In the command, STORE is the audited database, DB a fresh path,
        // GARBAGE a file that is no database, PORT one in use; in the lines,
        // PEER is the writer's address. Lines go to standard output, or to standard error
        // on a failure.
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char* name, const char* command, const QString& lines,
                            int exitCode = 0) {
            QTest::newRow(name) << QString::fromUtf8(command) << lines << exitCode;
        };
        row("dump agent 1", "dump --record 0 --db STORE --show-passwords",
            "agent 1 (record 0)|  password: \"\u00e9t\u00e9\"|  Droit_Stat: refused|"
            "  bytes 400-400: ab");
        row("dump unwritten", "dump --record 5 --db STORE",
            "agent 6 (record 5): never written, reads as not set|  password: \"\"");
        row("dump all", "dump --db STORE",
            "supervisor (record -1)|  CouleurTxBas: 0x000000FF|  CouleurTxMilieu: not set|"
            "1 agent records written; the others read as not set");
        row("dump, password hidden", "dump --record 0 --db STORE",
            "agent 1 (record 0)|  password: (hidden)");
        row("audit", "audit --db STORE --show-passwords",
            "PEER agent 1 (record 0), first write|  Droit_Stat: not set -> granted|"
            "  password: \"\" -> \"\u00e9t\u00e9\"|  Droit_Stat: granted -> refused|"
            "  bytes 400-400: 00 -> ab|PEER supervisor (record -1), first write|3 audit rows");
        row("audit, password hidden", "audit --db STORE", "  password: \"\" -> (hidden)");
        row("bad subnet", "--db DB --allow 10.0.0.0/33", "bad value for --allow", 1);
        row("port in use", "--db DB --listen 127.0.0.1:PORT", "the address is already in use", 4);
        row("directory port in use", "--db DB --listen 127.0.0.1:0 --directory 127.0.0.1:PORT",
            "for the directory: the address is already in use", 4);
        row("bad directory port", "--db DB --directory 127.0.0.1:70000",
            "bad value for --directory", 1);
        row("missing folder", "--db DB/no/z.db", "cannot open the database", 2);
        row("not a database", "--db GARBAGE", "is corrupt", 3);
        row("dump of a missing file", "dump --db DB", "no such file", 2);
    }

    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QString, lines);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        QFile garbage(dir.filePath(QStringLiteral("g.db")));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'g')) > 0);
        garbage.close();
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost));
        const auto r = ZorsrvProcess::run(
            command.replace(QStringLiteral("DB"), dir.filePath(QStringLiteral("z.db")))
                .replace(QStringLiteral("GARBAGE"), garbage.fileName())
                .replace(QStringLiteral("STORE"), m_store.databasePath())
                .replace(QStringLiteral("PORT"), QString::number(occupant.serverPort()))
                .split(u' '));
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(exitCode == 0 || (r.out.isEmpty() && r.err.startsWith("zorsrv: ")));
        const QString text = QString::fromUtf8(exitCode == 0 ? r.out : r.err);
        for (const QString& line : lines.replace(QStringLiteral("PEER"), m_peer).split(u'|'))
            QVERIFY2(text.contains(line + QLatin1String(exitCode ? "" : "\n")),
                     qPrintable(line + " in:\n" + text));
        // One agent record shows, and the audit leaves out fields a write kept.
        QCOMPARE(text.count(QStringLiteral("Droit_Modif_Group")), exitCode == 0 ? 1 : 0);
        // The password shows only when asked for.
        QCOMPARE(text.contains(QStringLiteral("\u00e9t\u00e9")),
                 command.contains(QStringLiteral("--show-passwords")));
    }

    // A database of schema version 1, read as it is, then brought to version 2
    // by the server: its rows show in the history with the address only.
    void schemaOne()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("old.db"));
        for (const char* sql :
             {"CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
              "INSERT INTO meta VALUES ('schema_version', '1')",
              "CREATE TABLE records (number INTEGER PRIMARY KEY, data BLOB NOT NULL, updated "
              "TEXT NOT NULL)",
              "CREATE TABLE audit (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, peer "
              "TEXT NOT NULL, record INTEGER NOT NULL, before BLOB, after BLOB NOT NULL)",
              "INSERT INTO audit (time, peer, record, after) VALUES "
              "(strftime('%Y-%m-%dT%H:%M:%fZ', "
              "'now'), '10.0.0.7:4000', 3, x'00')"})
            ZorsrvProcess::query(db, QString::fromUtf8(sql));
        QVERIFY(ZorsrvProcess::run({"audit", "--db", db}).out.contains("10.0.0.7:4000 agent 4"));
        ZorsrvProcess server;
        server.setDatabase(db);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QCOMPARE(ZorsrvProcess::query(db, "SELECT value FROM meta"), QByteArrayList{"2"});
        RawClient client;
        QVERIFY(client.connectTo(server.port()) && client.login() == 0);
        QVERIFY(client.send(RawClient::historyRequest(query(H::AllRecords, 10))));
        const QList<H::Row> rows = H::decodePage(client.receive().data).value_or(H::Page{}).rows;
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].peer, QStringLiteral("10.0.0.7:4000"));
        QCOMPARE(rows[0].client, H::Client::Unknown);
        QCOMPARE(rows[0].login, QString());
    }

    void killDuringAcknowledgedWrites()
    {
        constexpr int clients = 16;
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        // Per record: the last acknowledged sequence, and the last one sent.
        QList<qint32> acknowledged(clients, 0), sent(clients, 0);
        for (int cycle = 0; cycle < 3; ++cycle) {
            Clients pool;
            QVERIFY(open(pool, clients, server.port(), true));
            // Each client writes its own record; the last writes are in flight at the kill.
            const int killAfter = 1 + int(QRandomGenerator::global()->bounded(300 / clients));
            for (int round = 0; round <= killAfter; ++round) {
                for (int c = 0; c < clients; ++c)
                    QVERIFY(pool[c]->send(RawClient::writeRequest(c, patterned(c, ++sent[c]))));
                for (int c = 0; c < clients && round < killAfter; ++c) {
                    QCOMPARE(pool[c]->receive().code(), 0);
                    acknowledged[c] = sent[c];
                }
            }
            server.kill();
            QVERIFY2(server.start(), qPrintable(server.errorText()));
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
        QCOMPARE(ZorsrvProcess::query(server.databasePath(), "PRAGMA integrity_check"),
                 QByteArrayList{"ok"});
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
