#include "SettingsFixture.h"
#include "StationSettings.h"

#include <QFileInfo>
#include <QTest>

using UiRecorder::Kind;

class TestStationSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void emptyFile();
    void values_data();
    void values();
    void languageFallsBack();
    void emptyAddressAccepted();
    void emptyAddressRefused();
    void portNotNumeric();
    void sharedFolderPrepared();
    void sharedFolderWithoutModel();
    void sharedFolderUnreachable();
    void saveServerAddress();

private:
    void station(const QByteArray& text) { SettingsFixture::write(StationIniPath, text); }
    bool load()
    {
        return UiRecorder::endsProgram([] { StationSettings::LoadStationSettings(); });
    }
    SettingsFixture m_fx;
};

void TestStationSettings::init()
{
    m_fx.setUp();
    Parametres.ConfigPath.clear();
    Parametres.ConfigDir.clear();
    StationIniPath = m_fx.dir->path() + QStringLiteral("/zor.ini");
}

void TestStationSettings::emptyFile()
{
    station(" \r\n");
    UiRecorder::setDialogHandler([](Ui::Dialog) {
        Parametres.VS_addr = QStringLiteral("SRV1");
        return true;
    });
    QVERIFY(!load());
    QCOMPARE(Parametres.Langue, 0);
    QCOMPARE(LanguageBase, qint16(0));
    QCOMPARE(Parametres.VS_port, QStringLiteral("20772"));
    QCOMPARE(RecvTimeout, qint16(10));
    QCOMPARE(Parametres.TcpPort, qint16(32000));
    QCOMPARE(Parametres.Poste, QStringLiteral("0000"));
    QVERIFY(Parametres.ConfigPath.isEmpty());
    QVERIFY(Parametres.ConfigDir.isEmpty());
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 1); // 1107
    QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
    QCOMPARE(HelpFile, m_fx.program(QStringLiteral("Zor_Hp00.chm")));
}

void TestStationSettings::values_data()
{
    QTest::addColumn<QByteArray>("voiceServer");
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("tcpPort");
    QTest::newRow("explicit") << QByteArray("Recv_timeout=5\r\n") << QByteArray("TCP_port=4000\r\n")
                              << 5 << 4000;
    QTest::newRow("timeout not numeric keeps 0")
        << QByteArray("Recv_timeout=abc\r\n") << QByteArray() << 0 << 32000;
    QTest::newRow("timeout rounded half even")
        << QByteArray("Recv_timeout=2.5\r\n") << QByteArray() << 2 << 32000;
    QTest::newRow("timeout overflow keeps 0")
        << QByteArray("Recv_timeout=40000\r\n") << QByteArray() << 0 << 32000;
    QTest::newRow("port leading number")
        << QByteArray() << QByteArray("TCP_port=3100x\r\n") << 10 << 3100;
    QTest::newRow("port above 16 bits stays 0")
        << QByteArray() << QByteArray("TCP_port=40000\r\n") << 10 << 0;
    QTest::newRow("port letters") << QByteArray() << QByteArray("TCP_port=abc\r\n") << 10 << 0;
    QTest::newRow("server tcp value is trimmed")
        << QByteArray() << QByteArray("Server_Tcp=1 \r\nTCP_port=77\r\n") << 10 << 77;
}

