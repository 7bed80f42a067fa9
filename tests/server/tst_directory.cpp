// zorsrv's agent directory, with a real zorsrv on loopback and its SQLite
// file: the protocol seen by a blocking client of the test's own, the
// refusals, the agents commands, and changes the running server serves at
// once.
#include "AgentAdmin.h"
#include "DirectoryProtocol.h"
#include "RawDirectoryClient.h"
#include "ZorsrvProcess.h"

#include <QTemporaryDir>
#include <QTest>

namespace P = DirectoryProtocol;

namespace {

using Client = RawDirectoryClient;
using Answer = RawDirectoryClient::Answer;

P::Entries entriesOf(const QString& agents)
{
    P::Entries entries;
    for (const QString& a : agents.split(u';', Qt::SkipEmptyParts)) {
        const QStringList f = a.split(u':');
        entries.append({f[0].toInt(), f[1], f.value(2)});
    }
    return entries;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray withByte(QByteArray bytes, int at, char value)
{
    bytes[at] = value;
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(P::Entries)

class TestDirectory : public QObject
{
    Q_OBJECT

    ZorsrvProcess m_server; // short time-outs

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start(
                     {"--stall-timeout", "0.5", "--login-timeout", "0.5", "--idle-timeout", "0.5"}),
                 qPrintable(m_server.errorText()));
        QVERIFY(m_server.directoryPort() != 0);
        QVERIFY(ZorsrvProcess::importAgents(m_server.databasePath(),
                                            "40,Zoé Léger,Ventes\n3,Alice Martin\n"
                                            "12,\"Dupont, Jean\",Support\n7,Bob\n15,Chen Li\n"));
    }

    void exchange_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QList<int>>("codes"); // per answer: 0 the table, else the refusal
        const QByteArray list = P::frame(P::List);
        QTest::newRow("two lists at once") << list + list << QList<int>{0, 0};
        QTest::newRow("not the magic") << QByteArray("GET / HTTP/1.0\r\n\r\n") << QList<int>{-7};
        QTest::newRow("list with a payload") << P::frame(P::List, "x") << QList<int>{-7};
        QTest::newRow("reserved byte set") << withByte(list, 7, 1) << QList<int>{-7};
        QTest::newRow("version 0") << withByte(list, 4, 0) << QList<int>{-7};
        QTest::newRow("version 2") << withByte(list, 4, 2) << QList<int>{-10};
        QTest::newRow("a server's frame") << P::frame(P::Agents, "\0\0\0\0") << QList<int>{-8};
        QTest::newRow("unknown type") << P::frame(0x42) << QList<int>{-8};
        QTest::newRow("list then garbage") << list + "xyz" << QList<int>{0, -7};
    }

