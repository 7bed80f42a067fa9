#include "Folders.h"

#include <QTest>

class TestFolders : public QObject
{
    Q_OBJECT

private:
    QByteArray m_oldRoot;

private Q_SLOTS:
    void initTestCase() { m_oldRoot = qgetenv("ZOR_UNC_ROOT"); }

    void cleanupTestCase()
    {
        if (m_oldRoot.isNull())
            qunsetenv("ZOR_UNC_ROOT");
        else
            qputenv("ZOR_UNC_ROOT", m_oldRoot);
    }

    void localPath_data()
    {
        QTest::addColumn<QByteArray>("root"); // null: unset
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const QByteArray unset;
        QTest::newRow("UNC under root") << QByteArray("/tmp/unc") << "\\\\SRV\\ZOR\\supervis.ini"
                                        << "/tmp/unc/SRV/ZOR/supervis.ini";
        QTest::newRow("root with slash") << QByteArray("/tmp/unc/") << "\\\\SRV\\ZOR\\a.ini"
                                         << "/tmp/unc/SRV/ZOR/a.ini";
        QTest::newRow("UNC folder with backslash") << QByteArray("/r") << "\\\\SRV\\ZOR\\"
                                                   << "/r/SRV/ZOR/";
        QTest::newRow("default root") << unset << "\\\\srv\\share\\x\\y.ini"
                                      << "/mnt/srv/share/x/y.ini";
        QTest::newRow("empty root is default") << QByteArray("") << "\\\\s\\t"
                                               << "/mnt/s/t";
        QTest::newRow("absolute path unchanged") << QByteArray("/r") << "/home/a/zor.ini"
                                                 << "/home/a/zor.ini";
        QTest::newRow("relative path unchanged") << QByteArray("/r") << "Q.R.S\\ZorCFG\\zor.ini"
                                                 << "Q.R.S\\ZorCFG\\zor.ini";
        QTest::newRow("single backslash unchanged") << QByteArray("/r") << "\\srv\\x"
                                                    << "\\srv\\x";
    }

    void localPath()
    {
        QFETCH(QByteArray, root);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        if (root.isNull())
            qunsetenv("ZOR_UNC_ROOT");
        else
            qputenv("ZOR_UNC_ROOT", root);
        QCOMPARE(Folders::localPath(path), expected);
        QCOMPARE(Folders::isUncPath(path), path.startsWith(QStringLiteral("\\\\")));
    }

    void join_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/a/b"
                               << "c.ini"
                               << "/a/b/c.ini";
        QTest::newRow("trailing separator") << "/a/b/"
                                            << "c.ini"
                                            << "/a/b/c.ini";
        QTest::newRow("empty folder") << ""
                                      << "c.ini"
                                      << "c.ini";
    }

    void join()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(Folders::join(folder, name), expected);
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
