// The configuration window end to end, in both modes: start-up as the
// program runs it (station file, station settings, model rights, supervisor
// settings), the window's load with the agents' rights, the supervisor's
// edits, then OK or Cancel, checked on what was stored: the INI files of the
// shared folder byte for byte, or the records of a real zorsrv read back over
// its protocol. A scripted server that answers late checks what OK, Cancel
// and the close box do while a store waits.

#include "AgentsModel.h"
#include "ColourChooser.h"
#include "EditorTestSupport.h"
#include "Layout.h"
#include "Passerelle.h"
#include "RawClient.h"
#include "RemoteStore.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmCFG.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <utility>

using namespace EditorTestSupport;
using UiRecorder::Kind;
namespace L = Layout;

namespace {

const QByteArray AgentTwoFile = "[SUPER]\r\nDroit_Modif_Group=1\r\nDroit_Modif_Fiche=1\r\n"
                                "Droit_Preference=1\r\nDroit_Modif_MotDePasse=1\r\n"
                                "Droit_Qualif=1\r\nDroit_Stat=1\r\nDroit_ListeAppel=1\r\n"
                                "[CONFIG]\r\nmot_de_passe=Xq7sR2\r\n";

qint32 intAt(const QByteArray& data, int offset)
{
    return L::readInt(reinterpret_cast<const quint8*>(data.constData()), offset);
}

// The agent record of agent 2 as a desktop left it: every right granted and
// a password.
QByteArray agentTwoRecord()
{
    QByteArray data(L::AgentDataSize, '\0');
    auto* bytes = reinterpret_cast<quint8*>(data.data());
    for (int i = 0; i < 7; ++i)
        L::writeInt(bytes, L::Agent::Droit_Modif_Group + 4 * i, 1);
    data.replace(L::Agent::Password, 6, "Xq7sR2");
    return data;
}

// The controls of the General page and a colour box, the setting each is
// stored in, its value after start-up and the value an edit gives it (a
// click for the boxes, the chooser's answer for the colour).
struct GeneralField
{
    const char* control;
    const char* key;
    const char* before;
    const char* after;
};

constexpr GeneralField GeneralFields[] = {
    {"txtT1", "TauxActiviteT1", "30", "20"},
    {"txtT2", "TauxActiviteT2", "70", "80"},
    {"txtNbJour", "NbJourStockJournal", "0", "12"},
    {"optModeSpec", "ModeLie", "0", "2"},
    {"Text1", "ModeLieApp", "Wscript.exe Post_it.vbs", "run.exe"},
    {"Etatinterdit", "Etatinterdit", "0", "1"},
    {"CmtAuto", "CmtAuto", "0", "1"},
    {"picGrS2", "CouleurGrS2", "255", "16711680"},
};

QString storedMessage()
{
    return message(313).replace(QStringLiteral("|1"), QStringLiteral("\r\n"));
}

// A stand-in for a configuration server built to the design: it answers the
// login, reads and writes (holding back its answer to a write until told: the
// store waits in the gateway meanwhile) and refuses every other request.
struct SlowServer
{
    QTcpServer tcp;
    std::function<void()> onWriteWaiting;
    int writes = 0;

    SlowServer()
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] {
            while (QTcpSocket* socket = tcp.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { serve(socket); });
                socket->write(QByteArray(L::HeaderSize, '\0'));
            }
        });
        tcp.listen(QHostAddress::LocalHost, 0);
    }

    static QByteArray answer(const QByteArray& data)
    {
        QByteArray header(L::HeaderSize, '\0');
        L::writeInt(reinterpret_cast<quint8*>(header.data()), L::Header::DataLength,
                    qint32(data.size()));
        return header + data;
    }

    void serve(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        for (;;) {
            if (pending.size() < L::HeaderSize)
                return;
            const qint32 length = intAt(pending, L::Header::Length);
            const qsizetype size = length == L::BlockSize ? L::BlockSize : L::HeaderSize;
            if (pending.size() < size)
                return;
            const qint32 request = intAt(pending, L::Header::Request);
            const qint32 record = intAt(pending, L::Header::Record);
            pending.remove(0, size);
            if (request == L::RequestWrite) {
                ++writes;
                // The client waits for this answer now; the hook runs once.
                if (const auto hook = std::exchange(onWriteWaiting, nullptr))
                    hook();
                socket->write(answer({}));
            } else if (request == L::RequestRead) {
                socket->write(answer(
                    QByteArray(record < 0 ? L::SupervisorDataSize : L::AgentDataSize, '\0')));
            } else if (request == L::RequestOpenSession) {
                socket->write(answer({}));
            } else {
                QByteArray refusal = answer({});
                L::writeInt(reinterpret_cast<quint8*>(refusal.data()), L::Header::Status, 2);
                L::writeInt(reinterpret_cast<quint8*>(refusal.data()), L::Header::Error, -8);
                socket->write(refusal);
            }
        }
    }

    QHash<QTcpSocket*, QByteArray> m_pending;
};

} // namespace

class TestEditorEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void rightsAndPassword_data() { modes(); }
    void rightsAndPassword();
    void generalFields_data();
    void generalFields();
    void noChange_data() { modes(); }
    void noChange();
    void whileStoring_data();
    void whileStoring();
    void historyButton_data();
    void historyButton();

private:
    void modes()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("shared folder") << false;
        QTest::newRow("server") << true;
    }
    // Start-up in the mode of the row, then the window.
    void start();
    // The window over the scripted server.
    void startDesigned(const SlowServer& slow);
    QByteArray record(qint32 number);
    // What is stored, whichever the mode: the folder's files or the server's
    // dump.
    QByteArray storedState();
    // The settings of the General page as stored, by key.
    QMap<QString, QString> storedGeneral();
    void clickOk() { QTest::mouseClick(child<QPushButton>(m_window, "cmdOK"), Qt::LeftButton); }

    std::unique_ptr<Setup> m_setup;
    std::unique_ptr<ZorsrvProcess> m_server;
    QPointer<frmCFG> m_window;
    bool m_serverMode = false;
};

void TestEditorEndToEnd::init()
{
    m_setup = std::make_unique<Setup>();
}

void TestEditorEndToEnd::cleanup()
{
    delete m_window.data();
    m_server.reset();
    m_setup.reset();
}

void TestEditorEndToEnd::start()
{
    QFETCH(bool, server);
    m_serverMode = server;
    quint16 port = 0;
    if (server) {
        m_server = std::make_unique<ZorsrvProcess>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
        port = m_server->port();
        RawClient client;
        QVERIFY(client.connectTo(port));
        QCOMPARE(client.login(), 0);
        QCOMPARE(client.write(1, agentTwoRecord()).code(), 0);
    } else {
        writeFile(m_setup->sharedFile(QStringLiteral("agent002.ini")), AgentTwoFile);
    }
    m_setup->startUp(port, 0);
    QCOMPARE(Parametres.TcpPort, qint16(port));
    m_window = openWindow();
    UiRecorder::install();
}

QByteArray TestEditorEndToEnd::record(qint32 number)
{
    RawClient client;
    if (!client.connectTo(m_server->port()) || client.login() != 0)
        return {};
    return client.read(number).data;
}

QByteArray TestEditorEndToEnd::storedState()
{
    if (m_serverMode)
        return ZorsrvProcess::run({"dump", "--db", m_server->databasePath()}).out;
    QByteArray all;
    const QMap<QString, QByteArray> files = snapshot(m_setup->sharedFolder());
    for (auto it = files.begin(); it != files.end(); ++it)
        all += it.key().toUtf8() + '\n' + it.value() + '\n';
    return all;
}

QMap<QString, QString> TestEditorEndToEnd::storedGeneral()
{
    QMap<QString, QString> values;
    if (m_serverMode) {
        const QByteArray data = record(-1);
        namespace S = L::Supervisor;
        for (const auto& [key, offset] : {std::pair{"TauxActiviteT1", S::TauxActiviteT1},
                                          {"TauxActiviteT2", S::TauxActiviteT2},
                                          {"NbJourStockJournal", S::NbJourStockJournal},
                                          {"ModeLie", S::ModeLie},
                                          {"Etatinterdit", S::Etatinterdit},
                                          {"CmtAuto", S::CmtAuto},
                                          {"CouleurGrS2", S::Colours + 48}})
            values[key] = QString::number(intAt(data, offset));
        const QByteArray app = data.mid(S::ModeLieApp, S::ModeLieAppWidth);
        values[QStringLiteral("ModeLieApp")] = QString::fromLatin1(app.left(app.indexOf('\0')));
        return values;
    }
    const QList<QByteArray> lines = readFile(m_setup->sharedFile("supervis.ini")).split('\n');
    for (const QByteArray& line : lines) {
        if (const qsizetype equals = line.indexOf('='); equals > 0)
            values[QString::fromLatin1(line.left(equals))] =
                QString::fromLatin1(line.mid(equals + 1).trimmed());
    }
    return values;
}

