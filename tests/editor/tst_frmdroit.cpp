// The agent rights dialog offscreen, on rows of the agents list: what it shows
// when it loads, how chkModi keeps chkComt consistent, what OK writes into
// the row and its change state, and that Cancel writes nothing. Opened from
// the configuration window by a double-click or by cmdProprietes.

#include "AgentsModel.h"
#include "EditorTestSupport.h"
#include "FormTexts.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "frmCFG.h"
#include "frmDroit.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <array>
#include <memory>

using namespace EditorTestSupport;
using UiRecorder::Kind;

namespace {

// The boxes in the order of columns 2 to 9.
constexpr std::array<const char*, 8> Boxes = {"chkGroupe", "chkPref", "chkPwd",  "chkQual",
                                              "chkStat",   "chkAppe", "chkModi", "chkComt"};

// Columns 2 to 9 from a pattern such as "XX.X..X.", then the change state.
AgentsList::Row rowOf(const QString& pattern, const QString& change)
{
    AgentsList::Row row = AgentsList::makeRow(QStringLiteral("7"), QStringLiteral("Dupont"));
    for (int i = 0; i < 8; ++i)
        row.cells[std::size_t(2 + i)] = pattern[i] == u'X' ? QStringLiteral("X") : QString();
    row.cells[AgentsList::ColChangeState] = change;
    return row;
}

QString patternOf(const AgentsList::Row& row)
{
    QString pattern;
    for (int i = 0; i < 8; ++i)
        pattern += row.cells[std::size_t(2 + i)] == u"X" ? u'X' : u'.';
    return pattern;
}

QString boxesOf(QWidget* dialog)
{
    QString pattern;
    for (const char* name : Boxes)
        pattern += child<QCheckBox>(dialog, name)->isChecked() ? u'X' : u'.';
    return pattern;
}

void showDialog(QDialog& dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
}

} // namespace

class TestFrmDroit : public QObject
{
    Q_OBJECT

    std::unique_ptr<Setup> m_setup;
    std::unique_ptr<AgentsModel> m_agents;
    QWidget m_owner; // the window the dialog takes its icon from

private Q_SLOTS:
    void init()
    {
        m_setup = std::make_unique<Setup>();
        m_setup->startUp(0, 1);
        m_setup->useLanguage(1);
        UiRecorder::install();
        m_agents = std::make_unique<AgentsModel>();
        m_agents->addRow(QStringLiteral("7"), QStringLiteral("Dupont"));
    }

    void cleanup()
    {
        m_agents.reset();
        m_setup.reset();
    }