    void exchange()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QList<int>, codes);
        Client client;
        QVERIFY(client.connectTo(m_server.directoryPort()) && client.hello());
        QVERIFY(sent.isEmpty() || client.send(sent));
        for (int expected : std::as_const(codes)) {
            const Answer answer = client.receive();
            QCOMPARE(answer.code, expected);
            if (expected == 0)
                QCOMPARE(answer.agents, entriesOf("3:Alice Martin;7:Bob;12:Dupont, Jean:Support;"
                                                  "15:Chen Li;40:Zoé Léger:Ventes"));
        }
        QVERIFY(client.waitForClosed());
    }

    // A fresh server: the directory answers at once that it has no table,
    // and the agents command says how to fill it.
    void emptyTable()
    {
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        Client client;
        QVERIFY(client.connectTo(server.directoryPort()));
        QCOMPARE(client.receive().code, -11);
        QVERIFY(client.waitForClosed());
        const auto list = ZorsrvProcess::agents(server.databasePath(), "list");
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.out.contains("zorsrv agents import"), list.out.constData());
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        Client later;
        QVERIFY(later.connectTo(server.directoryPort()) && later.hello());
    }

    void changesServedAtOnce_data()
    {
        QTest::addColumn<QString>("command"); // "import" imports the csv column
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("table"); // what the directory serves afterwards
        QTest::newRow("set") << "set 5 Eve" << QByteArray() << "1:Ann;2:Bo:G;5:Eve";
        QTest::newRow("remove") << "remove 1" << QByteArray() << "2:Bo:G";
        QTest::newRow("import") << "import" << QByteArray("9,Ida\n1,Ann\n") << "1:Ann;9:Ida";
    }

    void changesServedAtOnce()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, csv);
        QFETCH(QString, table);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QString db = server.databasePath();
        QVERIFY(ZorsrvProcess::importAgents(db, "1,Ann\n2,Bo,G\n"));
        Client client;
        QVERIFY(client.connectTo(server.directoryPort()) && client.hello());
        QVERIFY(client.send(P::frame(P::List)));
        QCOMPARE(client.receive().agents, entriesOf("1:Ann;2:Bo:G"));
        QVERIFY(command == "import" ? ZorsrvProcess::importAgents(db, csv)
                                    : ZorsrvProcess::agents(db, command).exitCode == 0);
        QVERIFY(client.send(P::frame(P::List)));
        const Answer answer = client.receive();
        QCOMPARE(answer.code, 0);
        QCOMPARE(answer.agents, entriesOf(table));
    }

    void commands_data()
    {
        // The table starts as "1:Ann;2:Bo:G". CSV stands for a file holding
        // the csv column; out is a line of standard output, or of standard
        // error on a failure; the table must read as table afterwards.
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("table");
        const QString start = QStringLiteral("1:Ann;2:Bo:G");
        const auto row = [&](const char* name, const char* command, const QByteArray& csv,
                             int exitCode, const QString& out, const QString& table) {
            QTest::newRow(name) << QString::fromUtf8(command) << csv << exitCode << out << table;
        };
        const auto bad = [&](const char* name, const QByteArray& csv, const char* out) {
            row(name, "import --csv CSV", csv, 1, QStringLiteral("CSV: ") + QString::fromUtf8(out),
                start);
        };
        row("list", "list", {}, 0, "     2  Bo  [G]\n2 agents", start);
        row("set", "set 3 Cy", {}, 0, "1 agents changed", start + ";3:Cy");
        row("set unchanged", "set 2 Bo G", {}, 0, "0 agents changed", start);
        row("set without a name", "set 3", {}, 1, "agents set needs NUMBER NAME [GROUP]", start);
        row("set number 0", "set 0 Cy", {}, 1, "\"0\" is not an agent number", start);
        row("set a long name", qPrintable("set 3 " + QString(65, u'n')), {}, 1,
            "the name is longer than 64 bytes", start);
        row("remove a missing agent", "remove 7", {}, 1, "there is no agent 7", start);
        row("unknown command", "rename 1 A", {}, 1, "unknown agents command \"rename\"", start);
        row("import", "import --csv CSV",
            "\xEF\xBB\xBFnumber, name, group\r\n2,\"Bo \"\"B\"\"\",G\r\n\r\n", 0,
            "2 agents changed", "2:Bo \"B\":G");
        row("export", "export --csv CSV", {}, 0, "2 agents exported", start);
        bad("duplicate", "1,A\n\n1,B\n", "line 3: agent 1 is already on line 1");
        bad("four fields", "1,A\n2,B,G,x\n", "line 2: 4 fields; NUMBER,NAME[,GROUP] expected");
        bad("not a number", "1,A\n+2,B\n", "line 2: \"+2\" is not an agent number");
        bad("number too big", "2147483648,A\n", "line 1: \"2147483648\" is not an agent number");
        bad("quote not closed", "1,\"A\n", "line 1: a quoted field is not closed");
        bad("quote inside", "1,A\"B\n", "line 1: a quote inside an unquoted field");
        bad("empty name", "1,\"\"\n", "line 1: the name is empty");
        bad("long group", "1,A," + QByteArray(33, 'g') + "\n", "line 1: the group is longer");
        bad("control character", "1,A\tB\n", "line 1: the name holds a control character");
        bad("not UTF-8", "1,A\n2,\xE9t\xE9\n", "line 2: not UTF-8 text");
    }

    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, csv);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, table);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("z.db"));
        const QString file = dir.filePath(QStringLiteral("agents.csv"));
        QVERIFY(ZorsrvProcess::importAgents(db, "1,Ann\n2,Bo,G\n"));
        QVERIFY(csv.isEmpty() || writeFile(file, csv));
        const auto r = ZorsrvProcess::agents(db, command.replace(QStringLiteral("CSV"), file));
        QCOMPARE(r.exitCode, exitCode);
        const QString text = QString::fromUtf8(exitCode == 0 ? r.out : r.err);
        QVERIFY2(text.contains(out.replace(QStringLiteral("CSV"), file)), qPrintable(text));
        QCOMPARE(text.contains(QLatin1String("; nothing was imported\n")),
                 exitCode != 0 && command.startsWith(QLatin1String("import")));
        // What the table holds afterwards, through an export.
        const QString check = dir.filePath(QStringLiteral("check.csv"));
        QCOMPARE(ZorsrvProcess::agents(db, "export --csv " + check).exitCode, 0);
        QFile exported(check);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(AgentAdmin::readCsv(exported.readAll()).entries, entriesOf(table));
    }

    void auditRows()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("z.db"));
        for (const char* command : {"set 4 Di", "set 4 Di", "set 4 Di X", "remove 4"})
            QCOMPARE(ZorsrvProcess::agents(db, QString::fromUtf8(command)).exitCode, 0);
        // The second set changes nothing and leaves no row.
        QCOMPARE(ZorsrvProcess::query(
                     db, "SELECT who, number, coalesce(before_name, '-'), coalesce(before_group, "
                         "'-'), coalesce(after_name, '-'), coalesce(after_group, '-') FROM "
                         "agent_audit ORDER BY id"),
                 QByteArrayList({"agents set", "4", "-", "-", "Di", "", "agents set", "4", "Di", "",
                                 "Di", "X", "agents remove", "4", "Di", "X", "-", "-"}));
    }

    void fullTable()
    {
        // The most agents a table holds, with the longest names: the answer
        // goes out in pieces.
        QByteArray csv;
        for (int i = 1; i <= P::MaxAgents; ++i)
            csv += QByteArray::number(i * 3) + "," + QByteArray(P::MaxNameBytes - 6, 'n') +
                   QByteArray::number(100000 + i) + "," + QByteArray(P::MaxGroupBytes, 'g') + "\n";
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), csv));
        // One more is refused, and the table keeps its agents.
        QVERIFY(!ZorsrvProcess::importAgents(server.databasePath(), csv + "1,One more\n"));
        Client client;
        QVERIFY(client.connectTo(server.directoryPort()) && client.hello());
        QVERIFY(client.send(P::frame(P::List)));
        const Answer answer = client.receive();
        QCOMPARE(answer.agents.size(), P::MaxAgents);
        QCOMPARE(answer.agents.back(), (P::Entry{3 * P::MaxAgents,
                                                 QString(P::MaxNameBytes - 6, u'n') +
                                                     QString::number(100000 + P::MaxAgents),
                                                 QString(P::MaxGroupBytes, u'g')}));
    }

    void offAndShutdown()
    {
        ZorsrvProcess off;
        QVERIFY2(off.start({"--no-directory"}), qPrintable(off.errorText()));
        QCOMPARE(off.directoryPort(), quint16(0));
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        Client client;
        QVERIFY(client.connectTo(server.directoryPort()) && client.hello());
        QVERIFY(server.terminate());
        QCOMPARE(client.receive().code, -3);
        QVERIFY(client.waitForClosed());
    }
};

QTEST_GUILESS_MAIN(TestDirectory)
#include "tst_directory.moc"
