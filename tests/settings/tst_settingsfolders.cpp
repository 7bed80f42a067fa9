#include "SettingsFixture.h"
#include "SettingsFolders.h"

#include <QFileInfo>
#include <QTest>

using namespace SettingsFolders;

class TestSettingsFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fx.setUp();
        QDir().mkpath(m_fx.dir->path() + QStringLiteral("/appdata"));
    }
    void addBackslash_data();
    void addBackslash();
    void trimIniValue_data();
    void trimIniValue();
    void resolveExisting();
    void resolveCopiesProgramFile();
    void resolveCreatesPlaceholder();
    void resolveWithoutCreate();
    void resolveBlankBase();
    void resolveFallsBackWhenFolderCannotBeMade();
    void resolveMakesReadOnlyFileWritable();
    void readIniValueLeavesBuffer();
    void helpFile_data();
    void helpFile();

private:
    QString base() const { return m_fx.dir->path() + QStringLiteral("/appdata/Q.R.S/"); }
    QString source() const { return m_fx.programFolder() + u'/'; }
    SettingsFixture m_fx;
};

void TestSettingsFolders::addBackslash_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("C:\\A") << QStringLiteral("C:\\A\\");
    QTest::newRow("already") << QStringLiteral("C:\\A\\") << QStringLiteral("C:\\A\\");
    QTest::newRow("empty") << QString() << QStringLiteral("\\");
    QTest::newRow("unc") << QStringLiteral("\\\\SRV\\ZOR") << QStringLiteral("\\\\SRV\\ZOR\\");
}

void TestSettingsFolders::addBackslash()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(AddBackslash(path), expected);
}

void TestSettingsFolders::trimIniValue_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("bufferAfter");
    const QByteArray abc = QByteArray("abc") + '\0' + QByteArray(250, ' ');
    QTest::newRow("value nul spaces") << abc << QByteArray("abc") << QByteArray("abc\0", 4);
    QTest::newRow("all spaces") << QByteArray(255, ' ') << QByteArray() << QByteArray();
    QTest::newRow("no nul") << QByteArray("  x y  ") << QByteArray("x y") << QByteArray("x y");
    const QByteArray empty = QByteArray(1, '\0') + QByteArray(254, ' ');
    QTest::newRow("empty value") << empty << QByteArray() << QByteArray(1, '\0');
}

void TestSettingsFolders::trimIniValue()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, bufferAfter);
    QCOMPARE(TrimIniValue(buffer), value);
    QCOMPARE(buffer, bufferAfter);
}

void TestSettingsFolders::resolveExisting()
{
    QDir().mkpath(base() + QStringLiteral("ZorCFG"));
    const QString user = base() + QStringLiteral("ZorCFG/zor.ini");
    SettingsFixture::write(user, "[AGENT]\r\nLangue=1\r\n");
    SettingsFixture::write(m_fx.program(QStringLiteral("zor.ini")), "[AGENT]\r\nLangue=2\r\n");
    QFile(user).setPermissions(QFileDevice::ReadOwner);

    const QString path =
        ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source(), base(), true);
    QCOMPARE(QFileInfo(path).canonicalFilePath(), QFileInfo(user).canonicalFilePath());
    QCOMPARE(SettingsFixture::read(user), QByteArray("[AGENT]\r\nLangue=1\r\n"));
    QVERIFY(QFileInfo(user).permissions() & QFileDevice::WriteOwner);
}

void TestSettingsFolders::resolveCopiesProgramFile()
{
    SettingsFixture::write(m_fx.program(QStringLiteral("zor.ini")), "[CONFIG]\r\nTCP_port=1\r\n");
    const QString path =
        ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZOR"), source(), base(), true);
    QCOMPARE(path, base() + QStringLiteral("ZOR/zor.ini"));
    QCOMPARE(SettingsFixture::read(path), QByteArray("[CONFIG]\r\nTCP_port=1\r\n"));
}

void TestSettingsFolders::resolveCreatesPlaceholder()
{
    const QString path =
        ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source(), base(), true);
    QCOMPARE(path, base() + QStringLiteral("ZorCFG/zor.ini"));
    QCOMPARE(SettingsFixture::read(path), QByteArray(" \r\n"));
    QCOMPARE(ReadIniValue("VOICE_SERVER", "VS_port", "20772", path), QByteArray("20772"));
}

void TestSettingsFolders::resolveWithoutCreate()
{
    const QString path = ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"),
                                        source(), base(), false);
    QCOMPARE(path, base() + QStringLiteral("ZorCFG/zor.ini"));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QFileInfo(base() + QStringLiteral("ZorCFG")).isDir());
}

void TestSettingsFolders::resolveBlankBase()
{
    const QString path = ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"),
                                        source(), QStringLiteral("   "), true);
    QCOMPARE(path, source() + QStringLiteral("zor.ini"));
    QVERIFY(!QFileInfo::exists(path));
}

void TestSettingsFolders::resolveFallsBackWhenFolderCannotBeMade()
{
    // The base folder's parent is missing: only one level is ever created.
    const QString deep = m_fx.dir->path() + QStringLiteral("/missing/Q.R.S/");
    const QString path =
        ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source(), deep, true);
    QCOMPARE(path, source() + QStringLiteral("zor.ini"));
    QVERIFY(!QFileInfo::exists(deep));
}

void TestSettingsFolders::resolveMakesReadOnlyFileWritable()
{
    const QString programFile = m_fx.program(QStringLiteral("zor.ini"));
    SettingsFixture::write(programFile, "[A]\r\n");
    QFile(programFile).setPermissions(QFileDevice::ReadOwner);
    const QString path =
        ResolveIniFile(QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source(), base(), true);
    QCOMPARE(path, base() + QStringLiteral("ZorCFG/zor.ini"));
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
}

void TestSettingsFolders::readIniValueLeavesBuffer()
{
    const QString path = m_fx.program(QStringLiteral("t.ini"));
    SettingsFixture::write(path, "[S]\r\nk=  value  \r\n");
    QCOMPARE(ReadIniValue("S", "k", "d", path), QByteArray("value"));
    QCOMPARE(IniBuffer, QByteArray("value\0", 6));
    QCOMPARE(ReadIniValue("S", "missing", "dflt   ", path), QByteArray("dflt"));
}

void TestSettingsFolders::helpFile_data()
{
    QTest::addColumn<int>("langue");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("present") << 1 << true << QStringLiteral("Zor_Hp01.chm");
    QTest::newRow("missing falls back") << 3 << false << QStringLiteral("Zor_Hp00.chm");
    QTest::newRow("two digits") << 12 << true << QStringLiteral("Zor_Hp12.chm");
}

void TestSettingsFolders::helpFile()
{
    QFETCH(int, langue);
    QFETCH(bool, present);
    QFETCH(QString, expected);
    if (present)
        SettingsFixture::write(m_fx.program(expected), "chm");
    Parametres.Langue = langue;
    ChooseHelpFile();
    QCOMPARE(HelpFile, m_fx.program(expected));
}

QTEST_GUILESS_MAIN(TestSettingsFolders)
#include "tst_settingsfolders.moc"
