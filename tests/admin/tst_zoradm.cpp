// The zoradm executable run as a process, against a real zorsrv and against
// a temporary shared folder.
#include "AgentsListLoad.h"
#include "DirectoryClient.h"
#include "Folders.h"
#include "Layout.h"
#include "Passerelle.h"
#include "RightsCells.h"
#include "SettingsLoad.h"
#include "SettingsMessages.h"
#include "SupervisorRules.h"
#include "TestFiles.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <numeric>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using TestFiles::read;
using TestFiles::write;

namespace {

const QString Server = u"server"_s;
const QString Shared = u"shared-folder"_s;

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// The CSV line of an agent in an export, with the line end before it (so
// that agent 3's does not match agent 13's).
QByteArray csvLine(int agent, const QList<int>& levels)
{
    QByteArray line = "\n" + QByteArray::number(agent) + ',';
    for (const int level : levels)
        line += ',' + QByteArray::number(level);
    return line + "\r\n";
}

// A relay between zoradm and zorsrv, on a port a station file can name, that
// cuts both connections when the client's write request number cutAt comes,
// without passing it on.
struct CuttingRelay
{
    QTcpServer server;
    quint16 target = 0;
    int cutAt = 0;
    int writes = 0;

    bool listen(quint16 to, int cut)
    {
        target = to;
        cutAt = cut;
        QObject::connect(&server, &QTcpServer::newConnection, &server,
                         [this] { relay(server.nextPendingConnection()); });
        for (int attempt = 0; attempt < 20 && !server.isListening(); ++attempt)
            server.listen(QHostAddress::LocalHost,
                          quint16(20000 + QRandomGenerator::global()->bounded(12000)));
        return server.isListening();
    }

    void relay(QTcpSocket* client)
    {
        auto* upstream = new QTcpSocket(client);
        auto pending = std::make_shared<QByteArray>();
        upstream->connectToHost(QHostAddress::LocalHost, target);
        QObject::connect(upstream, &QTcpSocket::readyRead, client,
                         [=] { client->write(upstream->readAll()); });
        QObject::connect(client, &QTcpSocket::readyRead, client, [=, this] {
            *pending += client->readAll();
            while (pending->size() >= Layout::HeaderSize) {
                const auto* header = reinterpret_cast<const quint8*>(pending->constData());
                const int length =
                    Layout::readInt(header, Layout::Header::Length) == Layout::BlockSize
                        ? Layout::BlockSize
                        : Layout::HeaderSize;
                if (pending->size() < length)
                    return;
                if (Layout::readInt(header, Layout::Header::Request) == Layout::RequestWrite &&
                    ++writes == cutAt) {
                    upstream->abort();
                    client->abort();
                    return;
                }
                upstream->write(pending->left(length));
                pending->remove(0, length);
            }
        });
    }
};

} // namespace

