// The settings files on the way out: stores that fail say so, readers never
// see half a store, the per-user folder is made whole, and a TCP_port beyond
// 16 bits is reported.

#include "AgentRights.h"
#include "Folders.h"
#include "Languages.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "SupervisorSettings.h"
#include "TestFiles.h"
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

using namespace AgentsList;
using namespace Qt::StringLiterals;
using TestFiles::read;
using TestFiles::write;
using UiRecorder::Kind;

namespace {

QByteArray utf16(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder(text);
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

// Parametres in two versions that differ in every key of supervis.ini.
void setSupervisorSettings(int version)
{
    Parametres.NouveauMotDePasse = version ? u"NEUF"_s : u"ANCIEN"_s;
    for (qint32* field :
         {&Parametres.NbJourStockJournal, &Parametres.TauxActiviteT1, &Parametres.TauxActiviteT2,
          &Parametres.Langue, &Parametres.ModeLie, &Parametres.Etatinterdit, &Parametres.CmtAuto})
        *field = version;
    Parametres.ModeLieApp = version ? u"cscript lien.vbs"_s : u"Wscript.exe Post_it.vbs"_s;
    for (const ColourDef& colour : ColourTable)
        Parametres.*colour.field = version ? -colour.defaultValue : colour.defaultValue;
}

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
        write(path(u"program/Zor_Lg00.txt"_s), utf16(texts));
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
        QTest::newRow("a file in the way") << u"file/config"_s << u"home"_s << QString();
    }

    void appDataCreatedWhole()
    {
        QFETCH(QString, configHome);
        QFETCH(QString, home);
        QFETCH(QString, folder);
        QVERIFY(QDir().mkpath(path(u"home"_s)));
        write(path(u"file"_s), "x");
        write(path(u"program/zor.ini"_s), "[VOICE_SERVER]\r\nVS_addr=SRV\r\n");
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
        QCOMPARE(read(station), "[VOICE_SERVER]\r\nVS_addr=SRV\r\n");
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
        const QByteArray old = "[CONFIG]\r\nlangue= 1\r\n";
        if (setUp == u"folder") {
            QVERIFY(QDir().mkdir(supervis()));
        } else if (setUp == u"read-only") {
            write(supervis(), old);
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
            QCOMPARE(read(supervis()), old);
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
        write(StationIniPath,
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

    // An agent desktop reading the files while they are stored again and
    // again finds the old or the new settings, never a mix of both.
    void readersSeeOldOrNew()
    {
        const QStringList files{supervis(), shared(u"agent001.ini"_s)};
        write(files[1], "; rights\r\n[SUPER]\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
        auto store = [](int version) {
            setSupervisorSettings(version);
            SupervisorSettings::SetIniCouleurs();
            Rows rows{agentRow(1, version == 1, u"1"_s)};
            AgentRights::SetAgentxx_Ini(rows);
        };
        QList<QByteArrayList> versions{{}, {}}; // per file, both complete versions
        for (int version : {0, 1}) {
            store(version);
            for (int i = 0; i < 2; ++i)
                versions[i] << read(files[i]);
        }
        std::atomic<bool> stop = false;
        std::atomic<int> reads = 0;
        std::atomic<int> mixes = 0;
        std::thread reader([&] {
            while (!stop) {
                for (int i = 0; i < 2; ++i, ++reads) {
                    if (!versions[i].contains(read(files[i])))
                        ++mixes;
                }
            }
        });
        for (int i = 0; i < 40; ++i)
            store(i % 2);
        stop = true;
        reader.join();
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
        QVERIFY(reads > 0);
        QCOMPARE(mixes.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsWrites)
#include "tst_settingswrites.moc"
