#include "Folders.h"
#include "StartUp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStartUp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

private Q_SLOTS:
    // The per-user station file: under the per-user folder, named after the
    // executable or "ZOR"; in the program folder when the per-user folder
    // cannot be made, with one separator between folder and name.
    void stationFile_data()
    {
        QTest::addColumn<QString>("config"); // $XDG_CONFIG_HOME, relative to the test folder
        QTest::addColumn<QByteArray>("programFile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("named after the executable")
            << u"config"_s << QByteArray() << u"config/Q.R.S/tst_startup/zor.ini"_s;
        QTest::newRow("Tarvello 1") << u"config"_s << QByteArray("[Config]\r\nTarvello=12\r\n")
                                    << u"config/Q.R.S/ZOR/zor.ini"_s;
        QTest::newRow("no per-user folder") << u"blocker"_s << QByteArray() << u"program/zor.ini"_s;
    }
    void stationFile()
    {
        QFETCH(QString, config);
        QFETCH(QByteArray, programFile);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(path(u"program"_s)));
        QVERIFY(QDir().mkpath(path(u"config"_s)));
        QFile blocker(path(u"blocker"_s)); // a file where the folder should go
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        if (!programFile.isNull()) {
            QFile file(path(u"program/zor.ini"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(programFile), programFile.size());
        }
        Folders::setProgramFolder(path(u"program"_s));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(config)));
        QCOMPARE(StartUp::ResolveStationFile(), path(expected));
        QCOMPARE(QFile::exists(path(expected)), config == u"config");
        QVERIFY(QDir(path(u"config"_s)).removeRecursively());
        QFile::remove(path(u"program/zor.ini"_s));
    }
};

QTEST_GUILESS_MAIN(TestStartUp)
#include "tst_startup.moc"
