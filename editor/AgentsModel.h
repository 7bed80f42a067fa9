#pragma once

#include "AgentsList.h"

#include <QAbstractTableModel>

#include <vector>

// The agents list as the Agents page shows it: a view onto the rows of
// AgentsList, which stay the one copy the fetches, the rights dialog and the
// stores work on. Columns, their header texts and alignments are created by
// the page; each row is keyed "AGENT_" + its number.
class AgentsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit AgentsModel(QObject* parent = nullptr);

    AgentsList::Rows& rows() { return m_rows; }
    const AgentsList::Rows& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Removes every row; removeColumns also every column.
    void removeAllRows();
    void removeAllColumns();
    void addColumn(const QString& text, Qt::Alignment alignment);
    void setHeaderText(int column, const QString& text);

    // Adds a row keyed "AGENT_" + number; false (nothing added) when that key
    // is taken.
    bool addRow(const QString& number, const QString& name);
    static QString keyOf(const QString& number);
    QString key(int row) const;
    int rowOfKey(const QString& key) const;

    // Replaces every row (the columns stay); the rows' numbers are distinct.
    void setRows(AgentsList::Rows rows);

    // Replaces the cells of a row and tells the views.
    void setRow(int row, const AgentsList::Row& cells);

    // Tells the views that the cells of rows first to last changed in place.
    void rowsChanged(int first, int last);
    void allRowsChanged();

private:
    struct ColumnDef
    {
        QString text;
        Qt::Alignment alignment;
    };

    AgentsList::Rows m_rows;
    std::vector<ColumnDef> m_columns;
};
