// The configuration window offscreen, driven by its controls' names, in
// shared-folder mode over a temporary shared folder: the frame (load, tabs,
// keys, help, OK and Cancel guards, close), the General and Couleurs pages,
// and the Agents page with the agent directory faked.

#include "AgentDirectory.h"
#include "AgentsModel.h"
#include "ColourChooser.h"
#include "EditorTestSupport.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "mCustomIcon.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <memory>

#include <unistd.h>

using namespace EditorTestSupport;
using UiRecorder::Kind;

namespace {

QStringList messageTexts()
{
    QStringList texts;
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    for (const UiRecorder::Call& call : boxes)
        texts << call.text;
    return texts;
}

QList<int> helpContexts()
{
    QList<int> contexts;
    const QList<UiRecorder::Call> calls = UiRecorder::callsOf(Kind::Help);
    for (const UiRecorder::Call& call : calls)
        contexts << call.value;
    return contexts;
}

// The agent automation server, scripted: the table it gives or the error it
// raises, and every call made to it.
struct FakeDirectory
{
    QList<AgentDirectory::AgentNameEntry> table;
    qint32 listError = 0; // 0: the table is given
    QStringList calls;

    // The number of rows the window's list holds right now.
    static int listedRows()
    {
        const QList<QWidget*> windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* list = window->findChild<QTreeView*>(QStringLiteral("lvListView")))
                return list->model()->rowCount();
        }
        return -1;
    }

    void install()
    {
        AgentDirectory::install([this] {
            AgentDirectory::Connection c;
            c.ServerAddress = [this](const QString& a) {
                calls << QStringLiteral("ServerAddress ") + a;
            };
            c.ServerPort = [this](qint32 p) { calls << QStringLiteral("ServerPort %1").arg(p); };
            c.Extension = [this](const QString& e) { calls << QStringLiteral("Extension ") + e; };
            c.OpenLink = [this] { calls << QStringLiteral("OpenLink"); };
            c.CloseLink = [this] {
                calls << QStringLiteral("CloseLink rows=%1").arg(listedRows());
            };
            c.GetAgentNameList = [this] {
                calls << QStringLiteral("GetAgentNameList");
                if (listError != 0)
                    throw AgentDirectory::Error{listError, QStringLiteral("scripted failure")};
                return table;
            };
            return c;
        });
    }
};

QList<AgentDirectory::AgentNameEntry> agentsNumbered(const QList<int>& numbers)
{
    QList<AgentDirectory::AgentNameEntry> table;
    for (int n : numbers)
        table.append({n, QStringLiteral("  Agent %1 ").arg(n), {}});
    return table;
}

} // namespace

class TestFrmCfg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void load();
    void columns_data();
    void columns();
    void keyboard_data();
    void keyboard();
    void help_data();
    void help();
    void fieldCheck_data();
    void fieldCheck();
    void modeOption_data();
    void modeOption();
    void thresholdLabels();
    void colourChooser_data();
    void colourChooser();
    void thresholdOrder_data();
    void thresholdOrder();
    void unchangedOk();
    void busyGuard_data();
    void busyGuard();
    void directory_data();
    void directory();
    void directoryCalls();
    void directoryFailure_data();
    void directoryFailure();
    void languageChange_data();
    void languageChange();
    void sameLanguage();
    void accessibleNames();
    void closeHandling_data();
    void closeHandling();
    void version();
    void icons_data();
    void icons();

private:
    frmCFG* open()
    {
        m_window = openWindow();
        return m_window;
    }
    std::unique_ptr<Setup> m_setup;
    QPointer<frmCFG> m_window;
    QMap<QString, QByteArray> m_before; // the shared folder after start-up
};

void TestFrmCfg::init()
{
    m_setup = std::make_unique<Setup>();
    m_setup->startUp(0, 1);
    m_setup->useLanguage(1);
    UiRecorder::install();
    m_before = snapshot(m_setup->sharedFolder());
}

void TestFrmCfg::cleanup()
{
    delete m_window.data();
    m_setup.reset();
}

