#include "SettingsFixture.h"
#include "SettingsFolders.h"
#include "StationSettings.h"

#include <QFileInfo>
#include <QTest>

using namespace SettingsFolders;
using UiRecorder::Kind;

class TestStationFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void helpers();
    void resolve_data();
    void resolve();
    void load_data();
    void load();
    void addressRefusedEndsProgram();
    void sharedFolder_data();
    void sharedFolder();
    void saveServerAddress();

private:
    bool load(const QByteArray& station)
    {
        SettingsFixture::write(StationIniPath, station);
        return UiRecorder::endsProgram([] { StationSettings::LoadStationSettings(); });
    }
    SettingsFixture m_fx;
};

void TestStationFiles::init()
{
    m_fx.setUp();
    Parametres.ConfigPath.clear();
    Parametres.ConfigDir.clear();
    StationIniPath = m_fx.path(QStringLiteral("zor.ini"));
}

void TestStationFiles::helpers()
{
    QCOMPARE(AddBackslash(QStringLiteral("C:\\A")), QStringLiteral("C:\\A\\"));
    QCOMPARE(AddBackslash(QStringLiteral("C:\\A\\")), QStringLiteral("C:\\A\\"));
    QCOMPARE(AddBackslash(QString()), QStringLiteral("\\"));
    QByteArray buffer = QByteArray("abc") + '\0' + QByteArray(250, ' ');
    QCOMPARE(TrimIniValue(buffer), QByteArray("abc"));
    QCOMPARE(buffer, QByteArray("abc\0", 4));
    buffer = QByteArray(255, ' ');
    QCOMPARE(TrimIniValue(buffer), QByteArray());
    SettingsFixture::write(StationIniPath, "[S]\r\nk=  value  \r\n");
    QCOMPARE(ReadIniValue("S", "k", "d", StationIniPath), QByteArray("value"));
    QCOMPARE(IniBuffer, QByteArray("value\0", 6));
    QCOMPARE(ReadIniValue("S", "none", " dflt  ", StationIniPath), QByteArray("dflt"));
}

// ResolveIniFile(file, sub, source, base, create) in the situations start-up
// meets. "user" is the per-user file base/sub/zor.ini.
void TestStationFiles::resolve_data()
{
    QTest::addColumn<QByteArray>("userFile");    // null: none
    QTest::addColumn<QByteArray>("programFile"); // null: none
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("inProgramFolder");
    QTest::addColumn<QByteArray>("content"); // null: no file
    const QString appData = QStringLiteral("appdata/Q.R.S/");
    QTest::newRow("existing kept") << QByteArray("[A]\r\nx=1\r\n") << QByteArray("[A]\r\nx=2\r\n")
                                   << appData << true << false << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("copied") << QByteArray() << QByteArray("[A]\r\n") << appData << true << false
                            << QByteArray("[A]\r\n");
    QTest::newRow("created") << QByteArray() << QByteArray() << appData << true << false
                             << QByteArray(" \r\n");
    QTest::newRow("not created") << QByteArray() << QByteArray() << appData << false << false
                                 << QByteArray();
    QTest::newRow("blank base") << QByteArray() << QByteArray() << QStringLiteral("  ") << true
                                << true << QByteArray();
    QTest::newRow("one level only")
        << QByteArray() << QByteArray() << QStringLiteral("missing/Q.R.S/") << true << true
        << QByteArray();
}

void TestStationFiles::resolve()
{
    QFETCH(QByteArray, userFile);
    QFETCH(QByteArray, programFile);
    QFETCH(QString, base);
    QFETCH(bool, create);
    QFETCH(bool, inProgramFolder);
    QFETCH(QByteArray, content);
    const QString source = m_fx.path(QStringLiteral("program/"));
    const QString baseFolder = base.trimmed().isEmpty() ? base : m_fx.path(base);
    const QString user = baseFolder + QStringLiteral("ZorCFG/zor.ini");
    if (!userFile.isNull()) {
        QDir().mkpath(baseFolder + QStringLiteral("ZorCFG"));
        SettingsFixture::write(user, userFile);
        QFile(user).setPermissions(QFileDevice::ReadOwner);
    }
    if (!programFile.isNull())
        SettingsFixture::write(source + QStringLiteral("zor.ini"), programFile);

    const QString path = ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source,
                                        baseFolder, create);
    QCOMPARE(path, inProgramFolder ? source + QStringLiteral("zor.ini") : user);
    QCOMPARE(QFileInfo::exists(path), !content.isNull());
    if (!content.isNull()) {
        QCOMPARE(SettingsFixture::read(path), content);
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
    }
}

void TestStationFiles::load_data()
{
    QTest::addColumn<QByteArray>("station");
    QTest::addColumn<QList<int>>("languageFiles");
    QTest::addColumn<QList<int>>("expected"); // Langue, LanguageBase, RecvTimeout, TcpPort
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("help");
    auto row = [](const char* name, QByteArray station, QList<int> files, QList<int> expected,
                  int messages, const char* help = "Zor_Hp00.chm") {
        QTest::newRow(name) << station << files << expected << messages
                            << QString::fromLatin1(help);
    };
    // The connection dialog supplies the address when the file has none.
    row("empty file", " \r\n", {}, {0, 0, 10, 32000}, 1);
    row("language present", "[AGENT]\r\nLangue=2\r\n", {2}, {2, 4000, 10, 32000}, 1,
        "Zor_Hp02.chm");
    row("language missing", "[AGENT]\r\nLangue=3\r\n", {}, {0, 0, 10, 32000}, 1);
    row("explicit",
        "[VOICE_SERVER]\r\nVS_addr=S\r\nRecv_timeout=5\r\n[CONFIG]\r\nTCP_port=4000\r\n", {},
        {0, 0, 5, 4000}, 0);
    row("timeout not numeric", "[VOICE_SERVER]\r\nVS_addr=S\r\nRecv_timeout=abc\r\n", {},
        {0, 0, 0, 32000}, 0);
    row("timeout to even", "[VOICE_SERVER]\r\nVS_addr=S\r\nRecv_timeout=2.5\r\n", {},
        {0, 0, 2, 32000}, 0);
    row("port leading number", "[VOICE_SERVER]\r\nVS_addr=S\r\n[CONFIG]\r\nTCP_port=3100x\r\n", {},
        {0, 0, 10, 3100}, 0);
    row("port above 16 bits", "[VOICE_SERVER]\r\nVS_addr=S\r\n[CONFIG]\r\nTCP_port=40000\r\n", {},
        {0, 0, 10, 0}, 0);
    row("VS_port not numeric", "[VOICE_SERVER]\r\nVS_addr=S\r\nVS_port=abc\r\n", {},
        {0, 0, 10, 32000}, 1);
}

