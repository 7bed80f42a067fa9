#pragma once

#include "HistoryTransfer.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

// The History window's table: the server's history, newest first, one line
// per changed field (one for a write that changed none). Pages are fetched
// as the view needs more lines (Qt's fetchMore, when the list is scrolled to
// its end).
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Fetch = std::function<HistoryTransfer::Result(const HistoryProtocol::Query&)>;
    enum Column
    {
        When,
        Who,
        What,
        Change,
        ColumnCount
    };
    enum class State
    {
        Rows,  // lines, or more to fetch
        Empty, // nothing matches the query
        Failed // the last fetch failed; the lines fetched before stay
    };

    explicit HistoryModel(Fetch fetch, QObject* parent = nullptr);

    void setHeaders(const QStringList& headers);
    // The agents' names by number, shown beside their numbers.
    void setNames(QHash<qint32, QString> names);
    // Drops every line and fetches the query's first page; clear fetches none.
    void restart(const HistoryProtocol::Query& query);
    void clear();
    State state() const;
    bool fetching() const { return m_fetching; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    // Asks for the next page from the event loop: a view asks in the middle
    // of its layout, where the wait for the server must not run.
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // After each fetch: the state may have changed.
    void fetched();

private:
    void scheduledFetch();
    void fetchPage();

    struct Line
    {
        qsizetype row;
        qsizetype change; // -1: the write changed nothing
    };

    Fetch m_fetch;
    QStringList m_headers;
    QHash<qint32, QString> m_names;
    HistoryProtocol::Query m_query;
    QList<HistoryProtocol::Row> m_rows;
    QList<Line> m_lines;
    bool m_more = false;
    bool m_failed = false;
    bool m_fetching = false;
    bool m_scheduled = false;
};
