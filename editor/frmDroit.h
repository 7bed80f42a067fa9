#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <utility>

namespace Ui {
class frmDroit;
}
class AgentsModel;
class QCheckBox;

// The rights of one agent: the row of the agents list selected when the
// dialog loads. OK writes the ticked rights into the row's cells and marks
// the row changed; Cancel leaves the row as it was. Nothing is stored here.
class frmDroit : public QDialog
{
    Q_OBJECT

public:
    // Creates the dialog on row `row` of the list and runs its load. The
    // dialog takes the icon of its owner window.
    frmDroit(AgentsModel& agents, int row, QWidget* owner);
    ~frmDroit() override;

    int HelpContextID = 0;

private:
    void Form_Load(QWidget* owner);
    // The rights boxes and their list columns, in the order OK reads them.
    std::array<std::pair<QCheckBox*, int>, 8> rightBoxes() const;
    void chkModi_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAide_Click();
    void lblHistory_Click();

    std::unique_ptr<Ui::frmDroit> m_ui;
    AgentsModel& m_agents;
    int m_row;
};