void TestStationFiles::load()
{
    QFETCH(QByteArray, station);
    QFETCH(QList<int>, languageFiles);
    QFETCH(QList<int>, expected);
    QFETCH(QString, help);
    for (int n : languageFiles) {
        m_fx.addLanguageFile(n);
        SettingsFixture::write(
            m_fx.program(QStringLiteral("Zor_Hp%1.chm").arg(n, 2, 10, QChar(u'0'))), "");
    }
    UiRecorder::setDialogHandler([](Ui::Dialog) {
        Parametres.VS_addr = QStringLiteral("FROMDIALOG");
        Parametres.Poste = QStringLiteral("1234");
        return true;
    });
    QVERIFY(!load(station));
    const QList<int> actual{Parametres.Langue, LanguageBase, RecvTimeout, Parametres.TcpPort};
    QCOMPARE(actual, expected);
    QTEST(UiRecorder::count(Kind::MessageBox), "messages");
    QCOMPARE(UiRecorder::count(Kind::Dialog), Parametres.VS_addr == u"FROMDIALOG" ? 1 : 0);
    QCOMPARE(Parametres.Poste, QStringLiteral("0000"));
    QCOMPARE(HelpFile, m_fx.program(help));
    QVERIFY(Parametres.ConfigDir.isEmpty());
}

void TestStationFiles::addressRefusedEndsProgram()
{
    QVERIFY(load("[VOICE_SERVER]\r\nVS_addr=\r\n"));
    const auto& calls = UiRecorder::calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[0].kind, Kind::MessageBox);
    QCOMPARE(calls[1].kind, Kind::Dialog);
    QCOMPARE(calls[2].kind, Kind::End);
}

void TestStationFiles::sharedFolder_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("model");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("files"); // agent files in the shared folder afterwards
    QTest::addColumn<QString>("failure");
    QTest::newRow("prepared") << QByteArray() << true << QStringLiteral("SRV1") << 32 << QString();
    QTest::newRow("PATH_config wins")
        << QByteArray("PATH_config=SRV\r\n") << true << QStringLiteral("SRV") << 32 << QString();
    QTest::newRow("no model, no copy")
        << QByteArray() << false << QStringLiteral("SRV1") << 1 << QString();
    QTest::newRow("unreachable") << QByteArray("PATH_config=NOWHERE\r\n") << true
                                 << QStringLiteral("NOWHERE") << 0
                                 << QStringLiteral(" agent001.ini 76 Path not found]");
}

void TestStationFiles::sharedFolder()
{
    QFETCH(QByteArray, config);
    QFETCH(bool, model);
    QFETCH(QString, folder);
    QFETCH(int, files);
    QFETCH(QString, failure);
    if (model)
        SettingsFixture::write(m_fx.program(QStringLiteral("model.ini")), "[SUPER]\r\n");
    QDir().mkpath(m_fx.path(QStringLiteral("unc/SRV1/ZOR")));
    const QString kept = m_fx.path(QStringLiteral("unc/SRV1/ZOR/agent007.ini"));
    SettingsFixture::write(kept, "mine");
    const bool ended =
        load("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n[CONFIG]\r\nServer_Tcp=0\r\n" + config);
    QCOMPARE(ended, !failure.isEmpty());
    QCOMPARE(Parametres.ConfigPath, QStringLiteral("\\\\") + folder + QStringLiteral("\\ZOR"));
    QCOMPARE(Parametres.ConfigDir, Parametres.ConfigPath + u'\\');
    QCOMPARE(Parametres.TcpPort, qint16(0));
    const QStringList made =
        QDir(m_fx.path(QStringLiteral("unc/") + folder + QStringLiteral("/ZOR")))
            .entryList({QStringLiteral("agent0??.ini")}, QDir::Files);
    QCOMPARE(made.size(), files); // agent007.ini of SRV1 counts among them
    QCOMPARE(SettingsFixture::read(kept), QByteArray("mine"));
    QVERIFY(SettingsFixture::lastMessage().endsWith(failure));
    if (!failure.isEmpty())
        QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).last().icon, Ui::Icon::Critical);
}

void TestStationFiles::saveServerAddress()
{
    SettingsFixture::write(StationIniPath,
                           "; station\r\n[VOICE_SERVER]\r\nVS_addr=OLD\r\nVS_port=1\r\n");
    Parametres.VS_addr = QStringLiteral("NEW");
    StationSettings::SaveServerAddress();
    QCOMPARE(SettingsFixture::read(StationIniPath),
             QByteArray("; station\r\n[VOICE_SERVER]\r\nVS_addr=NEW\r\nVS_port=1\r\n"));
}

QTEST_GUILESS_MAIN(TestStationFiles)
#include "tst_stationfiles.moc"
