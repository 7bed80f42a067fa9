// The session windows, one at a time, offscreen: driven by objectName, their
// message boxes and dialogs answered by the recorder, checked on Parametres,
// the files and the recorded calls.

#include "Cp1252.h"
#include "Folders.h"
#include "FormTexts.h"
#include "InstanceLock.h"
#include "Languages.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "Pictures.h"
#include "QtUi.h"
#include "SessionSupport.h"
#include "SettingsMessages.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "frmPwd.h"
#include "frmSplash.h"
#include "frm_Apropos.h"
#include "frmconnexion.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace SessionSupport;
using SettingsMessages::text;
using UiRecorder::Kind;

namespace {

template <typename T> T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QLatin1StringView(name));
}

QString labelText(QWidget* window, const char* name)
{
    const QLabel* label = child<QLabel>(window, name);
    return label ? label->text() : QStringLiteral("(missing)");
}

// The labels the splash and the About box share, and the window's own ones,
// each with the number of its text in the language file.
void compareLabels(QWidget* window, QList<std::pair<const char*, int>> labels)
{
    labels += {{"lbl_Version", 318},
               {"lbl_Copyright", 261},
               {"Lbl_email", 1287},
               {"lbl_NomApplication", 1275}};
    for (const auto& [name, number] : labels)
        QCOMPARE(labelText(window, name), text(number));
}

QImage pictureOf(QWidget* window, const char* name)
{
    const QLabel* label = child<QLabel>(window, name);
    return label ? label->pixmap().toImage() : QImage();
}

// A picture file that is not the built-in logo.
QImage redSquare()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

// A scripted configuration server: greets, and answers each request with an
// accepted header; the first request runs the hook before its answer, while
// the client waits for it.
struct SlowServer
{
    QTcpServer tcp;
    int requests = 0;
    std::function<void()> onFirstRequest;
    QByteArray pending;

    SlowServer()
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] {
            QTcpSocket* socket = tcp.nextPendingConnection();
            socket->write(QByteArray(512, '\0'));
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                pending += socket->readAll();
                while (pending.size() >= 512) {
                    const bool block = quint8(pending[5]) == 0x22; // length 8704 = 0x2200
                    const int size = block ? 8704 : 512;
                    if (pending.size() < size)
                        return;
                    pending.remove(0, size);
                    ++requests;
                    if (const auto hook = std::exchange(onFirstRequest, nullptr))
                        hook();
                    socket->write(QByteArray(512, '\0'));
                }
            });
        });
        tcp.listen(QHostAddress::LocalHost, 0);
    }
};

} // namespace

