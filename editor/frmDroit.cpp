#include "frmDroit.h"

#include "AgentsModel.h"
#include "FormAccess.h"
#include "FormTranslator.h"
#include "HistoryTransfer.h"
#include "Rights.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmHistory.h"
#include "mCustomIcon.h"
#include "ui_frmDroit.h"

#include <array>
#include <utility>

namespace {

constexpr int HelpContext = 130;

} // namespace

frmDroit::frmDroit(AgentsModel& agents, int row, QWidget* owner)
    : QDialog(owner), m_ui(std::make_unique<Ui::frmDroit>()), m_agents(agents), m_row(row)
{
    m_ui->setupUi(this);
    connect(m_ui->chkModi, &QCheckBox::toggled, this, &frmDroit::chkModi_Click);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmDroit::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmDroit::cmdCancel_Click);
    connect(m_ui->cmdAide, &QPushButton::clicked, this, &frmDroit::cmdAide_Click);
    connect(m_ui->lblHistory, &QLabel::linkActivated, this, &frmDroit::lblHistory_Click);
    Form_Load(owner);
}

frmDroit::~frmDroit() = default;

void frmDroit::Form_Load(QWidget* owner)
{
    mCustomIcon::CustomizationSetFrmIcon(this, owner ? owner->window() : nullptr);
    FormTranslator::TranslateForm(this);
    FormAccess::nameBuddies(this);
    HelpContextID = HelpContext;
    // The agent's history, where the server keeps one: a link.
    const QString history = m_ui->lblHistory->text();
    m_ui->lblHistory->setAccessibleName(history);
    m_ui->lblHistory->setText(QStringLiteral("<a href=\"history\">") + history.toHtmlEscaped() +
                              QStringLiteral("</a>"));
    m_ui->lblHistory->setVisible(HistoryTransfer::ServerAnswers);
    if (m_row < 0 || m_row >= m_agents.rowCount())
        return;
    const AgentsList::Row& row = m_agents.rows()[std::size_t(m_row)];
    m_ui->txtId->setText(row.cells[AgentsList::ColNumber]);
    m_ui->txtNom->setText(row.cells[AgentsList::ColName]);
    for (const auto& [box, column] : rightBoxes()) {
        if (column < AgentsList::ColRecordsAll)
            box->setChecked(Rights::isGranted(row.cells[column]));
    }
    if (Rights::isGranted(row.cells[AgentsList::ColRecordsAll])) {
        m_ui->chkModi->setChecked(true);
        m_ui->chkComt->setChecked(true);
        m_ui->chkComt->setEnabled(false);
    }
    if (Rights::isGranted(row.cells[AgentsList::ColRecordsComment]))
        m_ui->chkComt->setChecked(true);
    m_ui->chkPass->setChecked(false);
}

std::array<std::pair<QCheckBox*, int>, 8> frmDroit::rightBoxes() const
{
    return {{
        {m_ui->chkGroupe, AgentsList::ColChangeGroup},
        {m_ui->chkPref, AgentsList::ColPreferences},
        {m_ui->chkPwd, AgentsList::ColChangePassword},
        {m_ui->chkQual, AgentsList::ColQualifyCalls},
        {m_ui->chkStat, AgentsList::ColStatistics},
        {m_ui->chkAppe, AgentsList::ColCallJournal},
        {m_ui->chkModi, AgentsList::ColRecordsAll},
        {m_ui->chkComt, AgentsList::ColRecordsComment},
    }};
}

void frmDroit::chkModi_Click()
{
    if (m_ui->chkModi->isChecked()) {
        m_ui->chkComt->setChecked(true); // all fields include the comment field
        m_ui->chkComt->setEnabled(false);
    } else {
        m_ui->chkComt->setEnabled(true);
    }
}

void frmDroit::cmdOK_Click()
{
    if (m_row >= 0 && m_row < m_agents.rowCount()) {
        AgentsList::Row row = m_agents.rows()[std::size_t(m_row)];
        Rights::Change change;
        for (const auto& [box, column] : rightBoxes()) {
            QString& cell = row.cells[std::size_t(column)];
            if (Rights::isGranted(cell) && !box->isChecked()) {
                cell = Rights::cellText(false);
                change.rights = true;
            } else if (box->isChecked() && cell.isEmpty()) {
                cell = Rights::cellText(true);
                change.rights = true;
            }
        }
        change.password = m_ui->chkPass->isChecked();
        Rights::mergeChange(row, change);
        m_agents.setRow(m_row, row);
    }
    accept();
}

void frmDroit::cmdCancel_Click()
{
    reject();
}

void frmDroit::lblHistory_Click()
{
    if (m_row < 0 || m_row >= m_agents.rowCount())
        return;
    const int agent = m_agents.rows()[std::size_t(m_row)].cells[AgentsList::ColNumber].toInt();
    frmHistory history(m_agents.rows(), agent, this);
    history.exec();
}

void frmDroit::cmdAide_Click()
{
    UiServices::showHelp(HelpFile, HelpContextID);
}
