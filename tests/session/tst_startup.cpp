// The start-up from the station settings to the configuration window, end to
// end: in the test process against a real zorsrv (server mode) and a
// temporary shared folder (shared-folder mode), with the real dialogs driven
// by objectName; and as real ZorCFG processes for the one-instance rule.

#include "Cp1252.h"
#include "Folders.h"
#include "Languages.h"
#include "Layout.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "QtUi.h"
#include "RawClient.h"
#include "SessionSupport.h"
#include "SettingsMessages.h"
#include "StartUp.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmSplash.h"
#include "frmconnexion.h"

#include <QApplication>
#include <QtTest>

using namespace SessionSupport;
using SettingsMessages::text;
using UiRecorder::Kind;

namespace {

bool splashShown()
{
    return frmSplash::Loaded() && frmSplash::Loaded()->isVisible();
}

// Acts on the login dialog, one step at a time: "field=text" types, "!button"
// clicks. Records whether the splash was visible behind it.
void scriptLogin(const QStringList& steps, bool* splashVisible)
{
    onModal(QStringLiteral("frmPwd"), [steps, splashVisible](QDialog* login) {
        *splashVisible = splashShown();
        for (const QString& step : steps) {
            if (step.startsWith(u'!'))
                click(login, qPrintable(step.mid(1)));
            else
                type(login, qPrintable(step.section(u'=', 0, 0)), step.section(u'=', 1));
        }
    });
}

bool startUpReachesTheEnd()
{
    return !UiRecorder::endsProgram([] { StartUp::Run(); });
}

QStringList messageTexts()
{
    QStringList texts;
    for (const UiRecorder::Call& call : UiRecorder::callsOf(Kind::MessageBox))
        texts.append(call.text);
    return texts;
}

// The supervisor password field of the server's record, as stored.
QByteArray storedPassword(quint16 port)
{
    RawClient client;
    if (!client.connectTo(port) || client.login() != 0)
        return "(no answer)";
    const QByteArray data = client.read(Layout::SupervisorRecordNumber).data;
    QByteArray field = data.mid(Layout::Supervisor::Password, Layout::Supervisor::PasswordWidth);
    return field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0'));
}

// ZorCFG with its per-user folder in home/config, sharing the runtime folder
// (and so the instance lock) with the others of home; an unattended probe
// unless told otherwise.
QProcessEnvironment programEnvironment(const QTemporaryDir& home, const char* config,
                                       bool probe = true)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QLatin1StringView(config)));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("ZORCFG_EXIT_AT_LOGIN"));
    if (probe)
        env.insert(QStringLiteral("ZORCFG_EXIT_AT_LOGIN"), QStringLiteral("1"));
    return env;
}

struct Finished
{
    int exitCode = -1;
    QString out;
};

// Runs ZorCFG as an unattended probe to its end.
Finished probe(const QTemporaryDir& home, const char* config)
{
    QProcess process;
    process.setProcessEnvironment(programEnvironment(home, config));
    process.start(QStringLiteral(ZORCFG_PATH), {});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput())};
}

} // namespace

