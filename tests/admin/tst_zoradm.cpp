// The zoradm executable run as a process, against a real zorsrv and against
// a temporary shared folder.
#include "FixedAgents.h"
#include "Folders.h"
#include "RemoteTransfers.h"
#include "RightsCells.h"
#include "SettingsLoad.h"
#include "SupervisorRules.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString Server = QStringLiteral("server");
const QString Shared = QStringLiteral("shared-folder");

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

struct FileState
{
    QByteArray bytes;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    bool operator==(const FileState&) const = default;
};

// What has been written so far: the server's audit rows, or the shared
// folder's files.
struct Snapshot
{
    int auditRows = 0;
    QMap<QString, FileState> files;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The CSV line of an agent in an export, with the line end before it (so
// that agent 3's does not match agent 13's).
QByteArray csvLine(int agent, const QList<int>& levels)
{
    QByteArray line = "\n" + QByteArray::number(agent) + ',';
    for (const int level : levels)
        line += ',' + QByteArray::number(level);
    return line + "\r\n";
}

} // namespace

class TestZoradm : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ZorsrvProcess> m_server;
    QString m_mode;
    QString m_station;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString sharedFolder() const { return path(QStringLiteral("unc/srv/ZOR")); }

    // A zorsrv on a port that the station file's 16-bit TCP_port can hold.
    bool startServer()
    {
        m_server = std::make_unique<ZorsrvProcess>();
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int port = QRandomGenerator::global()->bounded(20000, 32000);
            if (m_server->start(
                    {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)}))
                return true;
        }
        return false;
    }

    QByteArray stationText(int recvTimeout) const
    {
        const QByteArray common =
            "[VOICE_SERVER]\r\nRecv_timeout=" + QByteArray::number(recvTimeout) + "\r\nVS_addr=";
        if (m_mode == Server)
            return common + "127.0.0.1\r\n[CONFIG]\r\nServer_Tcp=1\r\nTCP_port=" +
                   QByteArray::number(m_server->port()) + "\r\n";
        return common + "srv\r\n[CONFIG]\r\nServer_Tcp=0\r\nPATH_config=srv\r\n";
    }

    // A fresh folder, station file and store for the mode of the row.
    bool prepare(const QString& mode, int recvTimeout = 10)
    {
        m_mode = mode;
        m_dir = std::make_unique<QTemporaryDir>();
        m_station = path(QStringLiteral("zor.ini"));
        if (!m_dir->isValid() || !QDir().mkpath(sharedFolder()) ||
            !QDir().mkpath(path(QStringLiteral("config"))))
            return false;
        if (mode == Server && !startServer())
            return false;
        return writeAll(m_station, stationText(recvTimeout));
    }

    QProcessEnvironment environment(const QString& password) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("ZOR_UNC_ROOT"), path(QStringLiteral("unc")));
        env.remove(QStringLiteral("ZORADM_PASSWORD"));
        if (!password.isNull())
            env.insert(QStringLiteral("ZORADM_PASSWORD"), password);
        return env;
    }

    Run zoradm(QStringList arguments, const QString& password = QStringLiteral("super"),
               bool withStation = true)
    {
        if (withStation)
            arguments << QStringLiteral("--station") << m_station;
        QProcess process;
        process.setProcessEnvironment(environment(password));
        process.start(QStringLiteral(ZORADM_PATH), arguments);
        process.closeWriteChannel();
        Run run;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
            run.code = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    Snapshot snapshot() const
    {
        Snapshot shot;
        if (m_mode == Server) {
            const ZorsrvProcess::Result audit = ZorsrvProcess::run(
                {QStringLiteral("audit"), QStringLiteral("--db"), m_server->databasePath()});
            const QRegularExpression rows(QStringLiteral("(\\d+) audit rows"));
            shot.auditRows = rows.match(QString::fromUtf8(audit.out)).captured(1).toInt();
            return shot;
        }
        const QStringList names = QDir(sharedFolder()).entryList(QDir::Files, QDir::Name);
        for (const QString& name : names) {
            struct stat info = {};
            const QByteArray local = QFile::encodeName(QDir(sharedFolder()).filePath(name));
            ::stat(local.constData(), &info);
            shot.files.insert(name,
                              {readAll(QDir(sharedFolder()).filePath(name)),
                               qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                               quint64(info.st_ino)});
        }
        return shot;
    }

    // What was written since the snapshot: "agent N" and "supervisor" labels
    // of the server's audit rows, or the names of the files that changed.
    QStringList writtenSince(const Snapshot& before) const
    {
        QStringList written;
        if (m_mode == Server) {
            const ZorsrvProcess::Result audit = ZorsrvProcess::run(
                {QStringLiteral("audit"), QStringLiteral("--db"), m_server->databasePath()});
            const QRegularExpression row(
                QStringLiteral("^#(\\d+) \\S+ \\S+ (agent \\d+|supervisor)"),
                QRegularExpression::MultilineOption);
            for (auto it = row.globalMatch(QString::fromUtf8(audit.out)); it.hasNext();) {
                const QRegularExpressionMatch match = it.next();
                if (match.captured(1).toInt() > before.auditRows)
                    written << match.captured(2);
            }
            return written;
        }
        const Snapshot now = snapshot();
        for (auto it = now.files.begin(); it != now.files.end(); ++it) {
            if (!before.files.contains(it.key()) || !(before.files.value(it.key()) == it.value()))
                written << it.key();
        }
        return written;
    }

    // The names writtenSince gives for these agents.
    QStringList agentNames(const QList<int>& agents) const
    {
        QStringList names;
        for (const int agent : agents)
            names << (m_mode == Server
                          ? QStringLiteral("agent %1").arg(agent)
                          : QStringLiteral("agent%1.ini").arg(agent, 3, 10, QLatin1Char('0')));
        return names;
    }

    QString supervisorName() const
    {
        return m_mode == Server ? QStringLiteral("supervisor") : QStringLiteral("supervis.ini");
    }

    static void addModes()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("server") << Server;
        QTest::newRow("shared folder") << Shared;
    }

    // An export, which also lays out the shared folder's agent files.
    QByteArray exported()
    {
        const Run run =
            zoradm({QStringLiteral("export"), QStringLiteral("--csv"), QStringLiteral("-")});
        return run.code == 0 ? run.out : QByteArray();
    }