    // chkComt shows checked and disabled while chkModi (all fields) is.
    void load_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<bool>("comtEnabled");
        QTest::newRow("all fields") << QString("......X.") << "......XX" << false;
        QTest::newRow("comment only") << QString(".......X") << ".......X" << true;
        QTest::newRow("yes/no rights") << QString("X.X.X.X.") << "X.X.X.XX" << false;
        QTest::newRow("none") << QString("........") << "........" << true;
    }
    void load()
    {
        QFETCH(QString, cells);
        QFETCH(QString, boxes);
        QFETCH(bool, comtEnabled);
        m_agents->setRow(0, rowOf(cells, QStringLiteral("2")));
        frmDroit dialog(*m_agents, 0, &m_owner);
        showDialog(dialog);
        QCOMPARE(boxesOf(&dialog), boxes);
        QCOMPARE(child<QCheckBox>(&dialog, "chkComt")->isEnabled(), comtEnabled);
        QVERIFY(!child<QCheckBox>(&dialog, "chkPass")->isChecked());
        QCOMPARE(child<QLineEdit>(&dialog, "txtId")->text(), QStringLiteral("7"));
        QCOMPARE(child<QLineEdit>(&dialog, "txtNom")->text(), QStringLiteral("Dupont"));
        QCOMPARE(unnamedControls(&dialog).join(u','), QString());
    }

    // Every control with a Tag shows the text of that number, in French and
    // in English.
    void tagTexts_data()
    {
        QTest::addColumn<int>("langue");
        QTest::newRow("French") << 0;
        QTest::newRow("English") << 1;
    }
    void tagTexts()
    {
        QFETCH(int, langue);
        m_setup->useLanguage(langue);
        frmDroit dialog(*m_agents, 0, &m_owner);
        const QList<FormTexts::Tagged> controls = FormTexts::tagged(&dialog);
        QCOMPARE(controls.size(), 17);
        for (const FormTexts::Tagged& control : controls)
            QVERIFY2(control.shown == message(control.number), qPrintable(control.control));
    }

    void modiKeepsComt()
    {
        m_agents->setRow(0, rowOf(QStringLiteral("......XX"), QString()));
        frmDroit dialog(*m_agents, 0, &m_owner);
        showDialog(dialog);
        auto* modi = child<QCheckBox>(&dialog, "chkModi");
        auto* comt = child<QCheckBox>(&dialog, "chkComt");
        clickBox(modi);
        QVERIFY(comt->isEnabled());
        QVERIFY(comt->isChecked());
        clickBox(comt);
        QVERIFY(!comt->isChecked());
        clickBox(modi);
        QVERIFY(comt->isChecked());
        QVERIFY(!comt->isEnabled());
    }

    // OK writes the cells and accumulates the change state: 1 rights, 2 the
    // password cleared, 3 both.
    void ok_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("newCells");
        QTest::addColumn<QString>("newChange");
        const struct
        {
            const char *row, *cells, *change;
            QStringList clicks;
            const char *newCells, *newChange;
        } rows[] = {
            {"no change", "XXXXXX.X", "", {}, "XXXXXX.X", ""},
            {"one right off", "XXXXXX.X", "", {"chkStat"}, "XXXX.X.X", "1"},
            {"all fields to comment only", "......XX", "", {"chkModi"}, ".......X", "1"},
            {"all fields from none", "........", "", {"chkModi"}, "......XX", "1"},
            {"password only", "X.......", "", {"chkPass"}, "X.......", "2"},
            {"right and password", "X.......", "", {"chkGroupe", "chkPass"}, "........", "3"},
            {"earlier password clear stays", "X.......", "2", {"chkQual"}, "X..X....", "3"},
            {"both again stays both", "X.......", "3", {"chkPass"}, "X.......", "3"},
            {"earlier rights change, nothing now", "X.......", "1", {}, "X.......", "1"}};
        for (const auto& r : rows) {
            QTest::newRow(r.row) << QString(r.cells) << QString(r.change) << r.clicks
                                 << QString(r.newCells) << QString(r.newChange);
        }
    }
    void ok()
    {
        QFETCH(QString, cells);
        QFETCH(QString, change);
        QFETCH(QStringList, clicks);
        QFETCH(QString, newCells);
        QFETCH(QString, newChange);
        m_agents->setRow(0, rowOf(cells, change));
        frmDroit dialog(*m_agents, 0, &m_owner);
        showDialog(dialog);
        for (const QString& name : clicks)
            clickBox(dialog.findChild<QCheckBox*>(name));
        QTest::mouseClick(child<QPushButton>(&dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const AgentsList::Row& row = m_agents->rows()[0];
        QCOMPARE(patternOf(row), newCells);
        QCOMPARE(row.cells[AgentsList::ColChangeState], newChange);
        QCOMPARE(row.cells[AgentsList::ColName], QStringLiteral("Dupont"));
    }

    // Cancel, or Escape, leaves the row as it was.
    void cancel_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void cancel()
    {
        QFETCH(bool, escape);
        m_agents->setRow(0, rowOf(QStringLiteral("XXXXXX.X"), QStringLiteral("2")));
        frmDroit dialog(*m_agents, 0, &m_owner);
        showDialog(dialog);
        for (const char* name : {"chkGroupe", "chkModi", "chkPass"})
            clickBox(child<QCheckBox>(&dialog, name));
        child<QLineEdit>(&dialog, "txtNom")->setText(QStringLiteral("Martin"));
        if (escape)
            QTest::keyClick(child<QCheckBox>(&dialog, "chkPass"), Qt::Key_Escape);
        else
            QTest::mouseClick(child<QPushButton>(&dialog, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(patternOf(m_agents->rows()[0]), QStringLiteral("XXXXXX.X"));
        QCOMPARE(m_agents->rows()[0].cells[AgentsList::ColChangeState], QStringLiteral("2"));
        QCOMPARE(m_agents->rows()[0].cells[AgentsList::ColName], QStringLiteral("Dupont"));
    }

    void help()
    {
        frmDroit dialog(*m_agents, 0, &m_owner);
        showDialog(dialog);
        QTest::mouseClick(child<QPushButton>(&dialog, "cmdAide"), Qt::LeftButton);
        const QList<UiRecorder::Call> help = UiRecorder::callsOf(Kind::Help);
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0].value, 130);
        QCOMPARE(help[0].text, HelpFile);
    }

    // The dialog works on the selected row, wherever the current row is: a
    // row selected through the accessibility interface (the list takes the
    // focus there too), none selected (nothing opens). The list shows what
    // its OK wrote, and the dialog carries the window's icon.
    void openedFromTheList_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("opened"); // the agent the dialog shows; "": none
        QTest::newRow("double-click") << "double-click"
                                      << "5";
        QTest::newRow("Properties button") << "Properties"
                                           << "5";
        QTest::newRow("selected by a screen reader") << "accessible"
                                                     << "5";
        QTest::newRow("nothing selected") << "none"
                                          << "";
    }
    void openedFromTheList()
    {
        QFETCH(QString, how);
        QFETCH(QString, opened);
        const std::unique_ptr<frmCFG> window(openWindow());
        auto* list = child<QTreeView>(window.get(), "lvListView");
        child<QTabWidget>(window.get(), "tbsOptions")->setCurrentIndex(2);
        const QModelIndex fifth = list->model()->index(4, 1);
        if (how == "double-click" || how == "Properties")
            list->setCurrentIndex(fifth);
        QCoreApplication::processEvents();
        QString shownId;
        qint64 iconKey = -1;
        onNextModal([&](QWidget* dialog) {
            shownId = child<QLineEdit>(dialog, "txtId")->text();
            iconKey = dialog->windowIcon().cacheKey();
            clickBox(child<QCheckBox>(dialog, "chkPref"));
            QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        });
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(list);
        if (how == "double-click") {
            const QRect cell = list->visualRect(fifth);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        } else if (how == "accessible") {
            QVERIFY(face->state().focusable);
            QAccessibleInterface* cell = face->tableInterface()->cellAt(4, 0);
            cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        } else if (how == "none") {
            list->clearSelection();
        }
        if (how != "double-click")
            QTest::mouseClick(child<QPushButton>(window.get(), "cmdProprietes"), Qt::LeftButton);
        QCOMPARE(shownId, opened);
        const QString changed = opened.isEmpty() ? QString() : QStringLiteral("1");
        QCOMPARE(window->agentsModel().rows()[4].cells[AgentsList::ColChangeState], changed);
        QCOMPARE(window->agentsModel().rows()[0].cells[AgentsList::ColChangeState], QString());
        if (opened.isEmpty())
            return;
        QCOMPARE(iconKey, window->windowIcon().cacheKey());
        QCOMPARE(list->model()->index(4, AgentsList::ColPreferences).data().toString(), QString());
    }
};

QTEST_MAIN(TestFrmDroit)
#include "tst_frmdroit.moc"