class TstSession : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString programFile(const QString& name) const
    {
        return QDir(Folders::programFolder()).filePath(name);
    }

    // Shared-folder mode on \\SRV\ZOR, without supervis.ini; its local path.
    QString useSharedFolder() const
    {
        const QString share = m_dir.filePath(QStringLiteral("unc/SRV/ZOR"));
        QDir().mkpath(share);
        QFile::remove(share + QStringLiteral("/supervis.ini"));
        qputenv("ZOR_UNC_ROOT", m_dir.filePath(QStringLiteral("unc")).toLocal8Bit());
        Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
        Parametres.ConfigDir = QStringLiteral("\\\\SRV\\ZOR\\");
        return share;
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
        StationIniPath = stationFile(m_dir);
        QVERIFY(writeStationFile(StationIniPath, {QStringLiteral("[VOICE_SERVER]")}));
        HelpFile = programFile(QStringLiteral("Zor_Hp00.chm"));
        Languages::LoadLanguageFile();
    }

    void cleanup()
    {
        frmSplash::Unload();
        for (const char* picture : {"zorcfg_l1.bmp", "ZORCFG_L1.BMP", "zorcfg_l2.bmp"})
            QFile::remove(programFile(QLatin1StringView(picture)));
    }

    // The splash window's lines come from the language; a zorcfg_l1.bmp of
    // the program folder, whatever its letter case, replaces the logo unless
    // it cannot be read as a picture.
    void splash_data()
    {
        QTest::addColumn<QString>("file");     // written in the program folder
        QTest::addColumn<QByteArray>("bytes"); // "picture": the red square
        QTest::addColumn<bool>("replaced");
        QTest::newRow("no file") << QString() << QByteArray() << false;
        QTest::newRow("a picture") << "zorcfg_l1.bmp" << QByteArray("picture") << true;
        QTest::newRow("a picture, upper case") << "ZORCFG_L1.BMP" << QByteArray("picture") << true;
        QTest::newRow("not a picture") << "zorcfg_l1.bmp" << QByteArray("BM garbage") << false;
        QTest::newRow("the About box's file") << "zorcfg_l2.bmp" << QByteArray("picture") << false;
    }
    void splash()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, replaced);
        if (bytes == "picture")
            QVERIFY(redSquare().save(programFile(file), "BMP"));
        else if (!file.isEmpty()) {
            QFile out(programFile(file));
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(bytes), bytes.size());
        }

        frmSplash& splash = frmSplash::Load();
        QVERIFY(!splash.isVisible());
        QCOMPARE(&frmSplash::Load(), &splash);
        const QImage expected = replaced ? redSquare() : Pictures::BuiltInLogo().toImage();
        QCOMPARE(pictureOf(&splash, "picLogo").convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
        QVERIFY(!Pictures::BuiltInLogo().isNull());
        compareLabels(&splash, {{"lbl_Platform", 1288}});
    }

    // The splash hosts the gateway's socket; unloading the splash ends the
    // connection.
    void splashHostsTheSocket()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        frmSplash& splash = frmSplash::Load();
        QPointer<QTcpSocket> socket = splash.Wsock();
        QCOMPARE(socket->objectName(), QStringLiteral("Wsock"));
        Passerelle::SetSocket(socket);
        QCOMPARE(&Passerelle::Socket(), socket.data());
        socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(server.waitForNewConnection(10000));
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_COMPARE(socket->state(), QAbstractSocket::ConnectedState);

        frmSplash::Unload();
        QVERIFY(socket.isNull());
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(&Passerelle::Socket() != nullptr); // the gateway falls back to its own
    }

    // Every control with a Tag shows the text of that number, in French and
    // in English.
    void tagTexts_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("langue");
        QTest::addColumn<int>("controls");
        for (const int langue : {0, 1}) {
            QTest::addRow("connection, language %d", langue) << "frmconnexion" << langue << 6;
            QTest::addRow("login, language %d", langue) << "frmPwd" << langue << 8;
        }
    }
    void tagTexts()
    {
        QFETCH(QString, window);
        QFETCH(int, langue);
        Parametres.Langue = langue;
        LanguageBase = qint16(langue * 2000);
        Languages::LoadLanguageFile();
        std::unique_ptr<QDialog> dialog;
        if (window == "frmPwd")
            dialog = std::make_unique<frmPwd>();
        else
            dialog = std::make_unique<frmconnexion>();
        const QList<FormTexts::Tagged> controls = FormTexts::tagged(dialog.get());
        QTEST(int(controls.size()), "controls");
        for (const FormTexts::Tagged& control : controls)
            QVERIFY2(control.shown == text(control.number), qPrintable(control.control));
    }

    // The connection dialog: Ok with a server name stores it, in Parametres
    // and the station file, and copies the hidden extension field to Poste; an empty name,
    // Annulation and Escape refuse; the close box leaves Valide as the previous display left it.
    void connection_data()
    {
        QTest::addColumn<QString>("action"); // ok, cancel, escape, close
        QTest::addColumn<bool>("before");    // Valide of the previous display
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valide");
        QTest::addColumn<QString>("stored"); // VS_addr in the file afterwards
        QTest::newRow("ok") << "ok" << false << "SRV1" << true << "SRV1";
        QTest::newRow("ok, spaces only") << "ok" << false << "   " << true << "   ";
        QTest::newRow("ok, empty") << "ok" << true << "" << false << "";
        QTest::newRow("cancel") << "cancel" << true << "SRV1" << false << "";
        QTest::newRow("escape") << "escape" << true << "SRV1" << false << "";
        QTest::newRow("close box, was true") << "close" << true << "SRV1" << true << "";
        QTest::newRow("close box, was false") << "close" << false << "SRV1" << false << "";
    }
    void connection()
    {
        QFETCH(bool, before);
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(bool, valide);
        QFETCH(QString, stored);
        frmconnexion::Valide = before;
        Parametres.Poste = QString();
        auto* dialog = new frmconnexion;
        QCOMPARE(child<QLineEdit>(dialog, "txtserveur")->text(), QString());
        dialog->show();
        QVERIFY(!child<QLineEdit>(dialog, "txtposte")->isVisible());
        QVERIFY(!child<QLabel>(dialog, "Label3")->isVisible());
        type(dialog, "txtserveur", typed);
        child<QLineEdit>(dialog, "txtposte")->setText(QStringLiteral("201"));
        if (action == "ok")
            click(dialog, "cmdOK");
        else if (action == "cancel")
            click(dialog, "cmdAnnuler");
        else if (action == "escape")
            QTest::keyClick(child<QLineEdit>(dialog, "txtserveur"), Qt::Key_Escape);
        else
            dialog->close();
        QVERIFY(!dialog->isVisible());
        delete dialog;
        QCOMPARE(frmconnexion::Valide, valide);
        QCOMPARE(Parametres.VS_addr, stored);
        QCOMPARE(Parametres.Poste, stored.isEmpty() ? QString() : QStringLiteral("201"));
        const QByteArray line = "VS_addr=" + stored.toLatin1() + "\r\n";
        QCOMPARE(readFile(StationIniPath).contains(line), !stored.isEmpty());
    }

    // A later display shows the current address and the extension already
    // set, disabled; the dialog centres itself over the splash, which it
    // loads hidden when needed.
    void connectionLaterDisplay()
    {
        Parametres.VS_addr = QStringLiteral("SRV2");
        Parametres.Poste = QStringLiteral("0000");
        QVERIFY(!frmSplash::Loaded());
        frmconnexion dialog;
        QVERIFY(frmSplash::Loaded());
        QVERIFY(!frmSplash::Loaded()->isVisible());
        QCOMPARE(child<QLineEdit>(&dialog, "txtserveur")->text(), QStringLiteral("SRV2"));
        QCOMPARE(child<QLineEdit>(&dialog, "txtposte")->text(), QStringLiteral("0000"));
        QVERIFY(!child<QLineEdit>(&dialog, "txtposte")->isEnabled());
        const QRect splash = frmSplash::Loaded()->geometry();
        QCOMPARE(dialog.x(), (splash.width() - dialog.width()) / 2 + splash.x());
        QCOMPARE(dialog.y(), (splash.height() - dialog.height()) / 2 + splash.y());
        click(&dialog, "cmdOK");
        QCOMPARE(Parametres.Poste, QStringLiteral("0000"));
    }

    // The login: the typed text, upper-cased and without surrounding
    // spaces, must equal MotDePasse; once it has, the login stays accepted.
    void loginMatch_data()
    {
        QTest::addColumn<QString>("password");  // MotDePasse
        QTest::addColumn<QStringList>("typed"); // successive texts of txtPwd
        QTest::addColumn<bool>("valide");
        QTest::newRow("lower case") << "SUPER" << QStringList{"super"} << true;
        QTest::newRow("spaces around") << "SUPER" << QStringList{"  SuPeR "} << true;
        // Each keystroke is a change: "SUPERB" would match on its way.
        QTest::newRow("wrong") << "SUPER" << QStringList{"SUPPER"} << false;
        QTest::newRow("matched, then edited") << "SUPER" << QStringList{"super", "x"} << true;
        QTest::newRow("inner space") << "SU PER" << QStringList{"su per"} << true;
        QTest::newRow("failure text")
            << "IMPOSSIBLE DE DÉCRYPTER" << QStringList{"impossible de décrypter"} << true;
        // Upper case within code page 1252, as the stored password is.
        QTest::newRow("ß stays") << "STRAßE" << QStringList{"straße"} << true;
        QTest::newRow("µ stays") << "µ1" << QStringList{"µ1"} << true;
        QTest::newRow("ÿ to Ÿ") << "ŸES" << QStringList{"ÿes"} << true;
        QTest::newRow("ƒ stays") << "ƒ" << QStringList{"ƒ"} << true;
    }
    void loginMatch()
    {
        QFETCH(QString, password);
        QFETCH(QStringList, typed);
        QFETCH(bool, valide);
        Parametres.MotDePasse = password;
        frmPwd dialog;
        dialog.show();
        QVERIFY(!child<QPushButton>(&dialog, "cmdModifier")->isVisible());
        QVERIFY(!dialog.Valide);
        for (const QString& t : typed)
            type(&dialog, "txtPwd", t);
        QCOMPARE(dialog.Valide, valide);
        QCOMPARE(child<QPushButton>(&dialog, "cmdModifier")->isVisible(), valide);
    }

    // No password set: the field is disabled and the login already accepted.
    void loginWithoutPassword()
    {
        frmPwd dialog;
        dialog.show();
        QCOMPARE(QGuiApplication::applicationDisplayName(), text(121));
        QVERIFY(dialog.Valide);
        QVERIFY(child<QPushButton>(&dialog, "cmdModifier")->isVisible());
        QVERIFY(!child<QLineEdit>(&dialog, "txtPwd")->isEnabled());
        QVERIFY(!child<QLabel>(&dialog, "Label1")->isEnabled());
        click(&dialog, "cmdOK");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    }

    // Annuler, Escape and the close box after a match.
    void loginLeave_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("valide");
        QTest::newRow("cancel") << "cancel" << false;
        QTest::newRow("escape") << "escape" << false;
        QTest::newRow("close box") << "close" << true;
    }
    void loginLeave()
    {
        QFETCH(QString, action);
        QFETCH(bool, valide);
        Parametres.MotDePasse = QStringLiteral("SUPER");
        frmPwd dialog;
        dialog.show();
        type(&dialog, "txtPwd", QStringLiteral("super"));
        if (action == "cancel")
            click(&dialog, "cmdCancel");
        else if (action == "escape")
            QTest::keyClick(child<QLineEdit>(&dialog, "txtPwd"), Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Valide, valide);
    }

    // The password change in shared-folder mode: the file gets the
    // scrambled password, upper-cased within code page 1252; a mismatch, or
    // a character the code page lacks, keeps the dialog open; the same
    // password again stores nothing.
    void passwordChange_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("tries");   // "new|confirmation", in order
        QTest::addColumn<QList<int>>("refusals"); // messages before the store
        QTest::addColumn<QString>("stored");      // in supervis.ini; "-" nothing stored
        QTest::newRow("mismatch, then agreed")
            << "SUPER" << QStringList{"abc|abd", "abc|abc"} << QList<int>{109} << "ABC";
        QTest::newRow("the same again")
            << "SUPER" << QStringList{"super|super"} << QList<int>{} << "-";
        QTest::newRow("empty") << "SUPER" << QStringList{"|"} << QList<int>{} << "";
        QTest::newRow("set from empty") << "" << QStringList{"abc|abc"} << QList<int>{} << "ABC";
        QTest::newRow("code page letters")
            << "SUPER" << QStringList{"aµƒßÿ|aµƒßÿ"} << QList<int>{} << "AµƒßŸ";
        QTest::newRow("µ is not Greek Μ")
            << "SUPER" << QStringList{"µ|Μ", "µ|µ"} << QList<int>{109} << "µ";
        QTest::newRow("outside the code page")
            << "SUPER" << QStringList{"Ωa|Ωa", "qz|qz"} << QList<int>{1322} << "QZ";
    }
    void passwordChange()
    {
        QFETCH(QString, current);
        QFETCH(QStringList, tries);
        QFETCH(QList<int>, refusals);
        QFETCH(QString, stored);
        const QString share = useSharedFolder();
        Parametres.MotDePasse = current;
        Parametres.NouveauMotDePasse = current;

        frmPwd dialog;
        dialog.show();
        type(&dialog, "txtPwd", current);
        click(&dialog, "cmdModifier");
        QVERIFY(child<QLineEdit>(&dialog, "Text2")->isVisible());
        QVERIFY(child<QLineEdit>(&dialog, "Text3")->isVisible());
        for (const QString& attempt : tries) {
            type(&dialog, "Text2", attempt.section(u'|', 0, 0));
            type(&dialog, "Text3", attempt.section(u'|', 1, 1));
            click(&dialog, "cmdOK");
        }
        QVERIFY(!dialog.isVisible());
        QStringList texts, expected;
        for (const UiRecorder::Call& call : UiRecorder::callsOf(Kind::MessageBox))
            texts.append(call.text);
        for (int n : refusals)
            expected.append(text(n));
        if (stored != "-")
            expected.append(text(115));
        QCOMPARE(texts, expected);
        const QByteArray file = readFile(share + QStringLiteral("/supervis.ini"));
        if (stored == "-") {
            QVERIFY(file.isEmpty());
            return;
        }
        QCOMPARE(Parametres.MotDePasse, stored);
        const QByteArray plain = Cp1252::fromUnicode(stored);
        QVERIFY(file.contains("mot_de_passe=" + PasswordScrambler::Crypter(plain) + "\r\n"));
        QVERIFY(stored.isEmpty() || !file.contains(plain));
    }

    // Every message box of the login dialog: its text, title, icon and
    // buttons.
    void loginMessages_data()
    {
        QTest::addColumn<QStringList>("steps"); // "field=text" types, "!button" clicks
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("title");
        QTest::addColumn<int>("icon");
        const int exclamation = int(UiServices::Icon::Exclamation);
        const QStringList change = {"txtPwd=super", "!cmdModifier"};
        QTest::newRow("wrong password")
            << QStringList{"txtPwd=x", "!cmdOK"} << 105 << 103 << exclamation;
        QTest::newRow("confirmation differs")
            << change + QStringList{"Text2=a", "Text3=b", "!cmdOK"} << 109 << 103 << exclamation;
        QTest::newRow("outside the code page")
            << change + QStringList{"Text2=Ω", "Text3=Ω", "!cmdOK"} << 1322 << 103 << exclamation;
        QTest::newRow("password stored") << change + QStringList{"Text2=a", "Text3=a", "!cmdOK"}
                                         << 115 << 103 << int(UiServices::Icon::Information);
        QTest::newRow("another instance") << QStringList{} << 120 << 121 << exclamation;
    }
    void loginMessages()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, title);
        useSharedFolder();
        Parametres.MotDePasse = QStringLiteral("SUPER");
        QLockFile other(InstanceLock::LockFilePath()); // another instance's
        if (steps.isEmpty()) {
            InstanceLock::Release();
            QVERIFY(other.tryLock(0));
        }
        std::unique_ptr<frmPwd> dialog;
        QCOMPARE(UiRecorder::endsProgram([&] { dialog = std::make_unique<frmPwd>(); }),
                 steps.isEmpty());
        for (const QString& step : steps) {
            if (step.startsWith(u'!'))
                click(dialog.get(), qPrintable(step.mid(1)));
            else
                type(dialog.get(), qPrintable(step.section(u'=', 0, 0)), step.section(u'=', 1));
        }
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), 1);
        QFETCH(int, message);
        QCOMPARE(boxes[0].text, text(message));
        QCOMPARE(boxes[0].title, text(title));
        QTEST(int(boxes[0].icon), "icon");
        QCOMPARE(boxes[0].value, int(UiServices::Buttons::Ok));
    }

    // While a password change is being stored (the gateway runs pending
    // events), OK and Annuler are ignored.
    void busyGuard()
    {
        SlowServer server;
        Parametres.VS_addr = QStringLiteral("127.0.0.1");
        Parametres.TcpPort = qint16(server.tcp.serverPort());
        RecvTimeout = 10;
        Parametres.MotDePasse = QStringLiteral("SUPER");
        frmPwd dialog;
        dialog.show();
        type(&dialog, "txtPwd", QStringLiteral("super"));
        click(&dialog, "cmdModifier");
        type(&dialog, "Text2", QStringLiteral("new"));
        type(&dialog, "Text3", QStringLiteral("new"));
        bool busyMeanwhile = false;
        server.onFirstRequest = [&] {
            busyMeanwhile = UiServices::isBusy();
            click(&dialog, "cmdOK");
            click(&dialog, "cmdCancel");
            dialog.close();
        };
        click(&dialog, "cmdOK");
        QVERIFY(busyMeanwhile);
        QVERIFY(!UiServices::isBusy());
        QCOMPARE(server.requests, 2); // the login and one write
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 1);
        QCOMPARE(UiRecorder::callsOf(Kind::MessageBox)[0].text, text(115));
        QVERIFY(dialog.Valide);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // The About box: its texts, the build's version number, the logo of
    // zorcfg_l2.bmp or else the built-in one, the title from the product
    // name; Escape closes it.
    void about_data()
    {
        QTest::addColumn<bool>("picture"); // a zorcfg_l2.bmp in the program folder
        QTest::newRow("zorcfg_l2.bmp") << true;
        QTest::newRow("built-in logo") << false;
    }
    void about()
    {
        QFETCH(bool, picture);
        if (picture)
            QVERIFY(redSquare().save(programFile(QStringLiteral("zorcfg_l2.bmp")), "BMP"));
        frm_Apropos about;
        about.show();
        QCOMPARE(about.windowTitle(), text(1275));
        compareLabels(&about, {{"lbl_Avertissement", 1091}});
        QVERIFY(labelText(&about, "lbl_BuildVersion").endsWith(QStringLiteral(ZOR_VERSION)));
        QCOMPARE(child<QPushButton>(&about, "cmd_Ok")->text(), text(101));
        QCOMPARE(child<QGroupBox>(&about, "fra_Avertissement")->title(),
                 QStringLiteral("*Avertissement"));
        const QImage logo = picture ? redSquare() : Pictures::BuiltInLogo().toImage();
        QCOMPARE(pictureOf(&about, "Picture1").convertToFormat(QImage::Format_RGB32),
                 logo.convertToFormat(QImage::Format_RGB32));
        QTest::keyClick(child<QPushButton>(&about, "cmd_Ok"), Qt::Key_Escape);
        QVERIFY(!about.isVisible());
    }

    // The busy flag of the Qt services is the wait cursor, set once however
    // often it is asked for, and can be queried.
    void busyCursor()
    {
        const UiServices::Hooks recorder = UiServices::hooks();
        QtUi::install();
        UiServices::setBusy(true);
        UiServices::setBusy(true);
        const bool busy = UiServices::isBusy();
        const Qt::CursorShape shape = QApplication::overrideCursor()
                                          ? QApplication::overrideCursor()->shape()
                                          : Qt::ArrowCursor;
        UiServices::setBusy(false);
        const bool cleared = QApplication::overrideCursor() == nullptr;
        UiServices::hooks() = recorder;
        QVERIFY(busy);
        QCOMPARE(shape, Qt::WaitCursor);
        QVERIFY(cleared);
        QVERIFY(!UiServices::isBusy());
    }

    // Every control a user can reach has a name for screen readers, and Tab
    // goes through them in reading order; the help button asks for the
    // window's help context.
    void accessibilityAndHelp_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("tabOrder");
        QTest::addColumn<int>("help"); // 0: no help button
        QTest::newRow("connection")
            << "frmconnexion" << QStringList{"txtserveur", "cmdOK", "cmdAnnuler", "cmdAide"} << 204;
        QTest::newRow("login") << "frmPwd"
                               << QStringList{"txtPwd",    "Text2",       "Text3",  "cmdOK",
                                              "cmdCancel", "cmdModifier", "cmdAide"}
                               << 110;
        QTest::newRow("about") << "frm_Apropos" << QStringList{"cmd_Ok"} << 0;
    }
    void accessibilityAndHelp()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, tabOrder);
        QFETCH(int, help);
        Parametres.MotDePasse = QStringLiteral("SUPER");
        std::unique_ptr<QDialog> dialog;
        if (window == "frmPwd") {
            auto* login = new frmPwd;
            dialog.reset(login);
            type(login, "txtPwd", QStringLiteral("super"));
            click(login, "cmdModifier");
        } else if (window == "frmconnexion") {
            dialog = std::make_unique<frmconnexion>();
        } else {
            dialog = std::make_unique<frm_Apropos>();
        }
        dialog->show();
        QStringList order;
        QWidget* first = dialog->nextInFocusChain();
        int steps = 0;
        for (QWidget* w = first; ++steps < 100; w = w->nextInFocusChain()) {
            if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                if (order.contains(w->objectName()))
                    break;
                order.append(w->objectName());
                QAccessibleInterface* access = QAccessible::queryAccessibleInterface(w);
                QVERIFY2(access && !access->text(QAccessible::Name).isEmpty(),
                         qPrintable(w->objectName()));
            }
        }
        const qsizetype start = order.indexOf(tabOrder.first());
        QVERIFY(start >= 0);
        QCOMPARE(order.mid(start) + order.mid(0, start), tabOrder);
        if (help == 0)
            return;
        click(dialog.get(), "cmdAide");
        const QList<UiRecorder::Call> calls = UiRecorder::callsOf(Kind::Help);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].value, help);
        QCOMPARE(calls[0].text, HelpFile);
    }
};

QTEST_MAIN(TstSession)
#include "tst_session.moc"
