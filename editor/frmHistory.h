#pragma once

#include "AgentsList.h"
#include "HistoryModel.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class frmHistory;
}

// The configuration server's history: who changed which setting or right,
// and when, newest first. Filters by agent (number or name, as the Agents
// page lists them), by field and by time; more rows come as the list is
// scrolled. Reads only; opened from the configuration window and from an
// agent's rights dialog.
class frmHistory : public QDialog
{
    Q_OBJECT

public:
    // agents: the Agents page's rows (for the names); agent: the agent whose
    // history shows first, 0 for every record. fetch reads a page (the
    // server's, unless given).
    frmHistory(const AgentsList::Rows& agents, int agent, QWidget* owner,
               HistoryModel::Fetch fetch = HistoryTransfer::Fetch);
    ~frmHistory() override;

    int HelpContextID = 0;
    HistoryModel& model() { return *m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load(QWidget* owner);
    void cmdApply_Click();
    void cmdHelp_Click();
    void chkSince_Click();
    void chkUntil_Click();
    void showState();
    void fitColumns();
    // The record of the agent the field names: AllRecords when it is empty,
    // nothing when no single agent matches.
    std::optional<qint32> recordOfAgentField() const;

    std::unique_ptr<Ui::frmHistory> m_ui;
    const AgentsList::Rows& m_agents;
    HistoryModel* m_model = nullptr;
    bool m_fitted = false; // the columns fit the lines of the query
};