void TestFrmCfg::load()
{
    frmCFG* w = open();
    QCOMPARE(w->windowTitle(), message(121));
    auto* tabs = child<QTabWidget>(w, "tbsOptions");
    QCOMPARE(tabs->tabText(0), message(215));
    QCOMPARE(tabs->tabText(1), message(216));
    QCOMPARE(tabs->tabText(2), message(217));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(w->HelpContextID, 120);
    QVERIFY(child<QWidget>(w, "picOptions_0")->isEnabled());
    QVERIFY(!child<QWidget>(w, "picOptions_2")->isEnabled());
    AgentsModel& agents = w->agentsModel();
    QCOMPARE(agents.rowCount(), 32);
    QCOMPARE(agents.key(0), QStringLiteral("AGENT_1"));
    QCOMPARE(agents.key(31), QStringLiteral("AGENT_32"));
    QCOMPARE(agents.rows()[6].cells[AgentsList::ColName], QString());
    // The model file grants every yes/no right and the comment field.
    QCOMPARE(agents.rows()[6].cells[AgentsList::ColStatistics], QStringLiteral("X"));
    QCOMPARE(agents.rows()[6].cells[AgentsList::ColRecordsAll], QString());
    QCOMPARE(agents.rows()[6].cells[AgentsList::ColRecordsComment], QStringLiteral("X"));
    QCOMPARE(messageTexts(),
             QStringList{message(256) + QStringLiteral(" [zor_ini 429 no agent directory]")});
    QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).first().title, message(224));
    QCOMPARE(child<QComboBox>(w, "cboLangue_0")->count(), 3);
    QCOMPARE(child<QComboBox>(w, "cboLangue_1")->itemText(2), QStringLiteral("2"));
    QCOMPARE(child<QComboBox>(w, "cboLangue_0")->currentIndex(), 1);
    QCOMPARE(child<QLineEdit>(w, "txtT1")->text(), QStringLiteral("30"));
    QCOMPARE(child<QLineEdit>(w, "Text1")->text(), QStringLiteral("Wscript.exe Post_it.vbs"));
    QCOMPARE(frmCFG::boxColour(child<QPushButton>(w, "picEtatSatu")), 33023);
}

void TestFrmCfg::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("message");
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("alignment");
    const int left = Qt::AlignLeft, centre = Qt::AlignHCenter;
    QTest::newRow("number") << 0 << 226 << 350 << left;
    QTest::newRow("name") << 1 << 227 << 950 << left;
    QTest::newRow("group") << 2 << 255 << 500 << centre;
    QTest::newRow("preferences") << 3 << 228 << 530 << centre;
    QTest::newRow("password") << 4 << 229 << 500 << centre;
    QTest::newRow("qualify") << 5 << 230 << 530 << centre;
    QTest::newRow("statistics") << 6 << 231 << 500 << centre;
    QTest::newRow("journal") << 7 << 232 << 550 << centre;
    QTest::newRow("records") << 8 << 233 << 580 << centre;
    QTest::newRow("comment") << 9 << 234 << 550 << centre;
}

void TestFrmCfg::columns()
{
    QFETCH(int, column);
    QFETCH(int, message);
    QFETCH(int, twips);
    QFETCH(int, alignment);
    frmCFG* w = open();
    auto* list = child<QTreeView>(w, "lvListView");
    QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(),
             EditorTestSupport::message(message));
    // The designed width, or more where this screen's font needs it.
    const int designed = qRound(twips * list->logicalDpiX() / 1440.0);
    const QAbstractItemView* view = list;
    const int fitted =
        qMax(list->header()->sectionSizeHint(column), view->sizeHintForColumn(column));
    QCOMPARE(list->header()->sectionSize(column), qMax(designed, fitted));
    const auto cellAlignment =
        list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    QCOMPARE(int(cellAlignment & Qt::AlignHorizontal_Mask), alignment);
    QVERIFY(list->isColumnHidden(AgentsList::ColChangeState));
    QCOMPARE(list->model()->columnCount(), 11);
}

void TestFrmCfg::keyboard_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("help");
    const int ctrl = Qt::ControlModifier, ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("ctrl+tab from general") << 0 << ctrl << 1 << 122;
    QTest::newRow("ctrl+tab from couleurs") << 1 << ctrl << 2 << 123;
    QTest::newRow("ctrl+tab wraps to general") << 2 << ctrl << 0 << 121;
    QTest::newRow("ctrl+shift+tab does nothing") << 2 << ctrlShift << 2 << 123;
}

