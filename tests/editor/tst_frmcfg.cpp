// The configuration window offscreen, driven by its controls' names, in
// shared-folder mode over a temporary shared folder: the frame (load, tabs,
// keys, help, close), the General and Couleurs pages, and the Agents page with
// the agent directory faked. OK's stores and the directory's real answers are
// checked end to end in tst_editor_e2e and tst_directorylist.

#include "AgentDirectory.h"
#include "AgentsModel.h"
#include "ColourChooser.h"
#include "EditorTestSupport.h"
#include "FormTexts.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "mCustomIcon.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <memory>

#include <unistd.h>

using namespace EditorTestSupport;
using namespace Qt::StringLiterals;
using UiRecorder::Kind;

namespace {

// The agent automation server, scripted: its table (names with blanks around
// them) or the error it raises, and every call made to it.
struct FakeDirectory
{
    qint32 listError = 0; // 0: the table is given
    QList<AgentDirectory::AgentNameEntry> table = {{3, "  Agent 3 ", {}}, {7, "B", {}}};
    QStringList calls;

    // The number of rows the window's list holds when the link is closed.
    static int listedRows()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* list = window->findChild<QTreeView*>(QStringLiteral("lvListView")))
                return list->model()->rowCount();
        }
        return -1;
    }

    void install()
    {
        AgentDirectory::install([this] {
            AgentDirectory::Connection c;
            c.ServerAddress = [this](const QString& a) { calls << "ServerAddress " + a; };
            c.ServerPort = [this](qint32 p) { calls << QStringLiteral("ServerPort %1").arg(p); };
            c.Extension = [this](const QString& e) { calls << "Extension " + e; };
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

// A label's text with its placeholders filled.
QString filled(int n, const QString& one, const QString& two = {})
{
    return message(n).replace(QStringLiteral("|1"), one).replace(QStringLiteral("|2"), two);
}

} // namespace

class TestFrmCfg : public QObject
{
    Q_OBJECT

    std::unique_ptr<Setup> m_setup;
    QPointer<frmCFG> m_window;
    QMap<QString, QByteArray> m_before; // the shared folder after start-up

    frmCFG* open() { return m_window = openWindow(); }
    QLineEdit* field(const char* name) { return child<QLineEdit>(m_window, name); }
    void click(const char* button)
    {
        QTest::mouseClick(child<QPushButton>(m_window, button), Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        m_setup = std::make_unique<Setup>();
        m_setup->startUp(0, 1);
        m_setup->useLanguage(1);
        UiRecorder::install();
        m_before = snapshot(m_setup->sharedFolder());
    }

    void cleanup()
    {
        delete m_window.data();
        m_setup.reset();
    }

    // The General and Couleurs pages show the supervisor settings.
    void load()
    {
        frmCFG* w = open();
        QCOMPARE(child<QTabWidget>(w, "tbsOptions")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(w, "cboLangue_0")->count(), 3);
        QCOMPARE(child<QComboBox>(w, "cboLangue_0")->currentIndex(), 1);
        QCOMPARE(field("txtT1")->text(), QStringLiteral("30"));
        QCOMPARE(field("Text1")->text(), QStringLiteral("Wscript.exe Post_it.vbs"));
    }

    // Every control with a Tag shows the text of that number (the threshold
    // labels with T1 and T2 in place): in French and English at load, in
    // German after a change of language.
    void tagTexts_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<int>("changeTo"); // -1: none
        QTest::newRow("French") << 0 << -1;
        QTest::newRow("English") << 1 << -1;
        QTest::newRow("German after English") << 1 << 2;
    }
    void tagTexts()
    {
        QFETCH(int, langue);
        QFETCH(int, changeTo);
        Parametres.TauxActiviteT1 = 25;
        Parametres.TauxActiviteT2 = 80;
        m_setup->useLanguage(langue);
        frmCFG* w = open();
        if (changeTo >= 0) {
            child<QComboBox>(w, "cboLangue_0")->setCurrentIndex(changeTo);
            leaveField(child<QComboBox>(w, "cboLangue_0"));
        }
        const QHash<QString, QString> thresholds = {{"lblTauxBas", filled(241, "25")},
                                                    {"lblTauxMilieu", filled(240, "25", "80")},
                                                    {"lblTauxHaut", filled(239, "80")}};
        const QList<FormTexts::Tagged> controls = FormTexts::tagged(w);
        QCOMPARE(controls.size(), 47);
        for (const FormTexts::Tagged& control : controls) {
            const QString expected = thresholds.value(control.control, message(control.number));
            QVERIFY2(control.shown == expected, qPrintable(control.control));
        }
    }

    // The agents list's headers, widths converted from twips, alignments;
    // the columns keep their order.
    void columns_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("twips");
        QTest::addColumn<bool>("centred");
        const int twips[] = {350, 950, 500, 530, 500, 530, 500, 550, 580, 550};
        const int messages[] = {226, 227, 255, 228, 229, 230, 231, 232, 233, 234};
        for (int c = 0; c < 10; ++c)
            QTest::addRow("column %d", c) << c << messages[c] << twips[c] << (c >= 2);
    }
    void columns()
    {
        QFETCH(int, column);
        QFETCH(int, message);
        QFETCH(int, twips);
        QFETCH(bool, centred);
        auto* list = child<QTreeView>(open(), "lvListView");
        QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(),
                 EditorTestSupport::message(message));
        // The designed width, or more where this screen's font needs it.
        const int designed = qRound(twips * list->logicalDpiX() / 1440.0);
        const QAbstractItemView* view = list;
        const int fitted =
            qMax(list->header()->sectionSizeHint(column), view->sizeHintForColumn(column));
        QCOMPARE(list->header()->sectionSize(column), qMax(designed, fitted));
        const auto align =
            list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(int(align & Qt::AlignHorizontal_Mask),
                 int(centred ? Qt::AlignHCenter : Qt::AlignLeft));
        QVERIFY(list->isColumnHidden(AgentsList::ColChangeState));
        QCOMPARE(list->model()->columnCount(), 11);
        QVERIFY(!list->header()->sectionsMovable());
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("focus"); // "": the page itself
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("tab");
        QTest::newRow("ctrl+tab from general") << 0 << "" << false << 1;
        QTest::newRow("ctrl+tab from couleurs") << 1 << "" << false << 2;
        QTest::newRow("ctrl+tab wraps to general") << 2 << "" << false << 0;
        QTest::newRow("ctrl+shift+tab does nothing") << 2 << "" << true << 2;
        QTest::newRow("ctrl+tab in the language list") << 0 << "cboLangue_0" << false << 1;
        QTest::newRow("ctrl+tab in the agents list") << 2 << "lvListView" << false << 0;
        QTest::newRow("ctrl+shift+tab in the agents list") << 2 << "lvListView" << true << 2;
    }
    // Only the selected page is usable.
    void keyboard()
    {
        QFETCH(int, start);
        QFETCH(QString, focus);
        QFETCH(bool, shift);
        QFETCH(int, tab);
        frmCFG* w = open();
        auto* tabs = child<QTabWidget>(w, "tbsOptions");
        tabs->setCurrentIndex(start);
        QWidget* target = focus.isEmpty() ? tabs->currentWidget() : w->findChild<QWidget*>(focus);
        QTest::keyClick(target, shift ? Qt::Key_Backtab : Qt::Key_Tab,
                        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), tab);
        for (int i = 0; i < tabs->count(); ++i)
            QCOMPARE(tabs->widget(i)->isEnabled(), i == tab);
    }

    void help_data()
    {
        QTest::addColumn<int>("tab"); // -1: as loaded
        QTest::addColumn<int>("context");
        QTest::newRow("after load") << -1 << 120;
        QTest::newRow("general") << 0 << 121;
        QTest::newRow("couleurs") << 1 << 122;
        QTest::newRow("agents") << 2 << 123;
    }
    void help()
    {
        QFETCH(int, tab);
        QFETCH(int, context);
        auto* tabs = child<QTabWidget>(open(), "tbsOptions");
        if (tab >= 0) {
            tabs->setCurrentIndex((tab + 1) % 3);
            tabs->setCurrentIndex(tab);
        }
        click("cmdAide");
        const QList<UiRecorder::Call> help = UiRecorder::callsOf(Kind::Help);
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0].value, context);
        QCOMPARE(help[0].text, HelpFile);
    }

    // A field checked when it loses the focus: a beep and a reset value, no
    // message.
    void fieldCheck_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("beeps");
        const struct
        {
            const char *row, *field, *typed, *shown;
            int beeps;
        } rows[] = {{"days below 0", "txtNbJour", "-5", "0", 1},
                    {"days above 40", "txtNbJour", "55", "40", 1},
                    {"days 40 stays", "txtNbJour", "40", "40", 0},
                    {"days with a word", "txtNbJour", " 7 days", "7", 0},
                    {"T1 100", "txtT1", "100", "30", 1},
                    {"T1 letters", "txtT1", "abc", "0", 0},
                    {"T1 99 stays", "txtT1", "99", "99", 0},
                    {"T1 fraction passes", "txtT1", "12.5", "12.5", 0},
                    {"T2 -1", "txtT2", "-1", "70", 1},
                    {"T2 0 stays", "txtT2", "0", "0", 0}};
        for (const auto& r : rows)
            QTest::newRow(r.row) << r.field << r.typed << r.shown << r.beeps;
    }
    void fieldCheck()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, beeps);
        auto* edit = open()->findChild<QLineEdit*>(field);
        UiRecorder::install();
        edit->clear();
        QTest::keyClicks(edit, typed);
        leaveField(edit);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(UiRecorder::count(Kind::Beep), beeps);
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    }

    void modeOption_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("option");
        QTest::newRow("integrated") << 0 << "optModeStd";
        QTest::newRow("linked") << 1 << "optModeLie";
        QTest::newRow("specific") << 2 << "optModeSpec";
        QTest::newRow("unknown 5") << 5 << "optModeStd";
    }
    // Only the specific mode enables the application field.
    void modeOption()
    {
        QFETCH(int, mode);
        QFETCH(QString, option);
        Parametres.ModeLie = mode;
        frmCFG* w = open();
        QVERIFY(w->findChild<QRadioButton*>(option)->isChecked());
        QCOMPARE(field("Text1")->isEnabled(), mode == 2);
        clickBox(child<QRadioButton>(w, "optModeSpec"));
        QVERIFY(field("Text1")->isEnabled());
        clickBox(child<QRadioButton>(w, "optModeLie"));
        QVERIFY(!field("Text1")->isEnabled());
    }

    // Each of the sixteen colour boxes shows its own setting (the chooser
    // starts from it) and OK copies the chosen colour into that setting only;
    // choosing the colour the box has is no change.
    void colourBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("same"); // the chooser answers the box's own colour
        for (const ColourDef& colour : ColourTable) {
            // CouleurGrS2 is picGrS2's, CouleurTxBas picTauxBas'.
            const QString key = QLatin1String(colour.key);
            const QString box =
                QString(key).replace(u"Couleur"_s, u"pic"_s).replace(u"picTx"_s, u"picTaux"_s);
            QTest::newRow(colour.key) << box << key << false;
        }
        QTest::newRow("picGrS2, its own colour") << "picGrS2"
                                                 << "CouleurGrS2" << true;
    }
    void colourBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(bool, same);
        qint32 distinct = 0x010203;
        for (const ColourDef& colour : ColourTable)
            Parametres.*colour.field = distinct += 0x010101;
        const SettingsRecord before = Parametres;
        QList<qint32> offered;
        ColourChooser::install([&](qint32 start, QWidget*) {
            offered << start;
            return std::optional<qint32>(same ? start : 0x123456);
        });
        frmCFG* w = open();
        UiRecorder::install();
        child<QTabWidget>(w, "tbsOptions")->setCurrentIndex(1);
        QTest::mouseClick(w->findChild<QPushButton*>(box), Qt::LeftButton);
        click("cmdOK");
        QCOMPARE(UiRecorder::count(Kind::MessageBox), same ? 0 : 1);
        for (const ColourDef& colour : ColourTable) {
            const bool chosen = key == QLatin1String(colour.key);
            if (chosen)
                QCOMPARE(offered, QList<qint32>{before.*colour.field});
            QVERIFY2(Parametres.*colour.field ==
                         (chosen && !same ? 0x123456 : before.*colour.field),
                     colour.key);
        }
    }

    // Cancelling the chooser keeps the box's colour, which its swatch shows
    // (stored blue, green, red from the low byte up), outlined in dark grey.
    void colourChooserCancelled()
    {
        ColourChooser::install([](qint32, QWidget*) { return std::optional<qint32>(); });
        frmCFG* w = open();
        child<QTabWidget>(w, "tbsOptions")->setCurrentIndex(1);
        auto* button = child<QPushButton>(w, "picEtatSatu");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(frmCFG::boxColour(button), 33023);
        const QImage swatch = button->icon().pixmap(button->iconSize()).toImage();
        QCOMPARE(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2), QColor(0xFF, 0x80, 0));
        QCOMPARE(swatch.pixelColor(0, swatch.height() - 1), QColor(0x40, 0x40, 0x40));
    }

    // T1 >= T2 (T1 above T2 is checked end to end): the window stays open
    // and nothing is stored.
    void thresholdOrder_data()
    {
        QTest::addColumn<QString>("t1");
        QTest::addColumn<QString>("t2");
        QTest::newRow("T1 equals T2") << QString("50") << "50";
        QTest::newRow("equal once rounded") << QString("40.4") << "40";
    }
    void thresholdOrder()
    {
        QFETCH(QString, t1);
        QFETCH(QString, t2);
        frmCFG* w = open();
        field("txtT1")->setText(t1);
        field("txtT2")->setText(t2);
        click("cmdOK");
        QVERIFY(w->isVisible());
        QCOMPARE(Parametres.TauxActiviteT1, 30);
        QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
    }

    // The directory's calls in order; the link is closed before the rows are
    // loaded, and names lose their blanks.
    void directoryCalls()
    {
        FakeDirectory fake;
        fake.install();
        frmCFG* w = open();
        const QStringList expected = {"ServerAddress 127.0.0.1", "ServerPort 20772",
                                      "Extension 0000",          "OpenLink",
                                      "GetAgentNameList",        "CloseLink rows=0"};
        QCOMPARE(fake.calls, expected);
        QCOMPARE(w->agentsModel().rows()[0].cells[AgentsList::ColName], QStringLiteral("Agent 3"));
    }

    // The table's first 32 entries, each agent once, as first listed.
    void directoryTable_data()
    {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QStringList>("listed");
        QList<int> first32 = {1, 1};
        QStringList listed = {"1"};
        for (int n = 2; n <= 31; ++n) {
            first32 << n;
            listed << QString::number(n);
        }
        QTest::newRow("an agent twice") << QList<int>{3, 7, 3} << QStringList{"3", "7"};
        QTest::newRow("a repeat counts in the first 32") << first32 + QList<int>{99} << listed;
    }
    void directoryTable()
    {
        QFETCH(QList<int>, numbers);
        QFETCH(QStringList, listed);
        FakeDirectory fake;
        fake.table.clear();
        for (qsizetype i = 0; i < numbers.size(); ++i)
            fake.table.append({numbers[i], QStringLiteral("entry %1").arg(i), {}});
        fake.install();
        const AgentsList::Rows& rows = open()->agentsModel().rows();
        QStringList shown, names, expectedNames;
        for (const AgentsList::Row& row : rows) {
            shown << row.cells[AgentsList::ColNumber];
            names << row.cells[AgentsList::ColName];
        }
        for (const QString& number : listed)
            expectedNames << QStringLiteral("entry %1").arg(numbers.indexOf(number.toInt()));
        QCOMPARE(shown, listed);
        QCOMPARE(names, expectedNames);
    }

    // Every message box of the window: its text, title, icon and buttons. A
    // failure of the directory's table ends the program, the link left as it
    // is.
    void messageBoxes_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<qint32>("error"); // the directory's table; 0: given
        QTest::addColumn<int>("text");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("title");
        QTest::addColumn<int>("icon");
        const int exclamation = int(UiServices::Icon::Exclamation);
        QTest::newRow("T1 not below T2") << "txtT1=70" << 0 << 260 << "" << 224 << exclamation;
        QTest::newRow("settings stored")
            << "txtNbJour=9" << 0 << 313 << "" << 121 << int(UiServices::Icon::Information);
        QTest::newRow("directory machine gone") << "" << 462 << 223 << "" << 224 << exclamation;
        QTest::newRow("directory table unreadable")
            << "" << qint32(0x80040068) << 222 << "" << 224 << exclamation;
        QTest::newRow("directory failure")
            << "" << 7 << 256 << " [GetAgentNameList 7 scripted failure]" << 224 << exclamation;
    }
    void messageBoxes()
    {
        QFETCH(QString, cause);
        QFETCH(qint32, error);
        QFETCH(int, text);
        QFETCH(QString, detail);
        FakeDirectory fake;
        fake.listError = error;
        fake.install();
        if (!UiRecorder::endsProgram([this] { open(); })) {
            field(qPrintable(cause.section(u'=', 0, 0)))->setText(cause.section(u'=', 1));
            click("cmdOK");
        } else {
            QVERIFY(!fake.calls.join(u',').contains(QStringLiteral("CloseLink")));
        }
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, message(text).replace(QStringLiteral("|1"), "\r\n") + detail);
        QFETCH(int, title);
        QCOMPARE(boxes[0].title, message(title));
        QTEST(int(boxes[0].icon), "icon");
        QCOMPARE(boxes[0].value, int(UiServices::Buttons::Ok));
    }

    void languageChange_data()
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
    // A new language is stored at once (the page's other fields wait for OK)
    // and becomes the application title's and the list headers' (the other
    // texts are in tagTexts).
    void languageChange()
    {
        QFETCH(int, langue);
        QFETCH(QStringList, helpFiles);
        QFETCH(QString, help);
        for (const QString& name : helpFiles)
            writeFile(m_setup->programFile(name), "help");
        frmCFG* w = open();
        field("txtNbJour")->setText(QStringLiteral("12"));
        UiRecorder::install();
        auto* list = child<QComboBox>(w, "cboLangue_0");
        list->setCurrentIndex(langue);
        leaveField(list);
        QCOMPARE(Parametres.Langue, langue);
        QCOMPARE(LanguageBase, qint16(langue * 2000));
        QCOMPARE(QFileInfo(HelpFile).fileName(), help);
        QCOMPARE(QGuiApplication::applicationDisplayName(), message(121));
        auto* agents = child<QTreeView>(w, "lvListView");
        QCOMPARE(agents->model()->headerData(1, Qt::Horizontal).toString(), message(227));
        const QByteArray stored = readFile(m_setup->sharedFile(QStringLiteral("supervis.ini")));
        QVERIFY(stored.contains("\r\nlangue= " + QByteArray::number(langue) + "\r\n"));
        QVERIFY(stored.contains("\r\nNbJourStockJournal= 0\r\n"));
        QVERIFY(!UiServices::isBusy());
    }

    // Leaving the list on the same language stores nothing.
    void sameLanguage()
    {
        frmCFG* w = open();
        UiRecorder::install();
        leaveField(child<QComboBox>(w, "cboLangue_0"));
        QCOMPARE(UiRecorder::calls().size(), 0);
        QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
    }

    // Every control a user can reach with the keyboard has a name for screen
    // readers, on every page.
    void accessibleNames()
    {
        auto* tabs = child<QTabWidget>(open(), "tbsOptions");
        QStringList unnamed;
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            unnamed += unnamedControls(m_window);
        }
        unnamed.removeDuplicates();
        QCOMPARE(unnamed.join(u','), QString());
    }

    void closeHandling_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("page");
        QTest::newRow("Cancel") << "cmdCancel" << 0;
        QTest::newRow("Escape in a field") << "txtT2" << 0;
        QTest::newRow("Escape in the language list") << "cboLangue_0" << 0;
        QTest::newRow("Escape in the agents list") << "lvListView" << 2;
        QTest::newRow("close box") << "close" << 0;
    }
    // Cancel, Escape wherever the focus is and the close box store nothing,
    // unload the splash and the 32-pixel icon.
    void closeHandling()
    {
        QFETCH(QString, how);
        QFETCH(int, page);
        int splashUnloads = 0;
        frmCFG::sessionWindows().unloadSplash = [&] { ++splashUnloads; };
        frmCFG* w = open();
        QVERIFY(mCustomIcon::icon32Loaded());
        field("txtT1")->setText(QStringLiteral("10"));
        child<QTabWidget>(w, "tbsOptions")->setCurrentIndex(page);
        if (how == QLatin1String("close"))
            w->close();
        else if (how == QLatin1String("cmdCancel"))
            click(qPrintable(how));
        else
            QTest::keyClick(w->findChild<QWidget*>(how), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QVERIFY(splashUnloads >= 1);
        QVERIFY(!mCustomIcon::icon32Loaded());
        QCOMPARE(Parametres.TauxActiviteT1, 30);
        QVERIFY(snapshot(m_setup->sharedFolder()) == m_before);
    }

    // ComVersion opens the About box over the window; Enter does not confirm:
    // the window has no default button.
    void version()
    {
        QWidget* owner = nullptr;
        frmCFG::sessionWindows().showAbout = [&](QWidget* w) { owner = w; };
        frmCFG* w = open();
        click("ComVersion");
        QCOMPARE(owner, w);
        QTest::keyClick(field("txtT1"), Qt::Key_Return);
        QVERIFY(w->isVisible());
    }

    void icons_data()
    {
        QTest::addColumn<QByteArray>("file"); // "": none; "ours": the program's icon
        QTest::addColumn<QString>("trace");   // each failed load writes this line
        QTest::newRow("the program's icon") << QByteArray("ours") << "";
        QTest::newRow("no icon file")
            << QByteArray()
            << "Error 53 'File not found' occured in mCustomIcon.CustomizationReadIcon.";
        QTest::newRow("not a picture")
            << QByteArray("not an icon")
            << "Error 481 'Invalid picture' occured in mCustomIcon.CustomizationReadIcon.";
    }
    // The window's icon (its small and large images), the taskbar's and the
    // trace lines on standard error.
    void icons()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, trace);
        const QString icon = m_setup->programFile(QStringLiteral("Zorcfg16.ico"));
        const QImage ours16 = QImage(icon).convertToFormat(QImage::Format_ARGB32);
        QImageReader reader(icon);
        reader.jumpToImage(1);
        const QImage ours32 = reader.read().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(ours32.width(), 32);
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
        QCOMPARE(lines, trace.isEmpty() ? QStringList() : QStringList({trace, trace}));
        const auto centre = [](const QIcon& i) {
            return i.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32).pixel(8, 8);
        };
        QCOMPARE(centre(w->windowIcon()),
                 file == "ours" ? ours16.pixel(8, 8) : centre(mCustomIcon::designedIcon()));
        // The large image too, for the taskbar: the file's own 32 pixels.
        const auto large = [](const QIcon& i) {
            return i.pixmap(QSize(32, 32), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        QCOMPARE(large(w->windowIcon()),
                 file == "ours" ? ours32 : large(mCustomIcon::designedIcon()));
        QVERIFY(!QApplication::windowIcon().isNull());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("ZorCFG"));
    }
};

QTEST_MAIN(TestFrmCfg)
#include "tst_frmcfg.moc"