class TestZoradm : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ZorsrvProcess> m_server;
    QString m_mode;
    QString m_station;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString sharedFolder() const { return path(u"unc/srv/ZOR"_s); }

    // A fresh folder, station file and store for the mode of the row; the
    // shared folder has the agent files the program lays out, unless told
    // not to. The agent directory at VS_port is zorsrv's, listing the given
    // agents ("Agent N"); without a list nobody answers there.
    bool prepare(const QString& mode, int recvTimeout = 10,
                 const std::optional<QList<int>>& directory = std::nullopt, bool agentFiles = true)
    {
        m_mode = mode;
        m_server.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_station = path(u"zor.ini"_s);
        if (!QDir().mkpath(sharedFolder()) || !QDir().mkpath(path(u"config"_s)))
            return false;
        if (mode == Server || directory) {
            m_server = std::make_unique<ZorsrvProcess>();
            if (!(mode == Server ? m_server->startOnStationPort() : m_server->start()))
                return false;
        }
        QByteArray agents;
        for (const int agent : directory.value_or(QList<int>()))
            agents += QByteArray::number(agent) + ",Agent " + QByteArray::number(agent) + ",G\n";
        if (!agents.isEmpty() && !ZorsrvProcess::importAgents(m_server->databasePath(), agents))
            return false;
        const quint16 directoryPort =
            directory ? m_server->directoryPort() : ZorsrvProcess::unusedPort();
        QByteArray station =
            "[VOICE_SERVER]\r\nRecv_timeout=" + QByteArray::number(recvTimeout) +
            "\r\nVS_addr=127.0.0.1\r\nVS_port=" + QByteArray::number(directoryPort) +
            "\r\n[CONFIG]\r\n";
        if (mode == Server)
            station += "Server_Tcp=1\r\nTCP_port=" + QByteArray::number(m_server->port()) + "\r\n";
        else
            station += "Server_Tcp=0\r\nPATH_config=srv\r\n";
        const QString model = QFileInfo(QStringLiteral(ZORADM_PATH)).dir().filePath(u"model.ini"_s);
        for (int agent = 1; mode == Shared && agentFiles && agent <= 32; ++agent)
            QFile::copy(model, QDir(sharedFolder()).filePath(agentNames({agent}).value(0)));
        return directoryPort != 0 && write(m_station, station);
    }

    // The program's own load of the station and supervisor settings, in this
    // process, on the same files.
    void loadAsProgram() const
    {
        ResetGlobals();
        UiRecorder::install();
        Folders::setProgramFolder(QFileInfo(QStringLiteral(ZORADM_PATH)).path());
        qputenv("ZOR_UNC_ROOT", path(u"unc"_s).toUtf8());
        StationIniPath = m_station;
        SettingsLoad::LoadSettings();
    }

    Run zoradm(QStringList arguments, const QString& password = u"super"_s, bool withStation = true)
    {
        if (withStation)
            arguments << u"--station"_s << m_station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
        env.insert(u"ZOR_UNC_ROOT"_s, path(u"unc"_s));
        env.remove(u"ZORADM_PASSWORD"_s);
        if (!password.isNull())
            env.insert(u"ZORADM_PASSWORD"_s, password);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ZORADM_PATH), arguments);
        process.closeWriteChannel();
        // In the event loop: a relay of the test may stand between zoradm and zorsrv.
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        Run run;
        if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit)
            run.code = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    // The server's audit rows, or the shared folder's files: each entry's key
    // changes when it is written, its value is the name writtenSince gives it
    // ("agent N" and "supervisor", or the file's name).
    using Snapshot = QMap<QString, QString>;
    Snapshot snapshot() const
    {
        Snapshot entries;
        if (m_mode == Server) {
            const ZorsrvProcess::Result audit =
                ZorsrvProcess::run({u"audit"_s, u"--db"_s, m_server->databasePath()});
            const QRegularExpression row(u"^#(\\d+) \\S+ \\S+ (agent \\d+|supervisor)"_s,
                                         QRegularExpression::MultilineOption);
            for (auto it = row.globalMatch(QString::fromUtf8(audit.out)); it.hasNext();) {
                const QRegularExpressionMatch match = it.next();
                entries.insert(match.captured(1).rightJustified(9, u'0'), match.captured(2));
            }
            return entries;
        }
        const QDir folder(sharedFolder());
        for (const QString& name : folder.entryList(QDir::Files)) {
            struct stat info = {};
            ::stat(QFile::encodeName(folder.filePath(name)).constData(), &info);
            const QByteArray bytes = read(folder.filePath(name)).toBase64();
            entries.insert(u"%1 %2.%3 %4 "_s.arg(name)
                                   .arg(info.st_mtim.tv_sec)
                                   .arg(info.st_mtim.tv_nsec)
                                   .arg(info.st_ino) +
                               QString::fromLatin1(bytes),
                           name);
        }
        return entries;
    }

    QStringList writtenSince(const Snapshot& before) const
    {
        QStringList written;
        const Snapshot now = snapshot();
        for (auto it = now.begin(); it != now.end(); ++it) {
            if (!before.contains(it.key()))
                written << it.value();
        }
        return written;
    }

    // The names writtenSince gives for these agents.
    QStringList agentNames(const QList<int>& agents) const
    {
        QStringList names;
        for (const int agent : agents)
            names << (m_mode == Server ? u"agent %1"_s.arg(agent)
                                       : u"agent%1.ini"_s.arg(agent, 3, 10, QLatin1Char('0')));
        return names;
    }

    static void addModes()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("server") << Server;
        QTest::newRow("shared folder") << Shared;
    }

    QByteArray exported()
    {
        const Run run = zoradm({"export", "--csv", "-"});
        return run.code == 0 ? run.out : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { DirectoryClient::install(); }

    // An export imported again changes nothing; two agents edited write two
    // records or files, and the next export gives the edited file back.
    void importRoundTrip_data() { addModes(); }
    void importRoundTrip()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        const QString file = path(u"rights.csv"_s);
        QCOMPARE(zoradm({"export", "--csv", file}).code, 0);
        const Snapshot before = snapshot();
        const Run unchanged = zoradm({"import", "--csv", file});
        QCOMPARE(unchanged.code, 0);
        QVERIFY(unchanged.out.contains("nothing to change"));
        QByteArray csv = read(file);
        QVERIFY(csv.contains(csvLine(3, {1, 1, 1, 1, 1, 1, 1})));
        csv.replace(csvLine(3, {1, 1, 1, 1, 1, 1, 1}), csvLine(3, {1, 1, 1, 1, 0, 1, 2}));
        csv.replace(csvLine(7, {1, 1, 1, 1, 1, 1, 1}), csvLine(7, {0, 1, 1, 1, 1, 1, 0}));
        QVERIFY(write(file, csv));
        const Run dry = zoradm({"import", "--csv", file, "--dry-run"});
        QCOMPARE(dry.code, 0);
        QVERIFY(dry.out.contains("agent 3: Droit_Stat 1 -> 0"));
        QCOMPARE(writtenSince(before), QStringList());
        const Run import = zoradm({"import", "--csv", file});
        QCOMPARE(import.code, 0);
        QVERIFY(import.out.contains("agent 7: Droit_Modif_Group 1 -> 0"));
        QVERIFY(import.out.contains("agent 7: Droit_Modif_Fiche 1 -> 0"));
        QCOMPARE(writtenSince(before), agentNames({3, 7}));
        const QString again = path(u"again.csv"_s);
        QCOMPARE(zoradm({"export", "--csv", again}).code, 0);
        QCOMPARE(read(again), csv);
    }

    // A bad CSV row (each kind once per store: the CSV reader's other
    // refusals are in tst_admincore), a wrong password and no password: the
    // reason on standard error, nothing on standard output, nothing written.
    void refusalsWriteNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("row");   // empty: every command, with the password
        QTest::addColumn<QString>("password"); // null: none given
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        for (const QString& mode : {Server, Shared}) {
            const char* m = mode == Server ? "server" : "shared folder";
            auto row = [&](const char* name, const QByteArray& bad, const QString& password,
                           int code, const QString& reason) {
                QTest::addRow("%s: %s", m, name) << mode << bad << password << code << reason;
            };
            row("unknown agent", "33,,1,1,1,1,1,1,1\r\n", u"super"_s, 4,
                u"line 3, column 1: unknown agent"_s);
            row("out of range", "5,,1,1,1,1,2,1,1\r\n", u"super"_s, 4,
                u"line 3, column 12: Droit_Stat"_s);
            row("open quote", "5,\"x,1,1,1,1,1,1,1\r\n", u"super"_s, 4,
                u"line 3, column 3: a quoted field"_s);
            row("wrong password", {}, u"other"_s, 3, u"wrong"_s);
            row("no password", {}, QString(), 3, u"no supervisor password"_s);
        }
    }
    void refusalsWriteNothing()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, row);
        QFETCH(QString, password);
        QFETCH(int, code);
        QFETCH(QString, reason);
        QVERIFY(prepare(mode));
        // A good change before the bad row, so that a partial import would show.
        const QString file = path(u"bad.csv"_s);
        QVERIFY(write(file, "Agent,Name,Droit_Modif_Group,Droit_Preference,"
                            "Droit_Modif_MotDePasse,Droit_Qualif,Droit_Stat,Droit_ListeAppel,"
                            "Droit_Modif_Fiche\r\n1,,0,0,0,0,0,0,0\r\n" +
                                row));
        QList<QStringList> commands{{"import", "--csv", file}};
        if (row.isEmpty())
            commands << QStringList{"revoke", "Droit_Stat", "--agents", "1-32"}
                     << QStringList{"set", "TauxActiviteT1=10"} << QStringList{"show"};
        const Snapshot before = snapshot();
        for (const QStringList& command : commands) {
            const Run run = zoradm(command, password);
            QCOMPARE(run.code, code);
            QVERIFY2(run.err.contains(reason.toUtf8()), run.err.constData());
            QCOMPARE(run.out, QByteArray());
        }
        QCOMPARE(writtenSince(before), QStringList());
    }

    // The file wins over a wrong password in the environment; a file others
    // may read is refused, saying how to make it private.
    void passwordFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("permissions");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("tooOpen");
        const QByteArray super = "super\n";
        QTest::newRow("the password, lower case") << super << 0600 << 0 << false;
        QTest::newRow("surrounding spaces, CRLF")
            << QByteArray("  SUPER \r\nnext") << 0400 << 0 << false;
        QTest::newRow("wrong") << QByteArray("SUPERB\n") << 0600 << 3 << false;
        QTest::newRow("readable by the group") << super << 0640 << 3 << true;
        QTest::newRow("readable by others") << super << 0604 << 3 << true;
    }
    void passwordFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, permissions);
        QFETCH(bool, tooOpen);
        QVERIFY(prepare(Shared));
        const QString file = path(u"password"_s);
        QVERIFY(write(file, content));
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(permissions)), 0);
        const Run run = zoradm({"show", "--password-file", file}, u"wrong"_s);
        QTEST(run.code, "code");
        QCOMPARE(run.err.contains("chmod 600 " + file.toUtf8()), tooOpen);
    }

    // The agents are the directory's when it answers, else 1 to 32.
    void showJsonAgreesWithFetch_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QStringList>("numbers");
        QStringList fixed;
        for (int agent = 1; agent <= 32; ++agent)
            fixed << QString::number(agent);
        const QStringList listed = {"2", "4", "5", "33", "40"};
        for (const QString& mode : {Server, Shared}) {
            const char* m = mode == Server ? "server" : "shared folder";
            QTest::addRow("%s, the directory's agents", m) << mode << true << listed;
            QTest::addRow("%s, nobody at VS_port", m) << mode << false << fixed;
        }
    }
    void showJsonAgreesWithFetch()
    {
        QFETCH(QString, mode);
        QFETCH(bool, reachable);
        QFETCH(QStringList, numbers);
        QVERIFY(prepare(mode, 10,
                        reachable ? std::optional<QList<int>>({40, 4, 2, 5, 33}) : std::nullopt));
        QCOMPARE(zoradm({"set", "TauxActiviteT1=25", "CouleurTxBas=#102030", "ModeLie=2"}).code, 0);
        QCOMPARE(zoradm({"revoke", "Droit_Qualif", "--agents", "2,4-5"}).code, 0);
        const Run show = zoradm({"show", "--json"});
        QCOMPARE(show.code, 0);
        const QJsonObject json = QJsonDocument::fromJson(show.out).object();

        // The program's own load and agents list, in this process.
        loadAsProgram();
        std::optional<AgentDirectory::Connection> directory;
        const AgentsListLoad::Result loaded = AgentsListLoad::Load(directory);
        const AgentsList::Rows& rows = loaded.rows;
        // Without the directory, the one message saying so.
        QCOMPARE(UiRecorder::count(UiRecorder::Kind::MessageBox), reachable ? 0 : 1);

        QCOMPARE(json.value(u"mode").toString(), mode);
        QCOMPARE(Parametres.TauxActiviteT1, 25);
        const QJsonObject settings = json.value(u"settings").toObject();
        for (const QString& key : SupervisorRules::Keys()) {
            if (!key.startsWith(u"Couleur"))
                QCOMPARE(settings.value(key).toVariant().toString(),
                         SupervisorRules::Value(Parametres, key));
        }
        const QJsonObject colours = json.value(u"colours").toObject();
        for (const ColourDef& colour : ColourTable)
            QCOMPARE(
                colours.value(QLatin1StringView(colour.key)).toObject().value(u"value").toInt(),
                Parametres.*colour.field);
        QCOMPARE(colours.value(u"CouleurTxBas").toObject().value(u"rgb").toString(), u"#102030"_s);
        const QJsonArray agents = json.value(u"agents").toArray();
        QStringList shownNumbers, shownNames, names;
        for (const QJsonValue agent : agents) {
            shownNumbers << agent.toObject().value(u"agent").toString();
            shownNames << agent.toObject().value(u"name").toString();
        }
        for (const QString& number : numbers)
            names << (reachable ? u"Agent "_s + number : QString());
        QCOMPARE(shownNumbers, numbers);
        QCOMPARE(shownNames, names);
        QCOMPARE(agents.size(), qsizetype(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const QJsonObject agent = agents.at(qsizetype(i)).toObject();
            QCOMPARE(agent.value(u"agent").toString(), rows[i].cells[AgentsList::ColNumber]);
            QCOMPARE(agent.value(u"name").toString(), rows[i].cells[AgentsList::ColName]);
            const QJsonObject rights = agent.value(u"rights").toObject();
            for (const char* key : RightsCells::Keys)
                QCOMPARE(rights.value(QLatin1StringView(key)).toInt(),
                         RightsCells::Level(rows[i], key));
        }
        QCOMPARE(RightsCells::Level(rows[std::size_t(numbers.indexOf(u"4"_s))], "Droit_Qualif"), 0);
    }

    // Nobody at VS_port, or a fresh server whose directory has no agents
    // yet: the program's message as a warning, the agents 1 to 32, the
    // change written.
    void directoryUnusable_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("message");
        QTest::addColumn<QString>("detail");
        const QString refused = u" [zor_ini %1 "_s.arg(DirectoryClient::ConnectionRefused);
        const QString empty = u" [zor_ini %1 "_s.arg(DirectoryClient::RefusedByDirectory);
        for (const QString& mode : {Server, Shared}) {
            const char* m = mode == Server ? "server" : "shared folder";
            QTest::addRow("%s, nobody at VS_port", m) << mode << false << 0 << 256 << refused;
            QTest::addRow("%s, no agents yet", m) << mode << true << 0 << 256 << empty;
        }
    }
    void directoryUnusable()
    {
        QFETCH(QString, mode);
        QFETCH(bool, reachable);
        QFETCH(int, code);
        QFETCH(int, message);
        QFETCH(QString, detail);
        QVERIFY(
            prepare(mode, 10, reachable ? std::optional<QList<int>>(QList<int>()) : std::nullopt));
        loadAsProgram(); // the texts; in a shared folder, the agent files laid out
        const QByteArray expected = (SettingsMessages::text(message) + detail).toUtf8();
        const Snapshot before = snapshot();
        const Run run = zoradm({"revoke", "Droit_Stat", "--agents", "1"});
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(expected), run.err.constData());
        QCOMPARE(run.out.contains("agent 1: Droit_Stat 1 -> 0"), code == 0);
        QCOMPARE(writtenSince(before), code == 0 ? agentNames({1}) : QStringList());
    }

    // The range rules themselves are in tst_admincore; here, what a set
    // writes and says on either store.
    void setRules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        auto row = [](const char* name, const QString& mode, const QStringList& pairs, int code,
                      const QByteArray& message) {
            QTest::newRow(name) << mode << pairs << code << message;
        };
        row("journal 40", Server, {"NbJourStockJournal=40"}, 0, "0 -> 40");
        row("T1 below T2 together", Server, {"TauxActiviteT2=99", "TauxActiviteT1=98"}, 0,
            "70 -> 99");
        row("unknown key", Server, {"Couleur=1"}, 4, "not KEY=VALUE");
        row("language without a file", Server, {"langue=9"}, 4, "not in the program folder");
        row("shared folder: colour", Shared, {"CouleurGrS2=#00ff00"}, 0,
            "#FF0000 (255) -> #00FF00 (65280)");
        row("shared folder: T1 not below T2", Shared, {"TauxActiviteT2=30"}, 4, "T1");
    }
    void setRules()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, pairs);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        QVERIFY(prepare(mode));
        const Snapshot before = snapshot();
        const Run run = zoradm(QStringList{u"set"_s} + pairs);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(message), (run.out + run.err).constData());
        const QString supervisor = mode == Server ? u"supervisor"_s : u"supervis.ini"_s;
        QCOMPARE(writtenSince(before), code == 0 ? QStringList{supervisor} : QStringList());
    }

    void grantRevokeClear_data() { addModes(); }
    void grantRevokeClear()
    {
        QFETCH(QString, mode);
        QVERIFY(prepare(mode));
        Snapshot before = snapshot();
        QCOMPARE(zoradm({"revoke", "Droit_Modif_Fiche", "--agents", "2-3,30"}).code, 0);
        QCOMPARE(writtenSince(before), agentNames({2, 3, 30}));
        before = snapshot();
        // Agent 2 already has none: granted for all fields, 3 and 30 change.
        QCOMPARE(zoradm({"grant", "Droit_Modif_Fiche", "--agents", "3,30"}).code, 0);
        QCOMPARE(writtenSince(before), agentNames({3, 30}));
        const QByteArray csv = exported();
        QVERIFY(csv.contains(csvLine(2, {1, 1, 1, 1, 1, 1, 0})));
        QVERIFY(csv.contains(csvLine(3, {1, 1, 1, 1, 1, 1, 2})));
        before = snapshot();
        const Run clear = zoradm({"clear-password", "--agents", "4"});
        QCOMPARE(clear.code, 0);
        QVERIFY(clear.out.contains("agent 4: password to clear"));
        QCOMPARE(writtenSince(before), agentNames({4}));
        QCOMPARE(exported(), csv);
        before = snapshot();
        QCOMPARE(zoradm({"grant", "Droit_Stat", "--agents", "33"}).code, 4);
        QCOMPARE(writtenSince(before), QStringList());
    }

    // A store that fails part of the way says, agent by agent, what was
    // stored and what was not, and so does the exit status. In the shared
    // folder a file that cannot be written stops the store before any write.
    void partialStores_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("server, link cut at the third write")
            << Server << 8 << QList<int>{3, 7}
            << QByteArrayList{"agent 3: stored\n", "agent 7: stored\n",
                              "agent 12: not confirmed (the link failed during its write",
                              "agent 20: not stored\n", "2 agent(s) written, 2 not written\n"};
        QTest::newRow("shared folder, the third file read-only")
            << Shared << 5 << QList<int>{}
            << QByteArrayList{"zoradm: agent 12: cannot write ", "agent012.ini: Permission denied",
                              "zoradm: nothing written\n"};
    }
    void partialStores()
    {
        QFETCH(QString, mode);
        QFETCH(QList<int>, written);
        QFETCH(QByteArrayList, lines);
        QVERIFY(prepare(mode));
        CuttingRelay relay;
        if (mode == Server) {
            QVERIFY(relay.listen(m_server->port(), 3));
            QByteArray station = read(m_station);
            station.replace("TCP_port=" + QByteArray::number(m_server->port()),
                            "TCP_port=" + QByteArray::number(relay.server.serverPort()));
            QVERIFY(write(m_station, station));
        } else {
            const QString third = QDir(sharedFolder()).filePath(u"agent012.ini"_s);
            QCOMPARE(::chmod(QFile::encodeName(third).constData(), 0444), 0);
        }
        const QString file = path(u"four.csv"_s);
        QByteArray csv = "Agent,Droit_Modif_Group,Droit_Preference,Droit_Modif_MotDePasse,"
                         "Droit_Qualif,Droit_Stat,Droit_ListeAppel,Droit_Modif_Fiche\r\n";
        for (const char* agent : {"3", "7", "12", "20"})
            csv += agent + QByteArray(",1,1,1,1,0,1,1\r\n");
        QVERIFY(write(file, csv));
        const Snapshot before = snapshot();
        const Run run = zoradm({"import", "--csv", file});
        QTEST(run.code, "code");
        for (const QByteArray& line : lines)
            QVERIFY2((run.out + run.err).contains(line), (run.out + run.err).constData());
        QCOMPARE(writtenSince(before), agentNames(written));
    }

    // A dry run, or a command that only reads, writes nothing on either store,
    // even where the shared folder lacks agent files.
    void readingWritesNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("command");
        for (const QString& mode : {Server, Shared}) {
            const char* m = mode == Server ? "server" : "shared folder";
            QTest::addRow("%s: grant --dry-run", m)
                << mode << QStringList{"grant", "Droit_Stat", "--agents", "1-32", "--dry-run"};
            QTest::addRow("%s: set --dry-run", m)
                << mode << QStringList{"set", "TauxActiviteT1=10", "--dry-run"};
            QTest::addRow("%s: show", m) << mode << QStringList{"show"};
            QTest::addRow("%s: export", m) << mode << QStringList{"export", "--csv", "-"};
        }
    }
    void readingWritesNothing()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, command);
        QVERIFY(prepare(mode, 10, std::nullopt, false));
        const Snapshot before = snapshot();
        const Run run = zoradm(command);
        QCOMPARE(run.code, 0);
        QCOMPARE(writtenSince(before), QStringList());
    }

    // A directory too large for one read of the socket answers whole, long
    // before the reply time-out; the list shows its first 32 agents.
    void largeDirectory_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("2000 agents") << 2000;
        QTest::newRow("9999 agents") << 9999;
    }
    void largeDirectory()
    {
        QFETCH(int, count);
        const auto name = [](int agent) { // 64 bytes, the longest a name may be
            return ("Agent " + QByteArray::number(agent)).leftJustified(64, 'x');
        };
        QByteArray csv;
        for (int agent = 1; agent <= count; ++agent)
            csv += QByteArray::number(agent) + ',' + name(agent) + '\n';
        QVERIFY(prepare(Shared, 1));
        ZorsrvProcess directory;
        QVERIFY(directory.start() && ZorsrvProcess::importAgents(directory.databasePath(), csv));
        QString station = QString::fromLatin1(read(m_station));
        station.replace(QRegularExpression(u"VS_port=\\d+"_s),
                        u"VS_port=%1"_s.arg(directory.directoryPort()));
        QVERIFY(write(m_station, station.toLatin1()));
        const Run run = zoradm({"show", "--json"});
        QVERIFY2(run.code == 0 && run.err.isEmpty(), run.err.constData());
        const QJsonArray shown =
            QJsonDocument::fromJson(run.out).object().value(u"agents").toArray();
        QCOMPARE(shown.last().toObject().value(u"name").toString().toUtf8(), name(32));
    }

    // Two writes of zoradm in its history, newest first, field by field; then
    // the filters and the text.
    void history()
    {
        QVERIFY(prepare(Server, 10, QList<int>{3, 7}));
        QCOMPARE(zoradm({"revoke", "Droit_Stat", "--agents", "3"}).code, 0);
        QCOMPARE(zoradm({"set", "CouleurTxBas=#102030"}).code, 0);
        const Run run = zoradm({"history", "--json"});
        QCOMPARE(run.code, 0);
        const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
        QCOMPARE(rows.size(), 2);
        const auto change = [](const QJsonValue& row, const char* field) {
            for (const QJsonValue& c : row[u"changes"].toArray())
                if (c[u"field"] == QLatin1StringView(field))
                    return c.toObject();
            return QJsonObject();
        };
        for (const QJsonValue& row : rows) {
            QVERIFY(row[u"id"].toInteger() > 0);
            const QDateTime time =
                QDateTime::fromString(row[u"time"].toString(), Qt::ISODateWithMs);
            QCOMPARE(time.timeSpec(), Qt::UTC);
            QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 300);
            QVERIFY(row[u"peer"].toString().startsWith(u"127.0.0.1:"));
            QCOMPARE(row[u"client"].toString(), u"zoradm"_s);
            QCOMPARE(row[u"login"].toString(), Passerelle::LoginName());
            QCOMPARE(row[u"firstWrite"].toBool(), true);
        }
        QCOMPARE(rows[0][u"record"].toInt(), -1);
        QVERIFY(rows[0][u"agent"].isNull());
        QCOMPARE(change(rows[0], "CouleurTxBas"),
                 QJsonObject({{"field", "CouleurTxBas"}, {"old", -1}, {"new", 0x302010}}));
        QCOMPARE(change(rows[0], "mot_de_passe"),
                 QJsonObject({{"field", "mot_de_passe"}, {"old", ""}, {"new", "(hidden)"}}));
        QCOMPARE(rows[1][u"record"].toInt(), 2);
        QCOMPARE(rows[1][u"agent"].toInt(), 3);
        QCOMPARE(rows[1][u"changes"].toArray().size(), 7); // every right, from "not set"
        QCOMPARE(change(rows[1], "Droit_Stat"),
                 QJsonObject({{"field", "Droit_Stat"}, {"old", -1}, {"new", 0}}));
        const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        for (const auto& [filter, count] : {std::pair{QStringList{"--agent", "3"}, 1},
                                            {QStringList{"--agent", "7"}, 0},
                                            {QStringList{"--since", tomorrow}, 0},
                                            {QStringList{"--until", tomorrow}, 2}})
            QCOMPARE(QJsonDocument::fromJson(zoradm(QStringList{"history", "--json"} + filter).out)
                         .array()
                         .size(),
                     count);
        const QByteArray text = zoradm({"history", "--agent", "3"}).out;
        QVERIFY2(text.contains(" agent 3, first write [zoradm " + Passerelle::LoginName().toUtf8() +
                               "]\n  Droit_Modif_Group: not set -> granted\n"),
                 text.constData());
    }

    void gatewayFailure()
    {
        QVERIFY(prepare(Server, 1));
        m_server->kill(); // nobody listens any more
        const Run run = zoradm({"show"});
        QCOMPARE(run.code, 6);
        QVERIFY2(run.err.contains(" (Local Time-out)"), run.err.constData());
        const QString place = u"(Server:127.0.0.1  Socket:%1)"_s.arg(m_server->port());
        QVERIFY2(run.err.contains(place.toUtf8()), run.err.constData());
    }

    // A failure the program reports in a message box while loading: the same
    // text on standard error, and nothing read or written after it.
    void settingsFailure()
    {
        QVERIFY(prepare(Shared));
        QVERIFY(write(QDir(sharedFolder()).filePath(u"supervis.ini"_s),
                      "[CONFIG]\r\nEtatinterdit=\r\n"));
        const Run run = zoradm({"show"});
        QCOMPARE(run.code, 5);
        QVERIFY2(run.err.contains(" [GetIniCouleurs "), run.err.constData());
        QCOMPARE(run.out, QByteArray());
    }

    // Without --station: the per-user file the program itself resolves.
    void defaultStation()
    {
        QVERIFY(prepare(Shared));
        const QString userFile = path(u"config/Q.R.S/ZorCFG/zor.ini"_s);
        QVERIFY(QDir().mkpath(QFileInfo(userFile).path()));
        QVERIFY(QFile::copy(m_station, userFile));
        const Run run = zoradm({"show", "--json"}, u"super"_s, false);
        QCOMPARE(run.code, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(json.value(u"stationFile").toString(), userFile);
        QCOMPARE(json.value(u"source").toString(), u"\\\\srv\\ZOR"_s);
        QCOMPARE(json.value(u"localFolder").toString(), sharedFolder());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("output");
        for (const char* command :
             {"show", "export", "import", "set", "grant", "revoke", "clear-password", "history"})
            QTest::addRow("%s --help", command) << QStringList{command, "--help"} << 0
                                                << "Usage: zoradm " + QByteArray(command) + ' ';
        auto row = [](const char* name, const QStringList& arguments, int code,
                      const QByteArray& output) {
            QTest::newRow(name) << arguments << code << output;
        };
        row("--help", {"--help"}, 0, "Exit status:");
        row("--help: the directory's status", {"--help"}, 0, "7 the agent directory\n");
        row("nothing", {}, 2, "missing command");
        row("unknown command", {"list"}, 2, "unknown command 'list'");
        row("password option", {"show", "--password", "x"}, 2, "unrecognized option '--password'");
        row("export without --csv", {"export"}, 2, "needs --csv FILE");
        row("unknown right", {"grant", "Droit_X", "--agents", "1"}, 4, "'Droit_X' is not a right");
        row("bad agent list", {"grant", "Droit_Stat", "--agents", "3-1"}, 4, "'3-1'");
        row("missing CSV file", {"import", "--csv", "/nonexistent/a.csv"}, 1,
            "cannot read /nonexistent/a.csv");
        row("show as text", {"show"}, 0, "mode                   shared-folder");
        row("missing station", {"show", "--station", "/nonexistent/zor.ini"}, 1,
            "cannot read the station file");
        row("history of the shared folder", {"history"}, 9, "the shared folder keeps no history");
        row("history, bad date", {"history", "--until", "soon"}, 4, "'soon' is not a date");
        row("history, bad agent", {"history", "--agent", "0"}, 4, "'0' is not an agent number");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QByteArray, output);
        QVERIFY(prepare(Shared));
        const bool station = !arguments.contains(u"--station"_s);
        const Run run = zoradm(arguments, u"super"_s, station);
        QCOMPARE(run.code, code);
        QVERIFY2((code == 0 ? run.out : run.err).contains(output), (run.out + run.err).constData());
    }
};

QTEST_GUILESS_MAIN(TestZoradm)
#include "tst_zoradm.moc"