void TestFrmCfg::keyboard()
{
    QFETCH(int, start);
    QFETCH(int, modifiers);
    QFETCH(int, tab);
    QFETCH(int, help);
    frmCFG* w = open();
    auto* tabs = child<QTabWidget>(w, "tbsOptions");
    tabs->setCurrentIndex(start);
    QWidget* page = tabs->currentWidget();
    const auto key = modifiers & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab;
    QTest::keyClick(page, key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(tabs->currentIndex(), tab);
    QCOMPARE(w->HelpContextID, help);
    for (int i = 0; i < tabs->count(); ++i)
        QCOMPARE(tabs->widget(i)->isEnabled(), i == tab);
}

void TestFrmCfg::help_data()
{
    QTest::addColumn<int>("tab"); // -1: as loaded
    QTest::addColumn<int>("context");
    QTest::newRow("after load") << -1 << 120;
    QTest::newRow("general") << 0 << 121;
    QTest::newRow("couleurs") << 1 << 122;
    QTest::newRow("agents") << 2 << 123;
}

void TestFrmCfg::help()
{
    QFETCH(int, tab);
    QFETCH(int, context);
    frmCFG* w = open();
    auto* tabs = child<QTabWidget>(w, "tbsOptions");
    if (tab >= 0) {
        tabs->setCurrentIndex((tab + 1) % 3);
        tabs->setCurrentIndex(tab);
    }
    QTest::mouseClick(child<QPushButton>(w, "cmdAide"), Qt::LeftButton);
    QCOMPARE(helpContexts(), QList<int>{context});
    QCOMPARE(UiRecorder::callsOf(Kind::Help).first().text, HelpFile);
}

void TestFrmCfg::fieldCheck_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("beeps");
    QTest::newRow("days below 0") << "txtNbJour"
                                  << "-5"
                                  << "0" << 1;
    QTest::newRow("days above 40") << "txtNbJour"
                                   << "55"
                                   << "40" << 1;
    QTest::newRow("days 40 stays") << "txtNbJour"
                                   << "40"
                                   << "40" << 0;
    QTest::newRow("days with blanks") << "txtNbJour"
                                      << " 12 "
                                      << "12" << 0;
    QTest::newRow("days with a word") << "txtNbJour"
                                      << "7 days"
                                      << "7" << 0;
    QTest::newRow("T1 100") << "txtT1"
                            << "100"
                            << "30" << 1;
    QTest::newRow("T1 letters") << "txtT1"
                                << "abc"
                                << "0" << 0;
    QTest::newRow("T1 99 stays") << "txtT1"
                                 << "99"
                                 << "99" << 0;
    QTest::newRow("T1 fraction passes") << "txtT1"
                                        << "12.5"
                                        << "12.5" << 0;
    QTest::newRow("T2 -1") << "txtT2"
                           << "-1"
                           << "70" << 1;
    QTest::newRow("T2 0 stays") << "txtT2"
                                << "0"
                                << "0" << 0;
}

void TestFrmCfg::fieldCheck()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, beeps);
    frmCFG* w = open();
    auto* edit = w->findChild<QLineEdit*>(field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    leaveField(edit);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(UiRecorder::count(Kind::Beep), beeps);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 1); // only the directory's, at load
}

void TestFrmCfg::modeOption_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("appEnabled");
    QTest::newRow("integrated") << 0 << "optModeStd" << false;
    QTest::newRow("linked") << 1 << "optModeLie" << false;
    QTest::newRow("specific") << 2 << "optModeSpec" << true;
    QTest::newRow("unknown 5") << 5 << "optModeStd" << false;
}

void TestFrmCfg::modeOption()
{
    QFETCH(int, mode);
    QFETCH(QString, option);
    QFETCH(bool, appEnabled);
    Parametres.ModeLie = mode;
    frmCFG* w = open();
    QVERIFY(w->findChild<QRadioButton*>(option)->isChecked());
    auto* app = child<QLineEdit>(w, "Text1");
    QCOMPARE(app->isEnabled(), appEnabled);
    clickBox(child<QRadioButton>(w, "optModeSpec"));
    QVERIFY(app->isEnabled());
    clickBox(child<QRadioButton>(w, "optModeLie"));
    QVERIFY(!app->isEnabled());
}

void TestFrmCfg::thresholdLabels()
{
    Parametres.TauxActiviteT1 = 25;
    Parametres.TauxActiviteT2 = 80;
    frmCFG* w = open();
    QString below = message(241), between = message(240), above = message(239);
    QCOMPARE(child<QLabel>(w, "lblTauxBas")->text(),
             below.replace(QStringLiteral("|1"), QStringLiteral("25")));
    QCOMPARE(child<QLabel>(w, "lblTauxMilieu")->text(),
             between.replace(QStringLiteral("|1"), QStringLiteral("25"))
                 .replace(QStringLiteral("|2"), QStringLiteral("80")));
    QCOMPARE(child<QLabel>(w, "lblTauxHaut")->text(),
             above.replace(QStringLiteral("|1"), QStringLiteral("80")));
    QVERIFY(!child<QLabel>(w, "lblTauxMilieu")->text().contains(u'|'));
}