void TestStationSettings::values()
{
    QFETCH(QByteArray, voiceServer);
    QFETCH(QByteArray, config);
    QFETCH(int, timeout);
    QFETCH(int, tcpPort);
    station("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n" + voiceServer + "[CONFIG]\r\n" + config);
    QVERIFY(!load());
    QCOMPARE(int(RecvTimeout), timeout);
    QCOMPARE(int(Parametres.TcpPort), tcpPort);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

void TestStationSettings::languageFallsBack()
{
    m_fx.addLanguageFile(2);
    SettingsFixture::write(m_fx.program(QStringLiteral("Zor_Hp02.chm")), "chm");
    station("[AGENT]\r\nLangue=2\r\n[VOICE_SERVER]\r\nVS_addr=S\r\n");
    QVERIFY(!load());
    QCOMPARE(Parametres.Langue, 2);
    QCOMPARE(LanguageBase, qint16(4000));
    QCOMPARE(HelpFile, m_fx.program(QStringLiteral("Zor_Hp02.chm")));

    ResetGlobals();
    StationIniPath = m_fx.dir->path() + QStringLiteral("/zor.ini");
    station("[AGENT]\r\nLangue=3\r\n[VOICE_SERVER]\r\nVS_addr=S\r\n");
    QVERIFY(!load());
    QCOMPARE(Parametres.Langue, 0);
    QCOMPARE(LanguageBase, qint16(0));
    QCOMPARE(HelpFile, m_fx.program(QStringLiteral("Zor_Hp00.chm")));
}

void TestStationSettings::emptyAddressAccepted()
{
    station("[VOICE_SERVER]\r\nVS_addr=\r\n");
    UiRecorder::setDialogHandler([](Ui::Dialog dialog) {
        Parametres.VS_addr = QStringLiteral("NEWSRV");
        Parametres.Poste = QStringLiteral("1234");
        return dialog == Ui::Dialog::Connection;
    });
    QVERIFY(!load());
    QCOMPARE(Parametres.VS_addr, QStringLiteral("NEWSRV"));
    QCOMPARE(Parametres.Poste, QStringLiteral("0000"));
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(UiRecorder::calls().at(1).kind, Kind::Dialog); // after the message
}

void TestStationSettings::emptyAddressRefused()
{
    station(" \r\n");
    QVERIFY(load());
    QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
    QCOMPARE(UiRecorder::calls().last().kind, Kind::End);
}

void TestStationSettings::portNotNumeric()
{
    station("[VOICE_SERVER]\r\nVS_addr=S\r\nVS_port=abc\r\n");
    QVERIFY(!load());
    QCOMPARE(Parametres.VS_port, QStringLiteral("abc"));
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 1);
    QCOMPARE(Parametres.TcpPort, qint16(32000));
}

void TestStationSettings::sharedFolderPrepared()
{
    SettingsFixture::write(m_fx.program(QStringLiteral("model.ini")),
                           "[SUPER]\r\nDroit_Stat=0\r\n");
    QDir().mkpath(m_fx.dir->path() + QStringLiteral("/unc/SRV1/ZOR"));
    const QString existing = m_fx.dir->path() + QStringLiteral("/unc/SRV1/ZOR/agent007.ini");
    SettingsFixture::write(existing, "[SUPER]\r\nDroit_Stat=1\r\n");
    station("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n[CONFIG]\r\nServer_Tcp=0\r\n");
    QVERIFY(!load());
    QCOMPARE(Parametres.ConfigPath, QStringLiteral("\\\\SRV1\\ZOR"));
    QCOMPARE(Parametres.ConfigDir, QStringLiteral("\\\\SRV1\\ZOR\\"));
    QCOMPARE(Parametres.TcpPort, qint16(0));
    for (int agent = 1; agent <= 32; ++agent) {
        const QString file =
            m_fx.dir->path() +
            QStringLiteral("/unc/SRV1/ZOR/agent%1.ini").arg(agent, 3, 10, QChar(u'0'));
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
    }
    QVERIFY(!QFileInfo::exists(m_fx.dir->path() + QStringLiteral("/unc/SRV1/ZOR/agent033.ini")));
    QCOMPARE(SettingsFixture::read(existing), QByteArray("[SUPER]\r\nDroit_Stat=1\r\n"));
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

void TestStationSettings::sharedFolderWithoutModel()
{
    station("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n[CONFIG]\r\nServer_Tcp=0\r\nPATH_config=SRV\r\n");
    QVERIFY(!load());
    QCOMPARE(Parametres.ConfigPath, QStringLiteral("\\\\SRV\\ZOR"));
    QVERIFY(QDir(m_fx.sharedFolder()).entryList(QDir::Files).isEmpty());
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

void TestStationSettings::sharedFolderUnreachable()
{
    SettingsFixture::write(m_fx.program(QStringLiteral("model.ini")), "[SUPER]\r\n");
    station("[VOICE_SERVER]\r\nVS_addr=NOWHERE\r\n[CONFIG]\r\nServer_Tcp=0\r\n");
    QVERIFY(load());
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, Ui::Icon::Critical);
    QVERIFY2(boxes[0].text.endsWith(QStringLiteral(" agent001.ini 76 Path not found]")),
             qPrintable(boxes[0].text));
}

void TestStationSettings::saveServerAddress()
{
    station("; station\r\n[VOICE_SERVER]\r\nVS_addr=OLD\r\nVS_port=1\r\n");
    Parametres.VS_addr = QStringLiteral("NEW");
    StationSettings::SaveServerAddress();
    QCOMPARE(SettingsFixture::read(StationIniPath),
             QByteArray("; station\r\n[VOICE_SERVER]\r\nVS_addr=NEW\r\nVS_port=1\r\n"));
}

QTEST_GUILESS_MAIN(TestStationSettings)
#include "tst_stationsettings.moc"
