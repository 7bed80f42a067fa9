#pragma once

#include "AgentDirectory.h"
#include "AgentsList.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class frmCFG;
}
class AgentsModel;
class QAbstractButton;
class QLineEdit;

// The configuration window: three pages (General, Couleurs, Agents) over the
// global settings record and the agents list, confirmed by OK or dropped by
// Cancel. Created and loaded once by start-up; the program ends when it
// closes.
class frmCFG : public QWidget
{
    Q_OBJECT

public:
    // What the window asks of the session's windows: the About box, and the
    // unload of the splash window (which ends the gateway's socket).
    struct SessionWindows
    {
        std::function<void(QWidget* owner)> showAbout;
        std::function<void()> unloadSplash;
    };
    static SessionWindows& sessionWindows();

    // Creates the window and runs its load.
    explicit frmCFG(QWidget* parent = nullptr);
    ~frmCFG() override;

    // The help context of the window: 120 after the load, then the selected
    // tab's.
    int HelpContextID = 0;

    // The agent automation server while the agents list is being built.
    std::optional<AgentDirectory::Connection> M_Agent;

    AgentsModel& agentsModel() { return *m_agents; }
    AgentsList::Rows& agentRows();

    void AfficherParametres();
    void InitListeAgents();
    void CreerColonnesAgents();
    void TraduireColonnesAgents();
    bool zoragent_active();
    bool ChargerListViewAgents();
    void AfficherDroitsAgent();
    void ChoisirCouleur(QAbstractButton* box);

    // The colour of a colour box, red in the low byte.
    static qint32 boxColour(const QAbstractButton* box);
    static void setBoxColour(QAbstractButton* box, qint32 colour);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectHandlers();
    void Form_Load();
    void loadIcons();
    void fillLanguageLists();
    void tbsOptions_Click();
    void selectNextTab();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAide_Click();
    void ComVersion_Click();
    void History_Click();
    void cmdProprietes_Click();
    void lvListView_DblClick();

    // General page
    void optModeStd_Click();
    void optModeLie_Click();
    void optModeSpec_Click();
    void txtNbJour_LostFocus();
    void txtT1_LostFocus();
    void txtT2_LostFocus();
    void cboLangue_LostFocus();
    void replaceThresholdPlaceholders();
    void nameControlsForReaders();

    // OK, step by step
    bool copyThresholds();
    void copyOptions();
    void copyColours();
    void storeAndClose();

    // Shows the rows built by AgentsListLoad and selects the first.
    void showAgents(const AgentsList::Rows& rows);
    void setColumnWidths();
    void fitColumns();

    std::unique_ptr<Ui::frmCFG> m_ui;
    AgentsModel* m_agents = nullptr;
    bool m_changed = false; // the change flag of OK
};