void TestFrmCfg::colourChooser_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("answer"); // -1: the chooser is cancelled
    QTest::addColumn<int>("shown");
    QTest::newRow("S2 to blue") << "picGrS2" << 255 << 16711680 << 16711680;
    QTest::newRow("cancel keeps the colour") << "picTauxHaut" << 65535 << -1 << 65535;
    QTest::newRow("grey state to white") << "picEtatFerme" << 8421504 << 16777215 << 16777215;
}

void TestFrmCfg::colourChooser()
{
    QFETCH(QString, box);
    QFETCH(int, initial);
    QFETCH(int, answer);
    QFETCH(int, shown);
    QList<int> offered;
    ColourChooser::install([&](qint32 start, QWidget*) {
        offered << start;
        return answer < 0 ? std::optional<qint32>() : std::optional<qint32>(answer);
    });
    frmCFG* w = open();
    child<QTabWidget>(w, "tbsOptions")->setCurrentIndex(1);
    auto* button = w->findChild<QPushButton*>(box);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(offered, QList<int>{initial});
    QCOMPARE(frmCFG::boxColour(button), shown);
}

void TestFrmCfg::thresholdOrder_data()
{
    QTest::addColumn<QString>("t1");
    QTest::addColumn<QString>("t2");
    QTest::newRow("T1 above T2") << "70"
                                 << "30";
    QTest::newRow("T1 equals T2") << "50"
                                  << "50";
    QTest::newRow("equal once rounded") << "40.4"
                                        << "40";
}

void TestFrmCfg::thresholdOrder()
{
    QFETCH(QString, t1);
    QFETCH(QString, t2);
    frmCFG* w = open();
    child<QLineEdit>(w, "txtT1")->setText(t1);
    child<QLineEdit>(w, "txtT2")->setText(t2);
    UiRecorder::install();
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    QCOMPARE(messageTexts(), QStringList{message(260)});
    QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).first().icon, UiServices::Icon::Exclamation);
    QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).first().title, message(224));
    QVERIFY(w->isVisible());
    QVERIFY(!UiServices::isBusy());
    QCOMPARE(child<QLineEdit>(w, "txtT1")->text(), t1);
    QCOMPARE(Parametres.TauxActiviteT1, 30);
    QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
}

void TestFrmCfg::unchangedOk()
{
    frmCFG* w = open();
    UiRecorder::install();
    QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    QVERIFY(!w->isVisible());
    QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
    QVERIFY(!UiServices::isBusy());
}

void TestFrmCfg::busyGuard_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("OK") << "cmdOK";
    QTest::newRow("Cancel") << "cmdCancel";
}

void TestFrmCfg::busyGuard()
{
    QFETCH(QString, button);
    int splashUnloads = 0;
    frmCFG::sessionWindows().unloadSplash = [&] { ++splashUnloads; };
    frmCFG* w = open();
    child<QLineEdit>(w, "txtT1")->setText(QStringLiteral("10"));
    UiServices::setBusy(true);
    UiRecorder::install();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    QVERIFY(w->isVisible());
    QCOMPARE(splashUnloads, 0);
    QCOMPARE(UiRecorder::calls().size(), 0);
    QCOMPARE(Parametres.TauxActiviteT1, 30);
    UiServices::setBusy(false);
}

void TestFrmCfg::directory_data()
{
    QTest::addColumn<QList<int>>("table");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("five agents") << QList<int>{3, 7, 12, 15, 40}
                                 << QStringList{"AGENT_3", "AGENT_7", "AGENT_12", "AGENT_15",
                                                "AGENT_40"};
    QList<int> forty;
    QStringList first32;
    for (int n = 101; n <= 140; ++n) {
        forty << n;
        if (first32.size() < 32)
            first32 << QStringLiteral("AGENT_%1").arg(n);
    }
    QTest::newRow("forty agents: the first 32") << forty << first32;
    QTest::newRow("empty table") << QList<int>{} << QStringList{};
}

