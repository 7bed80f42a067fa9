// The settings files on the way out: stores that fail say so, readers never
// see half a store, the per-user folder is made whole, and a TCP_port beyond
// 16 bits is reported.

#include "AgentRights.h"
#include "Folders.h"
#include "IniFile.h"
#include "Languages.h"
#include "PasswordScrambler.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "SupervisorSettings.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>
#include <vector>

using namespace AgentsList;
using namespace Qt::StringLiterals;
using UiRecorder::Kind;

namespace {

QByteArray utf16(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row of agent `number` with all its rights granted or refused, marked with
// the change code.
Row agentRow(int number, bool granted, const QString& change)
{
    Row row = makeRow(QString::number(number), u"Agent"_s);
    for (int column = ColChangeGroup; column <= ColRecordsComment; ++column)
        row.cells[column] = granted ? u"X"_s : QString();
    row.cells[ColChangeState] = change;
    return row;
}

// Parametres as a store of supervis.ini reads them, in two versions.
void setSupervisorSettings(int version)
{
    Parametres.NouveauMotDePasse = version ? u"NEUF"_s : u"ANCIEN"_s;
    Parametres.NbJourStockJournal = 10 + version;
    Parametres.TauxActiviteT1 = 30 + version;
    Parametres.TauxActiviteT2 = 70 + version;
    Parametres.Langue = version;
    Parametres.ModeLie = version;
    Parametres.ModeLieApp = version ? u"cscript lien.vbs"_s : u"Wscript.exe Post_it.vbs"_s;
    Parametres.Etatinterdit = version;
    Parametres.CmtAuto = version;
    for (const ColourDef& colour : ColourTable)
        Parametres.*colour.field = version ? -colour.defaultValue : colour.defaultValue;
}

// The writes of a store of supervis.ini, key by key in the order of the
// file's keys, langue after the thresholds; numbers with a space before them.
std::vector<IniFile::KeyWrite> supervisorKeysOneByOne()
{
    auto number = [](qint32 value) {
        return value < 0 ? QByteArray::number(value) : ' ' + QByteArray::number(value);
    };
    const SettingsRecord& p = Parametres;
    std::vector<IniFile::KeyWrite> keys{
        {"CONFIG", "mot_de_passe", PasswordScrambler::Crypter(p.NouveauMotDePasse.toLatin1())},
        {"CONFIG", "NbJourStockJournal", number(p.NbJourStockJournal)},
        {"CONFIG", "TauxActiviteT1", number(p.TauxActiviteT1)},
        {"CONFIG", "TauxActiviteT2", number(p.TauxActiviteT2)},
        {"CONFIG", "langue", number(p.Langue)},
        {"CONFIG", "ModeLie", number(p.ModeLie)},
        {"CONFIG", "ModeLieApp", p.ModeLieApp.toLatin1()},
        {"CONFIG", "Etatinterdit", number(p.Etatinterdit)},
        {"CONFIG", "CmtAuto", number(p.CmtAuto)}};
    for (const ColourDef& colour : ColourTable)
        keys.push_back({"FRAME", colour.key, number(p.*colour.field)});
    return keys;
}

// Reads the files in a loop on a thread of its own until stopped, and counts
// the reads that found neither the old nor the new bytes.
class Reader
{
public:
    Reader(QStringList files, QList<QByteArrayList> versions)
        : m_files(std::move(files)), m_versions(std::move(versions)), m_thread([this] { run(); })
    {}
    ~Reader() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int reads() const { return m_reads; }
    int mixes() const { return m_mixes; }

private:
    void run()
    {
        while (!m_stop) {
            for (qsizetype i = 0; i < m_files.size(); ++i) {
                ++m_reads;
                if (!m_versions[i].contains(bytesOf(m_files[i])))
                    ++m_mixes;
            }
        }
    }
    const QStringList m_files;
    const QList<QByteArrayList> m_versions; // per file, every complete version
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_reads = 0;
    std::atomic<int> m_mixes = 0;
    std::thread m_thread;
};

} // namespace

class TestSettingsWrites : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_home;
    QByteArray m_configHome;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    QString shared(const QString& name) const { return path(u"unc/SRV/ZOR/"_s + name); }
    QString supervis() const { return shared(u"supervis.ini"_s); }

