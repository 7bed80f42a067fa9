#include "AgentsModel.h"

AgentsModel::AgentsModel(QObject* parent) : QAbstractTableModel(parent) {}

int AgentsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AgentsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant AgentsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount() ||
        index.column() >= AgentsList::ColumnCount)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return m_rows[std::size_t(index.row())].cells[std::size_t(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[std::size_t(index.column())].alignment |
                                   Qt::AlignVCenter);
    return {};
}

QVariant AgentsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[std::size_t(section)].text;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[std::size_t(section)].alignment | Qt::AlignVCenter);
    return {};
}

void AgentsModel::removeAllRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void AgentsModel::removeAllColumns()
{
    beginResetModel();
    m_columns.clear();
    endResetModel();
}

void AgentsModel::addColumn(const QString& text, Qt::Alignment alignment)
{
    const int column = columnCount();
    beginInsertColumns({}, column, column);
    m_columns.push_back({text, alignment});
    endInsertColumns();
}

void AgentsModel::setHeaderText(int column, const QString& text)
{
    if (column < 0 || column >= columnCount())
        return;
    m_columns[std::size_t(column)].text = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

QString AgentsModel::keyOf(const QString& number)
{
    return QStringLiteral("AGENT_") + number;
}

QString AgentsModel::key(int row) const
{
    return keyOf(m_rows.at(std::size_t(row)).cells[AgentsList::ColNumber]);
}

int AgentsModel::rowOfKey(const QString& wanted) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (key(row) == wanted)
            return row;
    }
    return -1;
}

bool AgentsModel::addRow(const QString& number, const QString& name)
{
    if (rowOfKey(keyOf(number)) >= 0)
        return false;
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.push_back(AgentsList::makeRow(number, name));
    endInsertRows();
    return true;
}

void AgentsModel::setRows(AgentsList::Rows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void AgentsModel::setRow(int row, const AgentsList::Row& cells)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[std::size_t(row)] = cells;
    rowsChanged(row, row);
}

void AgentsModel::rowsChanged(int first, int last)
{
    if (first > last || columnCount() == 0)
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void AgentsModel::allRowsChanged()
{
    rowsChanged(0, rowCount() - 1);
}