void TestFrmCfg::directory()
{
    QFETCH(QList<int>, table);
    QFETCH(QStringList, keys);
    FakeDirectory fake;
    fake.table = agentsNumbered(table);
    fake.install();
    frmCFG* w = open();
    QStringList listed;
    for (int row = 0; row < w->agentsModel().rowCount(); ++row)
        listed << w->agentsModel().key(row);
    QCOMPARE(listed, keys);
    if (!keys.isEmpty()) {
        QCOMPARE(w->agentsModel().rows()[0].cells[AgentsList::ColName],
                 QStringLiteral("Agent %1").arg(table.first()));
        QCOMPARE(w->agentsModel().rows()[0].cells[AgentsList::ColQualifyCalls],
                 QStringLiteral("X"));
    }
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    QVERIFY(!w->M_Agent.has_value());
}

void TestFrmCfg::directoryCalls()
{
    FakeDirectory fake;
    fake.table = agentsNumbered({3, 7});
    fake.install();
    open();
    const QStringList expected = {"ServerAddress 127.0.0.1", "ServerPort 20772",
                                  "Extension 0000",          "OpenLink",
                                  "GetAgentNameList",        "CloseLink rows=0"};
    QCOMPARE(fake.calls, expected);
}

void TestFrmCfg::directoryFailure_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("head");
    QTest::addColumn<QString>("tail");
    QTest::newRow("no table") << int(AgentDirectory::NoAgentTable) << 222 << "";
    QTest::newRow("remote machine gone") << 462 << 223 << "";
    QTest::newRow("other") << 7 << 256 << " [GetAgentNameList 7 scripted failure]";
}

void TestFrmCfg::directoryFailure()
{
    QFETCH(int, error);
    QFETCH(int, head);
    QFETCH(QString, tail);
    FakeDirectory fake;
    fake.listError = error;
    fake.install();
    QVERIFY(UiRecorder::endsProgram([this] { open(); }));
    QCOMPARE(messageTexts(), QStringList{message(head) + tail});
    QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).first().title, message(224));
    QVERIFY(!fake.calls.join(u',').contains(QStringLiteral("CloseLink")));
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QStringLiteral("frmCFG"))
            QVERIFY(!window->isVisible());
    }
}

void TestFrmCfg::languageChange_data()
{
    QTest::addColumn<int>("langue");
    QTest::addColumn<QStringList>("helpFiles");
    QTest::addColumn<QString>("help");
    QTest::newRow("german, no help file: 02") << 2 << QStringList{} << "Zor_Hp02.chm";
    QTest::newRow("french with its help file")
        << 0 << QStringList{"Zor_Hp00.chm"} << "Zor_Hp00.chm";
    QTest::newRow("french without: 02, not 00")
        << 0 << QStringList{"Zor_Hp01.chm"} << "Zor_Hp02.chm";
}

void TestFrmCfg::languageChange()
{
    QFETCH(int, langue);
    QFETCH(QStringList, helpFiles);
    QFETCH(QString, help);
    for (const QString& name : helpFiles)
        writeFile(m_setup->programFile(name), "help");
    Parametres.TauxActiviteT1 = 20;
    frmCFG* w = open();
    child<QLineEdit>(w, "txtNbJour")->setText(QStringLiteral("12"));
    UiRecorder::install();
    auto* list = child<QComboBox>(w, "cboLangue_0");
    list->setCurrentIndex(langue);
    leaveField(list);
    QCOMPARE(Parametres.Langue, langue);
    QCOMPARE(LanguageBase, qint16(langue * 2000));
    QCOMPARE(QFileInfo(HelpFile).fileName(), help);
    QCOMPARE(w->windowTitle(), message(121));
    QCOMPARE(child<QPushButton>(w, "cmdCancel")->text(), message(102));
    auto* agents = child<QTreeView>(w, "lvListView");
    QCOMPARE(agents->model()->headerData(1, Qt::Horizontal).toString(), message(227));
    QCOMPARE(child<QLabel>(w, "lblTauxBas")->text(),
             QString(message(241)).replace(QStringLiteral("|1"), QStringLiteral("20")));
    QVERIFY(!m_before.contains(QStringLiteral("supervis.ini")));
    const QByteArray stored = readFile(m_setup->sharedFile(QStringLiteral("supervis.ini")));
    QVERIFY(stored.contains("\r\nlangue= " + QByteArray::number(langue) + "\r\n"));
    QVERIFY(stored.contains("\r\nNbJourStockJournal= 0\r\n")); // the page's 12 waits for OK
    QCOMPARE(UiRecorder::callsOf(Kind::Busy).size(), 2);
    QVERIFY(!UiServices::isBusy());
    QCOMPARE(w->agentsModel().rowCount(), 32);
}