// OK stores each field of the General page and a colour, alone or with
// others (a check box among them): the new value of each changed field, the
// old one of the others.
void TestEditorEndToEnd::generalFields_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QStringList>("edits"); // the controls changed
    for (const bool server : {false, true}) {
        const char* mode = server ? "server" : "shared folder";
        for (const GeneralField& field : GeneralFields)
            QTest::addRow("%s, %s", mode, field.control) << server << QStringList{field.control};
        QTest::addRow("%s, T1 and a check box", mode) << server << QStringList{"txtT1", "CmtAuto"};
        QStringList all;
        for (const GeneralField& field : GeneralFields)
            all << field.control;
        QTest::addRow("%s, every field", mode) << server << all;
    }
}

void TestEditorEndToEnd::generalFields()
{
    QFETCH(QStringList, edits);
    start();
    ColourChooser::install([](qint32, QWidget*) { return std::optional<qint32>(16711680); });
    for (const GeneralField& field : GeneralFields) {
        if (!edits.contains(QLatin1String(field.control)))
            continue;
        auto* control = m_window->findChild<QWidget*>(field.control);
        const bool colour = qobject_cast<QPushButton*>(control) != nullptr;
        child<QTabWidget>(m_window, "tbsOptions")->setCurrentIndex(colour ? 1 : 0); // its page
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setText(field.after);
        else
            clickBox(control);
    }
    clickOk();
    const QMap<QString, QString> stored = storedGeneral();
    for (const GeneralField& field : GeneralFields) {
        const bool edited = edits.contains(QLatin1String(field.control));
        QVERIFY2(stored.value(field.key) == (edited ? field.after : field.before),
                 qPrintable(QStringLiteral("%1: %2").arg(field.key, stored.value(field.key))));
    }
}

