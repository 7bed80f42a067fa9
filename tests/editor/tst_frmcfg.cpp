// The configuration window offscreen, driven by its controls' names, in
// shared-folder mode over a temporary shared folder: the frame (load, tabs,
// keys, help, close), the General and Couleurs pages, and the Agents page with
// the agent directory faked. OK's stores and the directory's real answers are
// checked end to end in tst_editor_e2e and tst_directorylist.

#include "AgentDirectory.h"
#include "AgentsModel.h"
#include "ColourChooser.h"
#include "EditorTestSupport.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "mCustomIcon.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
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
using UiRecorder::Kind;

namespace {

QStringList messageTexts()
{
    QStringList texts;
    for (const UiRecorder::Call& call : UiRecorder::callsOf(Kind::MessageBox))
        texts << call.text;
    return texts;
}

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
        QCOMPARE(w->windowTitle(), message(121));
        auto* tabs = child<QTabWidget>(w, "tbsOptions");
        for (int tab = 0; tab < 3; ++tab)
            QCOMPARE(tabs->tabText(tab), message(215 + tab));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(w, "cboLangue_0")->count(), 3);
        QCOMPARE(child<QComboBox>(w, "cboLangue_0")->currentIndex(), 1);
        QCOMPARE(field("txtT1")->text(), QStringLiteral("30"));
        QCOMPARE(field("Text1")->text(), QStringLiteral("Wscript.exe Post_it.vbs"));
        QCOMPARE(frmCFG::boxColour(child<QPushButton>(w, "picEtatSatu")), 33023);
    }

    // The agents list's headers, widths converted from twips, alignments.
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
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("tab");
        QTest::newRow("ctrl+tab from general") << 0 << false << 1;
        QTest::newRow("ctrl+tab from couleurs") << 1 << false << 2;
        QTest::newRow("ctrl+tab wraps to general") << 2 << false << 0;
        QTest::newRow("ctrl+shift+tab does nothing") << 2 << true << 2;
    }
    // Only the selected page is usable.
    void keyboard()
    {
        QFETCH(int, start);
        QFETCH(bool, shift);
        QFETCH(int, tab);
        auto* tabs = child<QTabWidget>(open(), "tbsOptions");
        tabs->setCurrentIndex(start);
        QTest::keyClick(tabs->currentWidget(), shift ? Qt::Key_Backtab : Qt::Key_Tab,
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

    void colourChooser_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("answer"); // -1: the chooser is cancelled
        QTest::addColumn<int>("shown");
        QTest::newRow("S2 to blue") << "picGrS2" << 255 << 16711680 << 16711680;
        QTest::newRow("cancel keeps the colour") << "picTauxHaut" << 65535 << -1 << 65535;
        QTest::newRow("grey state to white") << "picEtatFerme" << 8421504 << 16777215 << 16777215;
    }
    // The chooser opens on the box's colour.
    void colourChooser()
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
        // The box shows the colour (stored blue, green, red from the low
        // byte up), outlined in dark grey.
        const QImage swatch = button->icon().pixmap(button->iconSize()).toImage();
        QCOMPARE(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2),
                 QColor(shown & 0xFF, (shown >> 8) & 0xFF, (shown >> 16) & 0xFF));
        QCOMPARE(swatch.pixelColor(0, swatch.height() - 1), QColor(0x40, 0x40, 0x40));
    }

    // T1 >= T2 (T1 above T2 is checked end to end): message 260, the window
    // stays open and nothing is stored.
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
        UiRecorder::install();
        click("cmdOK");
        QCOMPARE(messageTexts(), QStringList{message(260)});
        QCOMPARE(UiRecorder::callsOf(Kind::MessageBox).first().icon, UiServices::Icon::Exclamation);
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

    // The directory's 0x80040068 and a missing table end to end are in
    // tst_directorylist; the other failures end the program here.
    void directoryFailure_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("head");
        QTest::addColumn<QString>("tail");
        QTest::newRow("remote machine gone") << 462 << 223 << "";
        QTest::newRow("other") << 7 << 256 << " [GetAgentNameList 7 scripted failure]";
    }
    void directoryFailure()
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
    // and re-translates the window, the list headers and the threshold labels.
    void languageChange()
    {
        QFETCH(int, langue);
        QFETCH(QStringList, helpFiles);
        QFETCH(QString, help);
        for (const QString& name : helpFiles)
            writeFile(m_setup->programFile(name), "help");
        Parametres.TauxActiviteT1 = 25;
        Parametres.TauxActiviteT2 = 80;
        frmCFG* w = open();
        field("txtNbJour")->setText(QStringLiteral("12"));
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
        QCOMPARE(child<QLabel>(w, "lblTauxBas")->text(), filled(241, "25"));
        QCOMPARE(child<QLabel>(w, "lblTauxMilieu")->text(), filled(240, "25", "80"));
        QCOMPARE(child<QLabel>(w, "lblTauxHaut")->text(), filled(239, "80"));
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
        QTest::newRow("Cancel") << "cmdCancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close box") << "close";
    }
    // Cancel, Escape and the close box store nothing, unload the splash and
    // the 32-pixel icon.
    void closeHandling()
    {
        QFETCH(QString, how);
        int splashUnloads = 0;
        frmCFG::sessionWindows().unloadSplash = [&] { ++splashUnloads; };
        frmCFG* w = open();
        QVERIFY(mCustomIcon::icon32Loaded());
        field("txtT1")->setText(QStringLiteral("10"));
        if (how == QLatin1String("escape"))
            QTest::keyClick(field("txtT2"), Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            w->close();
        else
            click(qPrintable(how));
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
    // The window's icon, the taskbar's and the trace lines on standard error.
    void icons()
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
        QCOMPARE(lines, trace.isEmpty() ? QStringList() : QStringList({trace, trace}));
        const auto centre = [](const QIcon& i) {
            return i.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32).pixel(8, 8);
        };
        QCOMPARE(centre(w->windowIcon()),
                 file == "ours" ? ours16.pixel(8, 8) : centre(mCustomIcon::designedIcon()));
        QVERIFY(!QApplication::windowIcon().isNull());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("ZorCFG"));
    }
};

QTEST_MAIN(TestFrmCfg)
#include "tst_frmcfg.moc"
