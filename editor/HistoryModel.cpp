#include "HistoryModel.h"

#include "HistoryTexts.h"

#include <utility>

namespace {

// Pages one fetchMore may ask for while they bring no line (a field's
// changes far apart): then the view asks again when it is scrolled.
constexpr int MaxPagesPerFetch = 50;

} // namespace

HistoryModel::HistoryModel(Fetch fetch, QObject* parent)
    : QAbstractTableModel(parent), m_fetch(std::move(fetch))
{}

void HistoryModel::setHeaders(const QStringList& headers)
{
    m_headers = headers;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void HistoryModel::setNames(QHash<qint32, QString> names)
{
    m_names = std::move(names);
}

void HistoryModel::restart(const HistoryProtocol::Query& query)
{
    if (m_fetching)
        return;
    clear();
    m_scheduled = false;
    m_query = query;
    m_more = true;
    fetchPage();
}

void HistoryModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_lines.clear();
    m_more = false;
    m_failed = false;
    endResetModel();
}

HistoryModel::State HistoryModel::state() const
{
    if (m_failed)
        return State::Failed;
    return m_lines.isEmpty() && !m_more ? State::Empty : State::Rows;
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const Line& line = m_lines[index.row()];
    const HistoryProtocol::Row& row = m_rows[line.row];
    const HistoryProtocol::Change* change = line.change < 0 ? nullptr : &row.changes[line.change];
    switch (index.column()) {
    case When:
        return HistoryTexts::when(row);
    case Who:
        return HistoryTexts::who(row);
    case What:
        return HistoryTexts::what(row, change, m_names);
    case Change:
        return HistoryTexts::change(change);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers[section];
    return {};
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_more && !m_failed && !m_fetching && !m_scheduled;
}

void HistoryModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &HistoryModel::scheduledFetch, Qt::QueuedConnection);
}

// A fetch asked for before a restart is forgotten.
void HistoryModel::scheduledFetch()
{
    if (std::exchange(m_scheduled, false))
        fetchPage();
}

// The fetch waits with the window's events running: the guard keeps a view
// from asking again meanwhile.
void HistoryModel::fetchPage()
{
    if (m_fetching || !m_more || m_failed)
        return;
    m_fetching = true;
    QList<HistoryProtocol::Row> arrived;
    for (int page = 0; page < MaxPagesPerFetch && m_more && arrived.isEmpty(); ++page) {
        const HistoryTransfer::Result result = m_fetch(m_query);
        if (result.outcome != HistoryTransfer::Outcome::Page) {
            m_failed = true;
            break;
        }
        const bool progress =
            result.page.nextId != m_query.afterId || result.page.nextTime != m_query.afterTime;
        m_more = result.page.more && progress;
        m_query.afterTime = result.page.nextTime;
        m_query.afterId = result.page.nextId;
        arrived = result.page.rows;
    }
    qsizetype lines = 0;
    for (const HistoryProtocol::Row& row : std::as_const(arrived))
        lines += std::max<qsizetype>(1, row.changes.size());
    if (lines > 0) {
        beginInsertRows({}, int(m_lines.size()), int(m_lines.size() + lines - 1));
        for (const HistoryProtocol::Row& row : std::as_const(arrived)) {
            m_rows.append(row);
            for (qsizetype c = 0; c < std::max<qsizetype>(1, row.changes.size()); ++c)
                m_lines.append({m_rows.size() - 1, row.changes.isEmpty() ? -1 : c});
        }
        endInsertRows();
    }
    m_fetching = false;
    Q_EMIT fetched();
}