void TestFrmCfg::sameLanguage()
{
    frmCFG* w = open();
    UiRecorder::install();
    leaveField(child<QComboBox>(w, "cboLangue_0"));
    QCOMPARE(UiRecorder::calls().size(), 0);
    QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
}

// Every control a user can reach with the keyboard has a name for screen
// readers, on every page.
void TestFrmCfg::accessibleNames()
{
    frmCFG* w = open();
    auto* tabs = child<QTabWidget>(w, "tbsOptions");
    QStringList unnamed;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        const QList<QWidget*> widgets = w->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            if (!widget->isVisibleTo(w) || !widget->isEnabled() ||
                widget->focusPolicy() == Qt::NoFocus || widget->focusProxy())
                continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            if (qobject_cast<QTabBar*>(widget)) { // each tab has a name
                for (int i = 0; face && i < face->childCount(); ++i) {
                    if (face->child(i)->text(QAccessible::Name).trimmed().isEmpty())
                        unnamed << QStringLiteral("tab %1").arg(i);
                }
                continue;
            }
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << widget->objectName();
        }
    }
    unnamed.removeDuplicates();
    QCOMPARE(unnamed.join(u','), QString());
}

void TestFrmCfg::closeHandling_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cmdCancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestFrmCfg::closeHandling()
{
    QFETCH(QString, how);
    int splashUnloads = 0;
    frmCFG::sessionWindows().unloadSplash = [&] { ++splashUnloads; };
    frmCFG* w = open();
    QVERIFY(mCustomIcon::icon32Loaded());
    child<QLineEdit>(w, "txtT1")->setText(QStringLiteral("10"));
    if (how == QLatin1String("escape"))
        QTest::keyClick(child<QLineEdit>(w, "txtT2"), Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        w->close();
    else
        QTest::mouseClick(w->findChild<QPushButton*>(how), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QVERIFY(splashUnloads >= 1);
    QVERIFY(!mCustomIcon::icon32Loaded());
    QCOMPARE(Parametres.TauxActiviteT1, 30);
    QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
}

void TestFrmCfg::version()
{
    QWidget* owner = nullptr;
    frmCFG::sessionWindows().showAbout = [&](QWidget* w) { owner = w; };
    frmCFG* w = open();
    QTest::mouseClick(child<QPushButton>(w, "ComVersion"), Qt::LeftButton);
    QCOMPARE(owner, w);
    // Enter does not confirm: the window has no default button.
    QTest::keyClick(child<QLineEdit>(w, "txtT1"), Qt::Key_Return);
    QVERIFY(w->isVisible());
}

void TestFrmCfg::icons_data()
{
    QTest::addColumn<QByteArray>("file"); // "": none; "ours": the program's icon
    QTest::addColumn<QString>("trace");   // each failed load writes this line
    QTest::newRow("the program's icon") << QByteArray("ours") << "";
    QTest::newRow("no icon file") << QByteArray()
                                  << "Error 53 'File not found' occured in "
                                     "mCustomIcon.CustomizationReadIcon.";
    QTest::newRow("not a picture") << QByteArray("not an icon")
                                   << "Error 481 'Invalid picture' occured in "
                                      "mCustomIcon.CustomizationReadIcon.";
}

// The window's icon, the taskbar's and the trace lines on standard error.
void TestFrmCfg::icons()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, trace);
    const QString icon = m_setup->programFile(QStringLiteral("Zorcfg16.ico"));
    const QImage ours16 = QImage(icon).convertToFormat(QImage::Format_ARGB32);
    if (file != "ours") {
        QFile::remove(icon);
        if (!file.isEmpty())
            writeFile(m_setup->programFile(QStringLiteral("zorcfg16.ICO")), file);
    }
    QTemporaryFile errors;
    QVERIFY(errors.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(errors.handle(), 2);
    frmCFG* w = open();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    const QStringList lines =
        QString::fromUtf8(readFile(errors.fileName())).split(u'\n', Qt::SkipEmptyParts);
    const QStringList expected = trace.isEmpty() ? QStringList{} : QStringList{trace, trace};
    QCOMPARE(lines, expected);
    const QImage shown =
        w->windowIcon().pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage designed =
        mCustomIcon::designedIcon().pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.pixel(8, 8), file == "ours" ? ours16.pixel(8, 8) : designed.pixel(8, 8));
    QVERIFY(!QApplication::windowIcon().isNull());
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("ZorCFG"));
}

QTEST_MAIN(TestFrmCfg)
#include "tst_frmcfg.moc"
