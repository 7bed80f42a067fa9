// The Agents page of the configuration window: the columns and the view of
// the agents list that AgentsListLoad builds (from the agent automation
// server or the fixed table, with the agents' rights).
#include "frmCFG.h"

#include "AgentsListLoad.h"
#include "AgentsModel.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "frmDroit.h"
#include "ui_frmCFG.h"

#include <QHash>
#include <QHeaderView>
#include <QStyle>

#include <array>
#include <cmath>

namespace {

struct ColumnDef
{
    int message; // header text; 0: no text
    int twips;   // width
    Qt::Alignment alignment;
};

constexpr std::array<ColumnDef, AgentsList::ColumnCount> Columns = {{
    {226, 350, Qt::AlignLeft},
    {227, 950, Qt::AlignLeft},
    {255, 500, Qt::AlignHCenter},
    {228, 530, Qt::AlignHCenter},
    {229, 500, Qt::AlignHCenter},
    {230, 530, Qt::AlignHCenter},
    {231, 500, Qt::AlignHCenter},
    {232, 550, Qt::AlignHCenter},
    {233, 580, Qt::AlignHCenter},
    {234, 550, Qt::AlignHCenter},
    {0, 0, Qt::AlignHCenter}, // the change state, not shown
}};

QString headerText(int message)
{
    return message == 0 ? QString() : SettingsMessages::text(message);
}

} // namespace

void frmCFG::CreerColonnesAgents()
{
    m_agents->removeAllRows();
    m_agents->removeAllColumns();
    for (const ColumnDef& column : Columns)
        m_agents->addColumn(headerText(column.message), column.alignment);
    m_agents->setHeaderText(0, headerText(Columns[0].message));
    setColumnWidths();
}

void frmCFG::setColumnWidths()
{
    QHeaderView* header = m_ui->lvListView->header();
    header->setSectionsMovable(false); // a report's columns keep their order
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    const int dpi = m_ui->lvListView->logicalDpiX();
    for (int column = 0; column < int(Columns.size()); ++column) {
        const int pixels = int(std::lround(Columns[std::size_t(column)].twips * dpi / 1440.0));
        header->resizeSection(column, pixels);
    }
    m_ui->lvListView->setColumnHidden(AgentsList::ColChangeState, true);
}

// The designed widths suit the designed font; a column whose header or cells
// need more room in the font of this screen is widened to fit them.
void frmCFG::fitColumns()
{
    QHeaderView* header = m_ui->lvListView->header();
    const QFontMetrics metrics = m_ui->lvListView->fontMetrics();
    const int margin = 2 * m_ui->lvListView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    // The cells hold few distinct texts ("X", the levels, the numbers): each
    // is measured once.
    QHash<QString, int> advances;
    const auto advanceOf = [&](const QString& text) {
        auto found = advances.constFind(text);
        if (found == advances.cend())
            found = advances.insert(text, metrics.horizontalAdvance(text));
        return *found;
    };
    for (int column = 0; column < AgentsList::ColChangeState; ++column) {
        int needed = header->sectionSizeHint(column);
        for (const AgentsList::Row& row : m_agents->rows())
            needed = qMax(needed, advanceOf(row.cells[std::size_t(column)]) + margin);
        if (header->sectionSize(column) < needed)
            header->resizeSection(column, needed);
    }
}

void frmCFG::TraduireColonnesAgents()
{
    for (int column = 0; column < AgentsList::ColChangeState; ++column)
        m_agents->setHeaderText(column, headerText(Columns[std::size_t(column)].message));
    fitColumns();
}

void frmCFG::InitListeAgents()
{
    CreerColonnesAgents();
    if (!zoragent_active()) {
        showAgents(AgentsListLoad::FixedTableAgents());
        return;
    }
    if (!ChargerListViewAgents())
        UiServices::endProgram(1);
}

bool frmCFG::zoragent_active()
{
    return AgentsListLoad::OpenDirectory(M_Agent);
}

bool frmCFG::ChargerListViewAgents()
{
    const std::optional<AgentsList::Rows> rows = AgentsListLoad::DirectoryAgents(M_Agent);
    if (rows)
        showAgents(*rows);
    return rows.has_value();
}

void frmCFG::showAgents(const AgentsList::Rows& rows)
{
    m_agents->setRows(rows);
    fitColumns();
    if (m_agents->rowCount() > 0)
        m_ui->lvListView->setCurrentIndex(m_agents->index(0, 0));
}

// The dialog works on the list's selected row, which may not be the current
// one (a screen reader selects without moving it). With no row selected there
// is no agent to edit, and nothing opens.
void frmCFG::AfficherDroitsAgent()
{
    const QModelIndexList selected = m_ui->lvListView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    frmDroit dialog(*m_agents, selected.first().row(), this);
    dialog.exec();
}
