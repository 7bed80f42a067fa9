// The History window offscreen against a real zorsrv whose audit holds
// 10,000 known writes of 50 agents (AuditFixture): its filters, the pages it
// fetches as the list scrolls, the fields it shows as they were written, and
// the rights dialog's link to an agent's history.

#include "AgentsModel.h"
#include "AuditFixture.h"
#include "EditorTestSupport.h"
#include "FormTexts.h"
#include "HistoryTransfer.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmDroit.h"
#include "frmHistory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace EditorTestSupport;

namespace {

constexpr int Writes = 10000;
constexpr int Agents = 50;

} // namespace

class TestFrmHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<Setup> m_setup;
    ZorsrvProcess m_server;
    AgentsList::Rows m_agents; // "Name 1" to "Name 50"
    QDateTime m_first;         // the time of the first write

    static QTreeView* list(QWidget* window) { return child<QTreeView>(window, "lvHistory"); }

    // Scrolls to the end of the list until nothing more comes; the lines.
    static int scrollToEnd(QWidget* window)
    {
        for (int rows = -1; rows != list(window)->model()->rowCount();) {
            rows = list(window)->model()->rowCount();
            list(window)->scrollToBottom();
            QCoreApplication::processEvents();
        }
        return list(window)->model()->rowCount();
    }

    static QStringList line(QWidget* window, int row)
    {
        QStringList cells;
        for (int column = 0; column < 4; ++column)
            cells << list(window)->model()->index(row, column).data().toString();
        return cells;
    }

    QString when(int write) const
    {
        return m_first.addSecs(60 * write).toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss");
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_setup = std::make_unique<Setup>();
        m_first = QDateTime::currentDateTimeUtc().addDays(-30);
        m_first.setTime(QTime(m_first.time().hour(), m_first.time().minute()));
        QVERIFY(AuditFixture::write(m_server.databasePath(), Writes, Agents, m_first));
        QVERIFY2(m_server.startOnStationPort(), qPrintable(m_server.errorText()));
        m_setup->startUp(m_server.port(), 1);
        QVERIFY(HistoryTransfer::Probe());
        for (int agent = 1; agent <= Agents; ++agent) {
            AgentsList::Row row;
            row.cells[AgentsList::ColNumber] = QString::number(agent);
            row.cells[AgentsList::ColName] = QStringLiteral("Name %1").arg(agent);
            m_agents.push_back(row);
        }
    }

    void init() { UiRecorder::install(); }

    void filters_data()
    {
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("since"); // the first write shown, -1 no bound
        QTest::addColumn<int>("until"); // the first write no more shown, -1 no bound
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("status"); // the text shown below the list, 0 none
        QTest::newRow("everything") << ""
                                    << "" << -1 << -1 << 2 * Writes << 0;
        QTest::newRow("agent by number") << "7"
                                         << "" << -1 << -1 << 400 << 0;
        QTest::newRow("agent by name") << "name 7"
                                       << "" << -1 << -1 << 400 << 0;
        QTest::newRow("agent by part of a name") << "ame 17"
                                                 << "" << -1 << -1 << 400 << 0;
        QTest::newRow("part of several names") << "ame 4"
                                               << "" << -1 << -1 << 0 << 1426;
        QTest::newRow("agent with no history") << "51"
                                               << "" << -1 << -1 << 0 << 1424;
        QTest::newRow("one field") << ""
                                   << "Droit_Stat" << -1 << -1 << Writes << 0;
        QTest::newRow("one field of one agent") << "3"
                                                << "Droit_Modif_Fiche" << -1 << -1 << 200 << 0;
        QTest::newRow("supervisor's field") << "3"
                                            << "CouleurTxBas" << -1 << -1 << 0 << 1424;
        QTest::newRow("time range") << ""
                                    << "" << 9000 << 9500 << 1000 << 0;
        QTest::newRow("since, one agent") << "2"
                                          << "" << 9000 << -1 << 40 << 0;
    }

    void filters()
    {
        QFETCH(QString, agent);
        QFETCH(QString, field);
        QFETCH(int, since);
        QFETCH(int, until);
        QFETCH(int, status);
        frmHistory window(m_agents, 0, nullptr);
        window.show();
        QTest::keyClicks(child<QLineEdit>(&window, "txtAgent"), agent);
        auto* fields = child<QComboBox>(&window, "cboField");
        fields->setCurrentIndex(field.isEmpty() ? 0 : fields->findData(field));
        for (const auto& [box, edit, write] : {std::tuple{"chkSince", "dtpSince", since},
                                               std::tuple{"chkUntil", "dtpUntil", until}}) {
            if (write >= 0) {
                clickBox(child<QCheckBox>(&window, box));
                child<QDateTimeEdit>(&window, edit)
                    ->setDateTime(m_first.addSecs(60 * write).toLocalTime());
            }
        }
        QTest::keyClick(child<QLineEdit>(&window, "txtAgent"), Qt::Key_Return);
        QTEST(scrollToEnd(&window), "lines");
        QCOMPARE(child<QLabel>(&window, "lblStatus")->text(),
                 status ? message(status).replace(QStringLiteral("|1"), agent) : QString());
    }

    // The lines as written: the newest (agent 50's 200th write, from a client
    // that named nobody), the next (agent 49's, by bob), and an agent's first.
    void lines_data()
    {
        QTest::addColumn<QString>("agent");
        QTest::addColumn<int>("line"); // from the end when negative
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("newest, records")
            << "" << 0
            << QStringList{when(9999), "10.9.9.9", "Agent 50 (Name 50): Edit customer records",
                           "none → comment field only"};
        QTest::newRow("newest, statistics")
            << "" << 1
            << QStringList{when(9999), "10.9.9.9", "Agent 50 (Name 50): Show statistics",
                           "refused → granted"};
        QTest::newRow("by bob") << "" << 2
                                << QStringList{when(9998), "bob, ZorCFG, 10.1.2.3",
                                               "Agent 49 (Name 49): Edit customer records",
                                               "none → comment field only"};
        QTest::newRow("first write")
            << "1" << -1
            << QStringList{when(0), "bob, ZorCFG, 10.1.2.3", "Agent 1 (Name 1): Show statistics",
                           "not set → refused"};
    }

    void lines()
    {
        QFETCH(QString, agent);
        QFETCH(int, line);
        frmHistory window(m_agents, agent.toInt(), nullptr);
        window.show();
        const int lines = line < 0 ? scrollToEnd(&window) : 0;
        QTEST(this->line(&window, line < 0 ? lines + line : line), "cells");
    }

    // Pages come as the list needs them: some when the window opens, more
    // when the list is scrolled to its end.
    void scrolling()
    {
        frmHistory window(m_agents, 0, nullptr);
        window.show();
        QCoreApplication::processEvents();
        const int first = list(&window)->model()->rowCount();
        QVERIFY(first > 0 && first < Writes);
        list(&window)->scrollToBottom();
        QCoreApplication::processEvents();
        QVERIFY(list(&window)->model()->rowCount() > first);
    }

    // The rights dialog's link opens the agent's history.
    void fromRightsDialog()
    {
        AgentsModel model;
        model.setRows(m_agents);
        frmDroit rights(model, 6, nullptr);
        QStringList whats;
        QString agent;
        onNextModal([&](QWidget* history) {
            agent = child<QLineEdit>(history, "txtAgent")->text();
            for (int row = 0; row < list(history)->model()->rowCount(); ++row)
                whats << line(history, row)[2].section(u':', 0, 0);
            history->close();
        });
        Q_EMIT child<QLabel>(&rights, "lblHistory")->linkActivated(QStringLiteral("history"));
        QCOMPARE(agent, QStringLiteral("7"));
        QVERIFY(!whats.isEmpty());
        QCOMPARE(whats.count(QStringLiteral("Agent 7 (Name 7)")), whats.size());
    }

    // The field list names the fields as the pages and the rights dialog do.
    void fieldNames_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("a right") << "Droit_Modif_Fiche"
                                 << "Edit customer records";
        QTest::newRow("an option") << "Langue"
                                   << "Language";
        QTest::newRow("a threshold") << "TauxActiviteT2"
                                     << "Activity rate: T2";
        QTest::newRow("below T1") << "CouleurTxBas"
                                  << "Activity rate: < T1";
        QTest::newRow("between") << "CouleurTxMilieu"
                                 << "Activity rate: T1 < Rate < T2";
        QTest::newRow("above T2") << "CouleurTxHaut"
                                  << "Activity rate: > T2";
        QTest::newRow("a counter") << "CouleurCptTComp"
                                   << "Counters: Extra work";
    }

    void fieldNames()
    {
        QFETCH(QString, key);
        frmHistory window(m_agents, 0, nullptr);
        auto* fields = child<QComboBox>(&window, "cboField");
        QTEST(fields->itemText(fields->findData(key)), "name");
    }

    // The help topic, a name for every control, and each Tag's text.
    void helpNamesTexts()
    {
        frmHistory window(m_agents, 0, nullptr);
        window.show();
        const QList<FormTexts::Tagged> controls = FormTexts::tagged(&window);
        QCOMPARE(controls.size(), 8);
        for (const FormTexts::Tagged& control : controls)
            QVERIFY2(control.shown == message(control.number), qPrintable(control.control));
        QTest::mouseClick(child<QPushButton>(&window, "cmdHelp"), Qt::LeftButton);
        QCOMPARE(UiRecorder::callsOf(UiRecorder::Kind::Help).value(0).value, 140);
        QCOMPARE(unnamedControls(&window), QStringList());
    }
};

QTEST_MAIN(TestFrmHistory)
#include "tst_frmhistory.moc"