class TstStartUp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ZorsrvProcess> m_server;

    void serverStation()
    {
        QVERIFY(writeStationFile(stationFile(m_dir),
                                 {"[VOICE_SERVER]", "VS_addr=127.0.0.1", "[CONFIG]", "Server_Tcp=1",
                                  "TCP_port=" + QString::number(m_server->port())}));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(layOut(m_dir, false));
    }

    void init()
    {
        freshStart();
        UiRecorder::setDialogHandler(
            [](UiServices::Dialog dialog) { return QtUi::showDialog(dialog); });
        QDir config(m_dir.filePath(QStringLiteral("config")));
        config.removeRecursively();
        QVERIFY(config.mkpath(QStringLiteral(".")));
        m_server = std::make_unique<ZorsrvProcess>();
        QVERIFY2(m_server->startOnStationPort(), qPrintable(m_server->errorText()));
    }

    void cleanup()
    {
        dropPendingActions();
        StartUp::Shutdown();
        m_server.reset();
    }

    // Server mode: the login in any letter case, a wrong then a right
    // password, a password change that reaches the server scrambled, and a
    // cancelled login that stores nothing.
    void serverMode_data()
    {
        QTest::addColumn<QStringList>("login");
        QTest::addColumn<bool>("reached");   // the configuration window is shown
        QTest::addColumn<int>("wrong");      // messages 105
        QTest::addColumn<QString>("stored"); // the password on the server; "" untouched
        QTest::newRow("right password")
            << QStringList{"txtPwd=super", "!cmdOK"} << true << 0 << QString();
        QTest::newRow("wrong, then right")
            << QStringList{"txtPwd=supper", "!cmdOK", "txtPwd=SUPER", "!cmdOK"} << true << 1
            << QString();
        QTest::newRow("password changed, code page letters")
            << QStringList{"txtPwd=super", "!cmdModifier", "Text2=aµƒßÿ", "Text3=AµƒßŸ", "!cmdOK"}
            << true << 0 << "AµƒßŸ";
        QTest::newRow("change, then cancel")
            << QStringList{"txtPwd=super", "!cmdModifier", "Text2=secret", "Text3=secret",
                           "!cmdCancel"}
            << false << 0 << QString();
    }
    void serverMode()
    {
        QFETCH(QStringList, login);
        QFETCH(bool, reached);
        QFETCH(int, wrong);
        QFETCH(QString, stored);
        serverStation();
        const QByteArray before = storedPassword(m_server->port());
        const QByteArray station = readFile(stationFile(m_dir));
        bool splashVisible = false;
        scriptLogin(login, &splashVisible);

        QCOMPARE(startUpReachesTheEnd(), reached);
        QVERIFY(splashVisible);
        QCOMPARE(messageTexts().count(text(105)), wrong);
        QCOMPARE(messageTexts().count(text(115)), stored.isEmpty() ? 0 : 1);
        const QByteArray after = storedPassword(m_server->port());
        if (stored.isEmpty()) {
            QCOMPARE(after, before);
        } else {
            QCOMPARE(PasswordScrambler::Decrypter(after), Cp1252::fromUnicode(stored));
            QVERIFY(!after.contains(Cp1252::fromUnicode(stored)));
        }
        QCOMPARE(readFile(stationFile(m_dir)), station);
        if (!reached)
            return;
        QVERIFY(MainWindow && MainWindow->isVisible());
        QVERIFY(GatewayHost && GatewayHost == frmSplash::Loaded());
        QVERIFY(!GatewayHost->isVisible());
        QCOMPARE(&Passerelle::Socket(), GatewayHost->Wsock());
        QVERIFY(!UiServices::isBusy());
    }

    // Shared-folder mode: the agent files prepared from the model, the
    // password change written scrambled in supervis.ini (a cancelled login
    // is in serverMode).
    void sharedFolderMode()
    {
        QTemporaryDir unc;
        const QString share = unc.filePath(QStringLiteral("SRV1/ZOR"));
        QVERIFY(QDir().mkpath(share));
        qputenv("ZOR_UNC_ROOT", unc.path().toLocal8Bit());
        QVERIFY(writeStationFile(stationFile(m_dir),
                                 {"[VOICE_SERVER]", "VS_addr=SRV1", "[CONFIG]", "Server_Tcp=0"}));
        bool splashVisible = false;
        scriptLogin({"txtPwd=SUPER", "!cmdModifier", "Text2=abc", "Text3=abc", "!cmdOK"},
                    &splashVisible);

        QVERIFY(startUpReachesTheEnd());
        QCOMPARE(Parametres.ConfigDir, QStringLiteral("\\\\SRV1\\ZOR\\"));
        QCOMPARE(QDir(share).entryList({QStringLiteral("agent*.ini")}).size(), 32);
        QVERIFY(readFile(share + QStringLiteral("/supervis.ini"))
                    .contains("mot_de_passe=" + PasswordScrambler::Crypter("ABC") + "\r\n"));
        QVERIFY(MainWindow);
    }

    // No station file anywhere: the per-user file is created, message 1107
    // and the connection dialog come first, the splash not shown yet.
    // Annulation ends the program; Ok stores the address, and start-up goes
    // on to the server it names.
    void noStationFile_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("annulation") << false;
        QTest::newRow("ok") << true;
    }
    void noStationFile()
    {
        QFETCH(bool, accept);
        bool splashAtMessage = true;
        bool splashAtDialog = true;
        UiRecorder::setWatcher([&splashAtMessage](const UiRecorder::Call& call) {
            if (call.text == text(1107))
                splashAtMessage = splashShown();
        });
        onModal(QStringLiteral("frmconnexion"), [accept, &splashAtDialog](QDialog* dialog) {
            splashAtDialog = splashShown();
            type(dialog, "txtserveur", QStringLiteral("127.0.0.1"));
            click(dialog, accept ? "cmdOK" : "cmdAnnuler");
            // Whatever answers on the default port (or nothing): leave there.
            onModal(QStringLiteral("frmconnexion"), [](QDialog* d) { click(d, "cmdAnnuler"); });
            onModal(QStringLiteral("frmPwd"), [](QDialog* d) { click(d, "cmdCancel"); });
        });
        QVERIFY(!startUpReachesTheEnd());
        QVERIFY(!splashAtMessage);
        QVERIFY(!splashAtDialog);
        const QList<UiRecorder::Call> calls = UiRecorder::calls();
        const auto first = std::find_if(calls.begin(), calls.end(),
                                        [](const auto& c) { return c.kind != Kind::Busy; });
        QVERIFY(calls.end() - first >= 2);
        QCOMPARE(first->kind, Kind::MessageBox);
        QCOMPARE(first->text, text(1107));
        QCOMPARE(first->title, text(121));
        QCOMPARE((first + 1)->kind, Kind::Dialog);
        QCOMPARE((first + 1)->value, int(UiServices::Dialog::Connection));
        const QByteArray station = readFile(stationFile(m_dir));
        QVERIFY(!station.isEmpty());
        QCOMPARE(station.contains("VS_addr=127.0.0.1\r\n"), accept);
        QCOMPARE(Parametres.TcpPort, accept ? qint16(32000) : qint16(0));
    }

    // One instance per user, from its start: while a first ZorCFG is still at
    // message 1107 (no server address), before its login, a second one is
    // refused at its login with message 120. After the first has crashed,
    // the next one starts, and its lock is gone when it ends.
    void secondInstance()
    {
        Languages::LoadLanguageFile();
        QTemporaryDir home;
        QVERIFY(writeStationFile(home.filePath(QStringLiteral("first/Q.R.S/ZorCFG/zor.ini")),
                                 {"[VOICE_SERVER]"}));
        QVERIFY(writeStationFile(home.filePath(QStringLiteral("second/Q.R.S/ZorCFG/zor.ini")),
                                 {"[VOICE_SERVER]", "VS_addr=127.0.0.1", "[CONFIG]", "Server_Tcp=1",
                                  "TCP_port=" + QString::number(m_server->port())}));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("runtime"))));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString lock = home.filePath(QStringLiteral("runtime/ZorCFG.lock"));

        QProcess first; // waits at its message box
        first.setProcessEnvironment(programEnvironment(home, "first", false));
        first.start(QStringLiteral(ZORCFG_PATH), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 60000);

        const Finished second = probe(home, "second");
        QCOMPARE(second.exitCode, 1);
        QVERIFY2(second.out.contains(text(121) + QStringLiteral(": ") + text(120)),
                 qPrintable(second.out));
        QVERIFY(!second.out.contains(QStringLiteral("login dialog shown")));
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFile::exists(lock)); // left behind by the crash

        const Finished third = probe(home, "second");
        QCOMPARE(third.exitCode, 0);
        QVERIFY2(third.out.contains(QStringLiteral("ZorCFG: login dialog shown")),
                 qPrintable(third.out));
        QVERIFY(!QFile::exists(lock));
    }
};

QTEST_MAIN(TstStartUp)
#include "tst_startup.moc"
