// zorsrv's storage as seen from outside: the audit trail, the dump and audit
// commands, the schema, and the messages for files and ports it cannot use.
#include "Cp1252.h"
#include "Layout.h"
#include "RawClient.h"
#include "ZorsrvProcess.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

void setInt(QByteArray& data, int offset, qint32 value)
{
    Layout::writeInt(reinterpret_cast<quint8*>(data.data()), offset, value);
}

QByteArray agentRecord(qint32 stat, qint32 fiche, QByteArrayView password)
{
    QByteArray data(464, '\0');
    for (int offset : Layout::AgentUnsetFields)
        setInt(data, offset, 0);
    setInt(data, Layout::Agent::DroitStat, stat);
    setInt(data, Layout::Agent::DroitModifFiche, fiche);
    data.replace(Layout::Agent::Password, int(password.size()), password.toByteArray());
    return data;
}

// Runs a query on the file with a connection of the test's own.
QList<QVariantList> query(const QString& path, const QString& sql)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql)) {
                while (q.next()) {
                    QVariantList row;
                    for (int i = 0; i < q.record().count(); ++i)
                        row << q.value(i);
                    rows << row;
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    return rows;
}

QString text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

class TestServerAdmin : public QObject
{
    Q_OBJECT

private:
    ZorsrvProcess m_server;
    QByteArray m_first;
    QByteArray m_second;
    QByteArray m_supervisor;
    quint16 m_clientPort = 0;

    ZorsrvProcess::Result admin(const QStringList& arguments)
    {
        return ZorsrvProcess::run(arguments + QStringList{"--db", m_server.databasePath()});
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(m_server.port()));
        m_clientPort = client.socket().localPort();
        QCOMPARE(client.login(), 0);
        m_first = agentRecord(1, 2, Cp1252::fromUnicode(u"\u00e9t\u00e9"));
        m_second = agentRecord(0, 2, Cp1252::fromUnicode(u"\u00e9t\u00e9"));
        m_second[400] = char(0xAB);
        QCOMPARE(client.write(0, m_first).dataLength, 0);
        QCOMPARE(client.write(0, m_second).dataLength, 0);
        m_supervisor = QByteArray(292, '\0');
        for (int offset : Layout::SupervisorUnsetFields)
            setInt(m_supervisor, offset, -1);
        setInt(m_supervisor, Layout::Supervisor::Colours, 255);
        setInt(m_supervisor, Layout::Supervisor::TauxActiviteT1, 30);
        m_supervisor.replace(Layout::Supervisor::ModeLieApp, 23, "Wscript.exe Post_it.vbs");
        QCOMPARE(client.write(-1, m_supervisor).dataLength, 0);
    }

    void cleanupTestCase()
    {
        if (m_server.isRunning())
            QVERIFY(m_server.terminate());
    }

    void auditRowsHoldBeforeAndAfter()
    {
        const auto rows = query(m_server.databasePath(),
                                "SELECT time, peer, record, before, after FROM audit ORDER BY id");
        QCOMPARE(rows.size(), 3);
        QVERIFY(!rows[0][0].toString().isEmpty());
        QCOMPARE(rows[0][1].toString(), QStringLiteral("127.0.0.1:%1").arg(m_clientPort));
        QCOMPARE(rows[0][2].toInt(), 0);
        QVERIFY(rows[0][3].isNull());
        QCOMPARE(rows[0][4].toByteArray(), m_first);
        QCOMPARE(rows[1][3].toByteArray(), m_first);
        QCOMPARE(rows[1][4].toByteArray(), m_second);
        QCOMPARE(rows[2][2].toInt(), -1);
        QCOMPARE(rows[2][4].toByteArray(), m_supervisor);
    }

    void schema()
    {
        const auto version =
            query(m_server.databasePath(), "SELECT value FROM meta WHERE key = 'schema_version'");
        QCOMPARE(version.size(), 1);
        QCOMPARE(version[0][0].toInt(), 1);
        const auto mode = query(m_server.databasePath(), "PRAGMA journal_mode");
        QCOMPARE(mode.value(0).value(0).toString(), QStringLiteral("wal"));
    }

    void auditCommand()
    {
        const ZorsrvProcess::Result r = admin({"audit"});
        QCOMPARE(r.exitCode, 0);
        const QString out = text(r.out);
        const QString peer = QStringLiteral("127.0.0.1:%1").arg(m_clientPort);
        QVERIFY2(out.contains(QStringLiteral("#1 ")), qPrintable(out));
        QVERIFY(out.contains(peer + QStringLiteral(" agent 1 (record 0), first write\n")));
        QVERIFY(out.contains(QStringLiteral("  Droit_Stat: not set -> granted\n")));
        QVERIFY(out.contains(QStringLiteral("  Droit_Modif_Fiche: not set -> all fields\n")));
        QVERIFY(out.contains(QStringLiteral("  password: \"\" -> \"\u00e9t\u00e9\"\n")));
        QVERIFY(out.contains(QStringLiteral("  Droit_Stat: granted -> refused\n")));
        QVERIFY(out.contains(QStringLiteral("  bytes 400-400: 00 -> ab\n")));
        QVERIFY(out.contains(peer + QStringLiteral(" supervisor (record -1), first write\n")));
        QVERIFY(out.contains(QStringLiteral("  CouleurTxBas: not set -> 0x000000FF\n")));
        QVERIFY(out.contains(QStringLiteral("3 audit rows\n")));
        // The second write changed neither the fiche right nor the password.
        QCOMPARE(out.count(QStringLiteral("Droit_Modif_Fiche")), 1);
    }

    void dumpRecord_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("agent 1") << "0" << QStringList{"agent 1 (record 0)",
                                                       "  password: \"\u00e9t\u00e9\"",
                                                       "  Droit_Modif_Group: refused",
                                                       "  Droit_Modif_Fiche: all fields",
                                                       "  Droit_Stat: refused",
                                                       "  bytes 400-400: ab"};
        QTest::newRow("never written")
            << "5"
            << QStringList{"agent 6 (record 5): never written, reads as not set",
                           "  Droit_Qualif: not set", "  password: \"\""};
        QTest::newRow("supervisor") << "-1"
                                    << QStringList{"supervisor (record -1)",
                                                   "  CouleurTxBas: 0x000000FF",
                                                   "  CouleurTxMilieu: not set",
                                                   "  CouleurGrServis: not set",
                                                   "  ModeLieApp: \"Wscript.exe Post_it.vbs\"",
                                                   "  TauxActiviteT1: 30",
                                                   "  TauxActiviteT2: not set"};
    }

    void dumpRecord()
    {
        QFETCH(QString, record);
        QFETCH(QStringList, lines);
        const ZorsrvProcess::Result r = admin({"dump", "--record", record});
        QCOMPARE(r.exitCode, 0);
        const QStringList out = text(r.out).split(QLatin1Char('\n'));
        for (const QString& line : lines)
            QVERIFY2(out.contains(line), qPrintable(line + QStringLiteral(" in:\n") + text(r.out)));
    }

    void dumpAll()
    {
        const ZorsrvProcess::Result r = admin({"dump"});
        QCOMPARE(r.exitCode, 0);
        const QString out = text(r.out);
        QVERIFY(out.startsWith(QStringLiteral("supervisor (record -1)\n")));
        QVERIFY(out.contains(QStringLiteral("\nagent 1 (record 0)\n")));
        QVERIFY(!out.contains(QStringLiteral("agent 2 ")));
        QVERIFY(
            out.endsWith(QStringLiteral("1 agent records written; the others read as not set\n")));
    }

    void auditChainsConcurrentWrites()
    {
        // Writes of many clients to one record, committed in groups: every
        // write has its own row, and each row's "before" is the previous
        // row's "after".
        constexpr int Clients = 12;
        constexpr int Record = 20;
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < Clients; ++i) {
            clients.push_back(std::make_unique<RawClient>());
            QVERIFY(clients.back()->connectTo(m_server.port()));
            QCOMPARE(clients.back()->login(), 0);
        }
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < Clients; ++i)
                QVERIFY(clients[std::size_t(i)]->send(RawClient::writeRequest(
                    Record, agentRecord(round, i % 3, QByteArray::number(i)))));
            for (auto& client : clients)
                QCOMPARE(client->receive().dataLength, 0);
        }
        const auto rows = query(m_server.databasePath(),
                                QStringLiteral("SELECT before, after FROM audit WHERE record = %1 "
                                               "ORDER BY id")
                                    .arg(Record));
        QCOMPARE(rows.size(), 5 * Clients);
        QVERIFY(rows[0][0].isNull());
        for (qsizetype i = 1; i < rows.size(); ++i)
            QCOMPARE(rows[i][0].toByteArray(), rows[i - 1][1].toByteArray());
        RawClient reader;
        QVERIFY(reader.connectTo(m_server.port()));
        QCOMPARE(reader.login(), 0);
        QCOMPARE(reader.read(Record).data, rows.last()[1].toByteArray());
    }

    void failedCommitIsRefused()
    {
        // A trigger of the test's own makes every commit that touches
        // record 33 fail.
        query(m_server.databasePath(),
              QStringLiteral("CREATE TRIGGER refuse33 BEFORE INSERT ON records WHEN NEW.number = "
                             "33 BEGIN SELECT RAISE(ABORT, 'refused by the test'); END"));
        RawClient client;
        QVERIFY(client.connectTo(m_server.port()));
        QCOMPARE(client.login(), 0);
        const RawClient::Answer refused = client.write(33, agentRecord(1, 1, "x"));
        QCOMPARE(refused.status, Layout::StatusRefused);
        QCOMPARE(refused.error, -9);
        QCOMPARE(refused.record, 33);
        // Nothing of it is kept, and the server carries on.
        QCOMPARE(client.read(33).data.mid(Layout::Agent::DroitStat, 4),
                 QByteArray::fromHex("ffffffff"));
        const QByteArray other = agentRecord(1, 1, "y");
        const RawClient::Answer written = client.write(34, other);
        QVERIFY(written.complete && written.status != Layout::StatusRefused);
        QCOMPARE(client.read(34).data, other);
        // Sent together, the failing write may share a commit with others:
        // only it is refused.
        std::vector<std::unique_ptr<RawClient>> group;
        for (int i = 0; i < 6; ++i) {
            group.push_back(std::make_unique<RawClient>());
            QVERIFY(group.back()->connectTo(m_server.port()));
            QCOMPARE(group.back()->login(), 0);
        }
        for (int i = 0; i < 6; ++i)
            QVERIFY(group[std::size_t(i)]->send(
                RawClient::writeRequest(i == 3 ? 33 : 40 + i, agentRecord(1, 0, "g"))));
        for (int i = 0; i < 6; ++i) {
            const RawClient::Answer answer = group[std::size_t(i)]->receive();
            QVERIFY(answer.complete);
            QCOMPARE(answer.status == Layout::StatusRefused, i == 3);
            if (i != 3)
                QCOMPARE(client.read(40 + i).data, agentRecord(1, 0, "g"));
        }
        query(m_server.databasePath(), QStringLiteral("DROP TRIGGER refuse33"));
        const RawClient::Answer again = client.write(33, other);
        QVERIFY(again.complete && again.status != Layout::StatusRefused);
        QCOMPARE(client.read(33).data, other);
    }

    void dataSurvivesRestart()
    {
        QVERIFY(m_server.terminate());
        QVERIFY(m_server.restart());
        RawClient client;
        QVERIFY(client.connectTo(m_server.port()));
        QCOMPARE(client.login(), 0);
        QCOMPARE(client.read(0).data, m_second);
        QCOMPARE(client.read(-1).data, m_supervisor);
    }

    void clearErrors_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("port in use") << "port" << 4 << "the address is already in use";
        QTest::newRow("missing folder") << "missing-folder" << 2 << "cannot open the database";
        QTest::newRow("database is a folder") << "folder" << 2 << "cannot open the database";
        QTest::newRow("folder is a file") << "under-file" << 2 << "cannot open the database";
        QTest::newRow("read-only file") << "read-only" << 2 << "cannot";
        QTest::newRow("not a database") << "garbage" << 3 << "is corrupt";
        QTest::newRow("damaged pages") << "damaged" << 3 << "is corrupt";
        QTest::newRow("another program's database") << "foreign" << 2 << "not a zorsrv database";
        QTest::newRow("dump of a missing file") << "dump-missing" << 2 << "no such file";
    }

    void clearErrors()
    {
        QFETCH(QString, situation);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString db = dir.filePath(QStringLiteral("z.db"));
        QString listen = QStringLiteral("127.0.0.1:0");
        QTcpServer occupant;
        QStringList arguments;
        if (situation == QLatin1String("port")) {
            QVERIFY(occupant.listen(QHostAddress::LocalHost));
            listen = QStringLiteral("127.0.0.1:%1").arg(occupant.serverPort());
        } else if (situation == QLatin1String("missing-folder")) {
            db = dir.filePath(QStringLiteral("no/such/folder/z.db"));
        } else if (situation == QLatin1String("under-file")) {
            QFile plain(dir.filePath(QStringLiteral("plain")));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            db = dir.filePath(QStringLiteral("plain/z.db"));
        } else if (situation == QLatin1String("folder")) {
            db = dir.path();
        } else if (situation == QLatin1String("read-only")) {
            if (::geteuid() == 0)
                QSKIP("root writes to read-only files");
            QFile::copy(m_server.databasePath(), db);
            QFile::setPermissions(db, QFile::ReadOwner);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        } else if (situation == QLatin1String("garbage")) {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'g'));
        } else if (situation == QLatin1String("damaged")) {
            QVERIFY(m_server.terminate());
            QVERIFY(QFile::copy(m_server.databasePath(), db));
            QVERIFY(m_server.restart());
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.size() >= 3 * 4096);
            f.seek(2 * 4096);
            f.write(QByteArray(4096, char(0x5A)));
        } else if (situation == QLatin1String("foreign")) {
            query(db, QStringLiteral("CREATE TABLE people (name TEXT)"));
        }
        if (situation == QLatin1String("dump-missing"))
            arguments = {"dump", "--db", db};
        else
            arguments = {"--db", db, "--listen", listen};
        const ZorsrvProcess::Result r = ZorsrvProcess::run(arguments);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(r.finished, "zorsrv should stop at once");
        QCOMPARE(r.exitCode, exitCode);
        const QString err = text(r.err);
        QVERIFY2(err.startsWith(QStringLiteral("zorsrv: ")), qPrintable(err));
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestServerAdmin)
#include "tst_serveradmin.moc"