    // The only message box shown, as text, title and icon.
    static QString onlyMessage()
    {
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        return boxes.size() == 1 ? boxes[0].text : u"%1 boxes"_s.arg(boxes.size());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_home = qgetenv("HOME");
        m_configHome = qgetenv("XDG_CONFIG_HOME");
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* sub : {"program", "unc/SRV/ZOR"})
            QVERIFY(QDir(m_dir->path()).mkpath(QLatin1StringView(sub)));
        Folders::setProgramFolder(path(u"program"_s));
        qputenv("ZOR_UNC_ROOT", path(u"unc"_s).toUtf8());
        ResetGlobals();
        UiRecorder::install();
        // Each message shows as "M" and its number.
        QString texts = u"ZOR\r\n[LANGID]\r\n1=1036\r\n[ZORCFG]\r\n"_s;
        for (int n : {119, 121, 224, 1320})
            texts += u"%1=M%1\r\n"_s.arg(n);
        put(path(u"program/Zor_Lg00.txt"_s), utf16(texts));
        Languages::LoadLanguageFile();
        Parametres.ConfigPath = u"\\\\SRV\\ZOR"_s;
        Parametres.ConfigDir = u"\\\\SRV\\ZOR\\"_s;
        StationIniPath = path(u"zor.ini"_s);
    }

    void cleanup()
    {
        qputenv("HOME", m_home);
        if (m_configHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_configHome);
    }

    // The per-user folder is created with every missing level above it, so
    // that the station file lives there and not in the program folder.
    void appDataCreatedWhole_data()
    {
        QTest::addColumn<QString>("configHome"); // empty: unset
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("folder"); // expected, relative; empty: the program folder
        QTest::newRow("XDG_CONFIG_HOME missing with its parents")
            << u"a/b/config"_s << u"home"_s << u"a/b/config/"_s;
        QTest::newRow("no ~/.config") << QString() << u"home"_s << u"home/.config/"_s;
        QTest::newRow("no home folder") << QString() << u"new/home"_s << u"new/home/.config/"_s;
        QTest::newRow("a file in the way") << u"file/config"_s << u"home"_s << QString();
    }

    void appDataCreatedWhole()
    {
        QFETCH(QString, configHome);
        QFETCH(QString, home);
        QFETCH(QString, folder);
        QVERIFY(QDir().mkpath(path(u"home"_s)));
        put(path(u"file"_s), "x");
        put(path(u"program/zor.ini"_s), "[VOICE_SERVER]\r\nVS_addr=SRV\r\n");
        if (configHome.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(configHome)));
        qputenv("HOME", QFile::encodeName(path(home)));
        const QString appData = SettingsFolders::GetAppDataFolder();
        const QString source = path(u"program/"_s);
        const QString station = SettingsFolders::ResolveIniFile(u"zor.ini"_s, u"ZorCFG"_s, source,
                                                                appData + u"Q.R.S/"_s, true);
        const QString expected =
            folder.isEmpty() ? source + u"zor.ini"_s : path(folder) + u"Q.R.S/ZorCFG/zor.ini"_s;
        QCOMPARE(station, expected);
        QCOMPARE(bytesOf(station), "[VOICE_SERVER]\r\nVS_addr=SRV\r\n");
    }

    // Situations that refuse a write to every user, root included.
    void supervisorStoreFails_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("file"); // the local file the message names
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder")
            << u"\\\\SRV\\NONE"_s << u"unc/SRV/NONE/supervis.ini"_s << 76 << ENOENT;
        QTest::newRow("folder is a file")
            << u"\\\\SRV\\PLAIN"_s << u"unc/SRV/PLAIN/supervis.ini"_s << 76 << ENOTDIR;
        QTest::newRow("file is a folder")
            << u"folder"_s << u"unc/SRV/ZOR/supervis.ini"_s << 75 << EISDIR;
        QTest::newRow("read-only file")
            << u"read-only"_s << u"unc/SRV/ZOR/supervis.ini"_s << 70 << EACCES;
    }

    void supervisorStoreFails()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, file);
        QFETCH(int, number);
        QFETCH(int, error);
        put(path(u"unc/SRV/PLAIN"_s), "x");
        const QByteArray old = "[CONFIG]\r\nlangue= 1\r\n";
        if (setUp == u"folder") {
            QVERIFY(QDir().mkdir(supervis()));
        } else if (setUp == u"read-only") {
            put(supervis(), old);
            QVERIFY(QFile::setPermissions(supervis(), QFileDevice::ReadOwner));
        } else {
            Parametres.ConfigPath = setUp;
        }
        SupervisorSettings::SetIniCouleurs();
        const QString description =
            QDir::toNativeSeparators(path(file)) + u": "_s + qt_error_string(error);
        QCOMPARE(onlyMessage(), u"M119 [SetIniCouleurs %1 %2]"_s.arg(number).arg(description));
        const UiRecorder::Call box = UiRecorder::callsOf(Kind::MessageBox).value(0);
        QCOMPARE(box.title, u"M224"_s);
        QCOMPARE(box.icon, UiServices::Icon::Exclamation);
        if (setUp == u"read-only")
            QCOMPARE(bytesOf(supervis()), old);
    }

    // Rows 5, 6 and 7 in that order; the file of one of them is a folder. The
    // rows before it are written, the loop stops there, and the result is
    // true only when rights were written before it.
    void rightsStoreFails_data()
    {
        QTest::addColumn<int>("failing");
        QTest::addColumn<QString>("firstChange"); // the change code of row 5
        QTest::addColumn<bool>("result");
        QTest::newRow("first row fails") << 5 << u"1"_s << false;
        QTest::newRow("second row fails after rights") << 6 << u"1"_s << true;
        QTest::newRow("second row fails after a password") << 6 << u"2"_s << false;
        QTest::newRow("last row fails") << 7 << u"3"_s << true;
    }

    void rightsStoreFails()
    {
        QFETCH(int, failing);
        QFETCH(QString, firstChange);
        const QString failingFile = shared(AgentRights::AgentFileName(failing));
        QVERIFY(QDir().mkdir(failingFile));
        Rows rows{agentRow(5, false, firstChange), agentRow(6, false, u"1"_s),
                  agentRow(7, false, u"3"_s)};
        QTEST(AgentRights::SetAgentxx_Ini(rows), "result");
        const QString description =
            QDir::toNativeSeparators(failingFile) + u": "_s + qt_error_string(EISDIR);
        QCOMPARE(onlyMessage(), u"M119 [SetAgentxx_Ini 75 %1]"_s.arg(description));
        for (int agent = 5; agent <= 7; ++agent) {
            if (agent != failing)
                QCOMPARE(QFile::exists(shared(AgentRights::AgentFileName(agent))), agent < failing);
        }
    }

    // The station file cannot be written: nothing is said.
    void serverAddressSilent()
    {
        QVERIFY(QDir().mkdir(StationIniPath));
        Parametres.VS_addr = u"SRV2"_s;
        StationSettings::SaveServerAddress();
        QCOMPARE(UiRecorder::calls().size(), 0);
    }

    // TCP_port is converted to 16 bits; a value outside them leaves TcpPort 0
    // (the shared folder) and says so.
    void serverPortRange_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<int>("tcpPort");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("largest") << QByteArray("32767") << 32767 << QString();
        QTest::newRow("smallest") << QByteArray("-32768") << -32768 << QString();
        QTest::newRow("one above") << QByteArray("32768") << 0 << u"M1320"_s;
        QTest::newRow("one below") << QByteArray("-32769") << 0 << u"M1320"_s;
        QTest::newRow("hexadecimal above") << QByteArray("&H10000") << 0 << u"M1320"_s;
    }

    void serverPortRange()
    {
        QFETCH(QByteArray, port);
        QFETCH(QString, message);
        put(StationIniPath,
            "[VOICE_SERVER]\r\nVS_addr=SRV\r\n[CONFIG]\r\nTCP_port=" + port + "\r\n");
        QVERIFY(!UiRecorder::endsProgram([] { StationSettings::LoadStationSettings(); }));
        QTEST(int(Parametres.TcpPort), "tcpPort");
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), message.isEmpty() ? 0 : 1);
        if (message.isEmpty())
            return;
        QCOMPARE(boxes[0].text, message);
        QCOMPARE(boxes[0].title, u"M121"_s);
        QCOMPARE(boxes[0].icon, UiServices::Icon::Exclamation);
    }

    // A store of supervis.ini leaves the bytes that writing its keys one by
    // one leaves, whatever the file looked like.
    void supervisorStoreBytes_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("every key, other spellings")
            << QByteArray("[config]\r\nMOT_DE_PASSE=x\r\n tauxactivitet1 = 12 \r\nLangue=3\r\n"
                          "[Frame]\r\ncouleurgrfile= 1\r\n");
        QTest::newRow("no FRAME, no final line break")
            << QByteArray("; shared\r\n[CONFIG]\r\nother=keep");
        QTest::newRow("comments and copies")
            << QByteArray("[FRAME]\r\n;CouleurTxBas=1\r\n\r\n[CONFIG]\r\nword\r\n[FRAME]\r\n"
                          "CouleurTxBas=2\r\n");
        QTest::newRow("LF only") << QByteArray("[CONFIG]\nlangue=2\n[FRAME]\n");
        QTest::newRow("UTF-16LE") << utf16(u"[CONFIG]\r\n; Café\r\nlangue=2\r\n[FRAME]"_s);
    }

    void supervisorStoreBytes()
    {
        QFETCH(QByteArray, before);
        const QString oneByOne = shared(u"expected.ini"_s);
        if (!before.isNull()) {
            put(supervis(), before);
            put(oneByOne, before);
        }
        setSupervisorSettings(1);
        for (const IniFile::KeyWrite& w : supervisorKeysOneByOne())
            QVERIFY(IniFile::WritePrivateProfileString(w.section, w.key, w.value, oneByOne));
        SupervisorSettings::SetIniCouleurs();
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
        QCOMPARE(bytesOf(supervis()), bytesOf(oneByOne));
    }

    // A row with rights and password leaves what its keys written one by one
    // leave.
    void rightsStoreBytes()
    {
        const QByteArray before =
            utf16(u"[CONFIG]\r\nmot_de_passe=abc\r\n[SUPER]\r\nDroit_Stat=1"_s);
        const QString oneByOne = shared(u"expected.ini"_s);
        put(shared(u"agent005.ini"_s), before);
        put(oneByOne, before);
        const std::vector<IniFile::KeyWrite> keys{{"SUPER", "Droit_Modif_Group", "1"},
                                                  {"SUPER", "Droit_Preference", "1"},
                                                  {"SUPER", "Droit_Modif_MotDePasse", "1"},
                                                  {"SUPER", "Droit_Qualif", "1"},
                                                  {"SUPER", "Droit_Stat", "1"},
                                                  {"SUPER", "Droit_ListeAppel", "1"},
                                                  {"SUPER", "Droit_Modif_Fiche", "2"},
                                                  {"CONFIG", "mot_de_passe", ""}};
        for (const IniFile::KeyWrite& w : keys)
            QVERIFY(IniFile::WritePrivateProfileString(w.section, w.key, w.value, oneByOne));
        Rows rows{agentRow(5, true, u"3"_s)};
        QVERIFY(AgentRights::SetAgentxx_Ini(rows));
        QCOMPARE(bytesOf(shared(u"agent005.ini"_s)), bytesOf(oneByOne));
    }

    // An agent desktop reading the files while they are stored again and
    // again finds the old or the new settings, never a mix of both.
    void readersSeeOldOrNew()
    {
        constexpr int Stores = 40;
        const QString agent = shared(u"agent001.ini"_s);
        put(agent, "; rights\r\n[SUPER]\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
        QList<QByteArrayList> versions{{}, {}};
        auto store = [](int version) {
            setSupervisorSettings(version);
            SupervisorSettings::SetIniCouleurs();
            Rows rows{agentRow(1, version == 1, u"1"_s)};
            AgentRights::SetAgentxx_Ini(rows);
        };
        for (int version : {0, 1}) {
            store(version);
            versions[0] << bytesOf(supervis());
            versions[1] << bytesOf(agent);
        }
        Reader reader({supervis(), agent}, versions);
        for (int i = 0; i < Stores; ++i)
            store(i % 2);
        reader.stop();
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
        QVERIFY(reader.reads() > 0);
        QCOMPARE(reader.mixes(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsWrites)
#include "tst_settingswrites.moc"