private Q_SLOTS:
    void roundTrip_data() { addModes(); }
    void roundTrip()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        const QString file = path(QStringLiteral("rights.csv"));
        QCOMPARE(zoradm({QStringLiteral("export"), QStringLiteral("--csv"), file}).code, 0);
        const Snapshot before = snapshot();
        const Run import = zoradm({QStringLiteral("import"), QStringLiteral("--csv"), file});
        QCOMPARE(import.code, 0);
        QVERIFY(import.out.contains("nothing to change"));
        QCOMPARE(writtenSince(before), QStringList());
        const QString again = path(QStringLiteral("again.csv"));
        QCOMPARE(zoradm({QStringLiteral("export"), QStringLiteral("--csv"), again}).code, 0);
        QCOMPARE(readAll(again), readAll(file));
    }

    void importTwoAgents_data() { addModes(); }
    void importTwoAgents()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        QByteArray csv = exported();
        QVERIFY(csv.contains(csvLine(3, {1, 1, 1, 1, 1, 1, 1})));
        csv.replace(csvLine(3, {1, 1, 1, 1, 1, 1, 1}), csvLine(3, {1, 1, 1, 1, 0, 1, 2}));
        csv.replace(csvLine(7, {1, 1, 1, 1, 1, 1, 1}), csvLine(7, {0, 1, 1, 1, 1, 1, 0}));
        const QString file = path(QStringLiteral("edited.csv"));
        QVERIFY(writeAll(file, csv));
        const Snapshot before = snapshot();

        const Run dry = zoradm(
            {QStringLiteral("import"), QStringLiteral("--csv"), file, QStringLiteral("--dry-run")});
        QCOMPARE(dry.code, 0);
        QVERIFY(dry.out.contains("agent 3: Droit_Stat 1 -> 0"));
        QCOMPARE(writtenSince(before), QStringList());

        const Run import = zoradm({QStringLiteral("import"), QStringLiteral("--csv"), file});
        QCOMPARE(import.code, 0);
        QVERIFY(import.out.contains("agent 7: Droit_Modif_Group 1 -> 0"));
        QVERIFY(import.out.contains("agent 7: Droit_Modif_Fiche 1 -> 0"));
        QCOMPARE(writtenSince(before), agentNames({3, 7}));
        QCOMPARE(exported(), csv);
    }

    void badRowWritesNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<QString>("place");
        for (const QString& mode : {Server, Shared}) {
            const QByteArray m = mode.toUtf8() + ": ";
            QTest::newRow((m + "unknown agent").constData())
                << mode << QByteArray("33,,1,1,1,1,1,1,1\r\n")
                << QStringLiteral("line 3, column 1: unknown agent");
            QTest::newRow((m + "out of range").constData())
                << mode << QByteArray("5,,1,1,1,1,2,1,1\r\n")
                << QStringLiteral("line 3, column 12: Droit_Stat");
            QTest::newRow((m + "fiche out of range").constData())
                << mode << QByteArray("5,,1,1,1,1,1,1,3\r\n")
                << QStringLiteral("line 3, column 16: Droit_Modif_Fiche");
            QTest::newRow((m + "not a number").constData())
                << mode << QByteArray("5,,1,x,1,1,1,1,1\r\n")
                << QStringLiteral("line 3, column 6:");
            QTest::newRow((m + "short line").constData())
                << mode << QByteArray("5,,1,1,1\r\n")
                << QStringLiteral("line 3, column 8: 5 fields");
            QTest::newRow((m + "open quote").constData())
                << mode << QByteArray("5,\"x,1,1,1,1,1,1,1\r\n")
                << QStringLiteral("line 3, column 3: a quoted field");
            QTest::newRow((m + "agent twice").constData())
                << mode << QByteArray("1,,0,0,0,0,0,0,0\r\n")
                << QStringLiteral("line 3, column 1: agent 1 already");
        }
    }
    void badRowWritesNothing()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, row);
        QFETCH(QString, place);
        QVERIFY(prepare(mode));
        QVERIFY(!exported().isEmpty());
        // A good change first, so that a partial import would show.
        const QByteArray csv = "Agent,Name,Droit_Modif_Group,Droit_Preference,"
                               "Droit_Modif_MotDePasse,Droit_Qualif,Droit_Stat,Droit_ListeAppel,"
                               "Droit_Modif_Fiche\r\n1,,0,0,0,0,0,0,0\r\n" +
                               row;
        const QString file = path(QStringLiteral("bad.csv"));
        QVERIFY(writeAll(file, csv));
        const Snapshot before = snapshot();
        const Run import = zoradm({QStringLiteral("import"), QStringLiteral("--csv"), file});
        QCOMPARE(import.code, 4);
        QVERIFY2(import.err.contains(place.toUtf8()), import.err.constData());
        QCOMPARE(writtenSince(before), QStringList());
    }

    void wrongPasswordWritesNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("password"); // null: none given
        QTest::addColumn<QByteArray>("reason");
        for (const QString& mode : {Server, Shared}) {
            const QByteArray m = mode.toUtf8() + ": ";
            QTest::newRow((m + "wrong").constData())
                << mode << QStringLiteral("other") << QByteArray("wrong");
            QTest::newRow((m + "none").constData())
                << mode << QString() << QByteArray("no supervisor password");
        }
    }
    void wrongPasswordWritesNothing()
    {
        QFETCH(QString, mode);
        QFETCH(QString, password);
        QFETCH(QByteArray, reason);
        QVERIFY(prepare(mode));
        QVERIFY(!exported().isEmpty());
        const Snapshot before = snapshot();
        const QList<QStringList> commands = {
            {QStringLiteral("revoke"), QStringLiteral("Droit_Stat"), QStringLiteral("--agents"),
             QStringLiteral("1-32")},
            {QStringLiteral("set"), QStringLiteral("TauxActiviteT1=10")},
            {QStringLiteral("show")}};
        for (const QStringList& command : commands) {
            const Run run = zoradm(command, password);
            QCOMPARE(run.code, 3);
            QVERIFY2(run.err.contains(reason), run.err.constData());
            QCOMPARE(run.out, QByteArray());
        }
        QCOMPARE(writtenSince(before), QStringList());
    }

    void passwordFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("code");
        QTest::newRow("the password, lower case") << QByteArray("super\n") << 0;
        QTest::newRow("surrounding spaces, CRLF") << QByteArray("  SUPER \r\nnext") << 0;
        QTest::newRow("wrong") << QByteArray("SUPERB\n") << 3;
    }
    void passwordFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QVERIFY(prepare(Shared));
        const QString file = path(QStringLiteral("password"));
        QVERIFY(writeAll(file, content));
        // The file wins over a wrong password in the environment.
        QCOMPARE(zoradm({QStringLiteral("show"), QStringLiteral("--password-file"), file},
                        QStringLiteral("wrong"))
                     .code,
                 code);
    }

    void showJsonAgreesWithFetch_data() { addModes(); }
    void showJsonAgreesWithFetch()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        QCOMPARE(zoradm({QStringLiteral("set"), QStringLiteral("TauxActiviteT1=25"),
                         QStringLiteral("CouleurTxBas=#102030"), QStringLiteral("ModeLie=2")})
                     .code,
                 0);
        QCOMPARE(zoradm({QStringLiteral("revoke"), QStringLiteral("Droit_Qualif"),
                         QStringLiteral("--agents"), QStringLiteral("2,4-5")})
                     .code,
                 0);
        const Run show = zoradm({QStringLiteral("show"), QStringLiteral("--json")});
        QCOMPARE(show.code, 0);
        const QJsonObject json = QJsonDocument::fromJson(show.out).object();

        // The program's own load and fetch, in this process, on the same files.
        ResetGlobals();
        UiRecorder::install();
        Folders::setProgramFolder(QFileInfo(QStringLiteral(ZORADM_PATH)).path());
        qputenv("ZOR_UNC_ROOT", path(QStringLiteral("unc")).toUtf8());
        StationIniPath = m_station;
        SettingsLoad::LoadSettings();
        AgentsList::Rows rows = FixedAgents::Rows();
        RemoteTransfers::FetchAgentRights(rows);
        QCOMPARE(UiRecorder::calls().size(), 0);

        QCOMPARE(json.value(QStringLiteral("mode")).toString(), mode);
        QCOMPARE(Parametres.TauxActiviteT1, 25);
        const QJsonObject settings = json.value(QStringLiteral("settings")).toObject();
        for (const QString& key : SupervisorRules::Keys()) {
            if (key.startsWith(u"Couleur"))
                continue;
            QCOMPARE(settings.value(key).toVariant().toString(),
                     SupervisorRules::Value(Parametres, key));
        }
        const QJsonObject colours = json.value(QStringLiteral("colours")).toObject();
        for (const ColourDef& colour : ColourTable)
            QCOMPARE(
                colours.value(QLatin1StringView(colour.key)).toObject().value(u"value").toInt(),
                Parametres.*colour.field);
        QCOMPARE(colours.value(u"CouleurTxBas").toObject().value(u"rgb").toString(),
                 QStringLiteral("#102030"));
        const QJsonArray agents = json.value(QStringLiteral("agents")).toArray();
        QCOMPARE(agents.size(), qsizetype(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const QJsonObject agent = agents.at(qsizetype(i)).toObject();
            QCOMPARE(agent.value(u"agent").toString(), rows[i].cells[AgentsList::ColNumber]);
            const QJsonObject rights = agent.value(u"rights").toObject();
            for (const char* key : RightsCells::Keys)
                QCOMPARE(rights.value(QLatin1StringView(key)).toInt(),
                         RightsCells::Level(rows[i], key));
        }
        QCOMPARE(RightsCells::Level(rows[3], "Droit_Qualif"), 0);
    }

    void setRules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("journal 40")
            << Server << QStringList{"NbJourStockJournal=40"} << 0 << QByteArray("0 -> 40");
        QTest::newRow("journal 41")
            << Server << QStringList{"NbJourStockJournal=41"} << 4 << QByteArray("from 0 to 40");
        QTest::newRow("T1 99") << Server << QStringList{"TauxActiviteT1=99"} << 4
                               << QByteArray("T1");
        QTest::newRow("T2 100") << Server << QStringList{"TauxActiviteT2=100"} << 4
                                << QByteArray("from 0 to 99");
        QTest::newRow("T1 below T2 together")
            << Server << QStringList{"TauxActiviteT2=99", "TauxActiviteT1=98"} << 0
            << QByteArray("70 -> 99");
        QTest::newRow("mode 3") << Server << QStringList{"ModeLie=3"} << 4
                                << QByteArray("from 0 to 2");
        QTest::newRow("switch 2") << Server << QStringList{"CmtAuto=2"} << 4
                                  << QByteArray("from 0 to 1");
        QTest::newRow("colour #RRGGBB")
            << Server << QStringList{"CouleurGrFile=#ff0000"} << 0 << QByteArray("#FF0000 (255)");
        QTest::newRow("colour number")
            << Server << QStringList{"CouleurGrFile=65280"} << 0 << QByteArray("#00FF00 (65280)");
        QTest::newRow("colour short")
            << Server << QStringList{"CouleurGrFile=#12345"} << 4 << QByteArray("#RRGGBB");
        QTest::newRow("unknown key")
            << Server << QStringList{"Couleur=1"} << 4 << QByteArray("not KEY=VALUE");
        QTest::newRow("shared folder: colour") << Shared << QStringList{"CouleurGrS2=#00ff00"} << 0
                                               << QByteArray("#FF0000 (255) -> #00FF00 (65280)");
        QTest::newRow("shared folder: T1 not below T2")
            << Shared << QStringList{"TauxActiviteT2=30"} << 4 << QByteArray("T1");
        QTest::newRow("language without a file")
            << Server << QStringList{"langue=9"} << 4 << QByteArray("not in the program folder");
    }
    void setRules()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, pairs);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        QVERIFY(prepare(mode));
        QVERIFY(!exported().isEmpty());
        const Snapshot before = snapshot();
        const Run run = zoradm(QStringList{QStringLiteral("set")} + pairs);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(message), (run.out + run.err).constData());
        QCOMPARE(writtenSince(before), code == 0 ? QStringList{supervisorName()} : QStringList());
    }

    void grantRevokeClear_data() { addModes(); }
    void grantRevokeClear()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        QVERIFY(!exported().isEmpty());
        Snapshot before = snapshot();
        QCOMPARE(zoradm({QStringLiteral("revoke"), QStringLiteral("Droit_Modif_Fiche"),
                         QStringLiteral("--agents"), QStringLiteral("2-3,30")})
                     .code,
                 0);
        QCOMPARE(writtenSince(before), agentNames({2, 3, 30}));
        before = snapshot();
        // Agent 2 already has none: granted for all fields, 3 and 30 change.
        QCOMPARE(zoradm({QStringLiteral("grant"), QStringLiteral("Droit_Modif_Fiche"),
                         QStringLiteral("--agents"), QStringLiteral("3,30")})
                     .code,
                 0);
        QCOMPARE(writtenSince(before), agentNames({3, 30}));
        const QByteArray csv = exported();
        QVERIFY(csv.contains(csvLine(2, {1, 1, 1, 1, 1, 1, 0})));
        QVERIFY(csv.contains(csvLine(3, {1, 1, 1, 1, 1, 1, 2})));
        before = snapshot();
        const Run clear = zoradm(
            {QStringLiteral("clear-password"), QStringLiteral("--agents"), QStringLiteral("4")});
        QCOMPARE(clear.code, 0);
        QVERIFY(clear.out.contains("agent 4: password to clear"));
        QCOMPARE(writtenSince(before), agentNames({4}));
        QCOMPARE(exported(), csv);
        before = snapshot();
        QCOMPARE(zoradm({QStringLiteral("grant"), QStringLiteral("Droit_Stat"),
                         QStringLiteral("--agents"), QStringLiteral("33")})
                     .code,
                 4);
        QCOMPARE(writtenSince(before), QStringList());
    }

    void gatewayFailure()
    {
        QVERIFY(prepare(Server, 1));
        m_server->kill(); // nobody listens any more
        const Run run = zoradm({QStringLiteral("show")});
        QCOMPARE(run.code, 6);
        QVERIFY2(run.err.contains(" (Local Time-out)"), run.err.constData());
        QVERIFY2(
            run.err.contains(
                QStringLiteral("(Server:127.0.0.1  Socket:%1)").arg(m_server->port()).toUtf8()),
            run.err.constData());
    }

    // A failure the program reports in a message box while loading: the same
    // text on standard error, and nothing read or written after it.
    void settingsFailure()
    {
        QVERIFY(prepare(Shared));
        QVERIFY(writeAll(QDir(sharedFolder()).filePath(QStringLiteral("supervis.ini")),
                         "[CONFIG]\r\nEtatinterdit=\r\n"));
        const Run run = zoradm({QStringLiteral("show")});
        QCOMPARE(run.code, 5);
        QVERIFY2(run.err.contains(" [GetIniCouleurs "), run.err.constData());
        QCOMPARE(run.out, QByteArray());
    }

    // Without --station: the per-user file the program itself resolves.
    void defaultStation()
    {
        QVERIFY(prepare(Shared));
        const QString userFile = path(QStringLiteral("config/Q.R.S/ZorCFG/zor.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(userFile).path()));
        QVERIFY(QFile::copy(m_station, userFile));
        const Run run = zoradm({QStringLiteral("show"), QStringLiteral("--json")},
                               QStringLiteral("super"), false);
        QCOMPARE(run.code, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(json.value(u"stationFile").toString(), userFile);
        QCOMPARE(json.value(u"source").toString(), QStringLiteral("\\\\srv\\ZOR"));
        QCOMPARE(json.value(u"localFolder").toString(), sharedFolder());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("output");
        const QStringList commands = {"show",  "export", "import",        "set",
                                      "grant", "revoke", "clear-password"};
        for (const QString& command : commands)
            QTest::newRow(qPrintable(command + " --help"))
                << QStringList{command, "--help"} << 0
                << ("Usage: zoradm " + command.toUtf8() + ' ');
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("Exit status:");
        QTest::newRow("nothing") << QStringList{} << 2 << QByteArray("missing command");
        QTest::newRow("unknown command")
            << QStringList{"list"} << 2 << QByteArray("unknown command 'list'");
        QTest::newRow("password option") << QStringList{"show", "--password", "x"} << 2
                                         << QByteArray("unrecognized option '--password'");
        QTest::newRow("option of another command")
            << QStringList{"show", "--csv", "x"} << 2 << QByteArray("unrecognized option '--csv'");
        QTest::newRow("export without --csv")
            << QStringList{"export"} << 2 << QByteArray("needs --csv FILE");
        QTest::newRow("grant without --agents")
            << QStringList{"grant", "Droit_Stat"} << 2 << QByteArray("needs --agents");
        QTest::newRow("set without pairs")
            << QStringList{"set"} << 2 << QByteArray("missing argument");
        QTest::newRow("value on a switch")
            << QStringList{"show", "--json=1"} << 2 << QByteArray("takes no argument");
        QTest::newRow("unknown right") << QStringList{"grant", "Droit_X", "--agents", "1"} << 4
                                       << QByteArray("'Droit_X' is not a right");
        QTest::newRow("bad agent list")
            << QStringList{"grant", "Droit_Stat", "--agents", "3-1"} << 4 << QByteArray("'3-1'");
        QTest::newRow("missing CSV file") << QStringList{"import", "--csv", "/nonexistent/a.csv"}
                                          << 1 << QByteArray("cannot read /nonexistent/a.csv");
        QTest::newRow("show as text")
            << QStringList{"show"} << 0 << QByteArray("mode                   shared-folder");
        QTest::newRow("missing station") << QStringList{"show", "--station", "/nonexistent/zor.ini"}
                                         << 1 << QByteArray("cannot read the station file");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QByteArray, output);
        QVERIFY(prepare(Shared));
        const bool station = !arguments.contains(QStringLiteral("--station"));
        const Run run = zoradm(arguments, QStringLiteral("super"), station);
        QCOMPARE(run.code, code);
        QVERIFY2((code == 0 ? run.out : run.err).contains(output), (run.out + run.err).constData());
    }
};

QTEST_GUILESS_MAIN(TestZoradm)
#include "tst_zoradm.moc"