void TestEditorEndToEnd::rightsAndPassword()
{
    start();
    auto* list = child<QTreeView>(m_window, "lvListView");
    child<QTabWidget>(m_window, "tbsOptions")->setCurrentIndex(2);
    list->setCurrentIndex(list->model()->index(1, 0));
    onNextModal([](QWidget* dialog) {
        clickBox(child<QCheckBox>(dialog, "chkStat"));
        clickBox(child<QCheckBox>(dialog, "chkPass"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(m_window, "cmdProprietes"), Qt::LeftButton);
    QCOMPARE(m_window->agentsModel().rows()[1].cells[AgentsList::ColChangeState],
             QStringLiteral("3"));
    clickOk();
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, storedMessage());
    QVERIFY(boxes.first().text.contains(QStringLiteral("\r\n")));
    QCOMPARE(boxes.first().icon, UiServices::Icon::Information);
    QCOMPARE(boxes.first().title, message(121));
    QVERIFY(!m_window->isVisible());
    if (m_serverMode) {
        const QByteArray agent = record(1);
        QCOMPARE(intAt(agent, L::Agent::Droit_Stat), 0);
        QCOMPARE(intAt(agent, L::Agent::Droit_Qualif), 1);
        QCOMPARE(intAt(agent, L::Agent::Droit_Modif_Fiche), 1);
        QCOMPARE(agent.at(L::Agent::Password), '\0');
        QCOMPARE(intAt(record(0), L::Agent::Droit_Stat), -1); // agent 1 untouched
        QCOMPARE(intAt(record(-1), L::Supervisor::TauxActiviteT1), 30);
    } else {
        QByteArray expected = AgentTwoFile;
        expected.replace("Droit_Stat=1", "Droit_Stat=0").replace("=Xq7sR2", "=");
        QCOMPARE(readFile(m_setup->sharedFile(QStringLiteral("agent002.ini"))), expected);
        QVERIFY(readFile(m_setup->sharedFile(QStringLiteral("supervis.ini")))
                    .contains("\r\nTauxActiviteT1= 30\r\n"));
    }
}

void TestEditorEndToEnd::noChange()
{
    start();
    const QByteArray before = storedState();
    clickOk();
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(storedState(), before);
}

// While a store waits for the server (OK's, or a language change's), Cancel
// and OK are ignored. The close box is not: it unloads the window that hosts
// the gateway's socket, under the wait; the transfer fails with the code of a
// lost connection, its message shows and the program ends.
void TestEditorEndToEnd::whileStoring_data()
{
    QTest::addColumn<bool>("language"); // the language change's store, else OK's
    QTest::addColumn<bool>("closeBox"); // else Cancel, then OK
    QTest::newRow("OK's store, Cancel and OK") << false << false;
    QTest::newRow("language change's store, Cancel and OK") << true << false;
    QTest::newRow("a store, close box") << false << true;
    QTest::newRow("language change's store, close box") << true << true;
}

void TestEditorEndToEnd::startDesigned(const SlowServer& slow)
{
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.VS_port = QStringLiteral("20772");
    Parametres.TcpPort = qint16(slow.tcp.serverPort());
    Parametres.Poste = QStringLiteral("0000");
    RecvTimeout = 10;
    Parametres.TauxActiviteT1 = 30;
    Parametres.TauxActiviteT2 = 70;
    Setup::useLanguage(1);
    m_window = openWindow();
    UiRecorder::install();
}

void TestEditorEndToEnd::whileStoring()
{
    QFETCH(bool, language);
    QFETCH(bool, closeBox);
    SlowServer slow;
    // The socket's host, as the splash window is in the program.
    auto host = std::make_unique<QWidget>();
    Passerelle::SetSocket(new QTcpSocket(host.get()));
    frmCFG::sessionWindows().unloadSplash = [&host] { host.reset(); };
    startDesigned(slow);
    bool openDuringWait = false;
    slow.onWriteWaiting = [&] {
        if (closeBox) {
            m_window->close();
            return;
        }
        QTest::mouseClick(child<QPushButton>(m_window, "cmdCancel"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(m_window, "cmdOK"), Qt::LeftButton);
        openDuringWait = m_window->isVisible();
    };
    const bool ended = UiRecorder::endsProgram([&] {
        if (language) {
            auto* languages = child<QComboBox>(m_window, "cboLangue_0");
            languages->setCurrentIndex(2);
            leaveField(languages);
        } else if (closeBox) {
            // As OK's store, without a click: an end that leaves through a
            // button's signal would leave the button's guard behind.
            RemoteStore::StoreSupervisorSettings();
        } else {
            child<QLineEdit>(m_window, "txtNbJour")->setText(QStringLiteral("9"));
            clickOk();
        }
    });
    QCOMPARE(ended, closeBox);
    QCOMPARE(slow.writes, 1);
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), language && !closeBox ? 0 : 1);
    if (closeBox) {
        QCOMPARE(boxes.first().text, message(1285) + QStringLiteral(" (No Connect)"));
        QVERIFY(!host);
        return;
    }
    QVERIFY(openDuringWait);
    QCOMPARE(m_window->isVisible(), language); // OK's store closes the window
    if (!language)
        QCOMPARE(boxes.first().text, storedMessage());
}

// History, and the rights dialog's link to it, only with a server that
// answers the history request.
void TestEditorEndToEnd::historyButton_data()
{
    modes();
    QTest::newRow("server built to the design") << true;
}

void TestEditorEndToEnd::historyButton()
{
    SlowServer slow;
    const bool designed = QByteArray(QTest::currentDataTag()).contains("design");
    if (designed)
        startDesigned(slow);
    else
        start();
    const bool shown = m_serverMode && !designed;
    QCOMPARE(child<QPushButton>(m_window, "History")->isVisibleTo(m_window), shown);
    bool linkShown = !shown;
    child<QTabWidget>(m_window, "tbsOptions")->setCurrentIndex(2);
    onNextModal([&](QWidget* dialog) {
        linkShown = child<QLabel>(dialog, "lblHistory")->isVisibleTo(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(child<QPushButton>(m_window, "cmdProprietes"), Qt::LeftButton);
    QCOMPARE(linkShown, shown);
    QCOMPARE(slow.writes, 0);
}

QTEST_MAIN(TestEditorEndToEnd)
#include "tst_editor_e2e.moc"
