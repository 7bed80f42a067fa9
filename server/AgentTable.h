#pragma once

#include "DirectoryProtocol.h"

#include <QList>
#include <QString>

#include <optional>

// The agent table in zorsrv's database: one row per agent (number, name,
// group), and an audit row for every change (time, who, the agent, its name
// and group before and after). Every function works on an open Qt SQL
// connection, by its name; none keeps state.
namespace AgentTable {

// Creates the two tables when they are missing.
bool ensureSchema(const QString& connection, QString* error);

// True when the database holds the agent table (a database of an older
// zorsrv may not).
bool exists(const QString& connection);

// Every valid row in ascending number order, at most MaxAgents. Rows that
// break the directory's bounds (written behind zorsrv's back) are left out
// and counted in skipped.
std::optional<DirectoryProtocol::Entries> read(const QString& connection, QString* error,
                                               int* skipped = nullptr);

// One change: the agent's row afterwards, or none to remove it.
struct Change
{
    qint32 number = 0;
    std::optional<DirectoryProtocol::Entry> after;
};

// The rows a change of the whole table to wanted takes: removals of the
// numbers wanted lacks, then every entry of wanted.
QList<Change> replacement(const DirectoryProtocol::Entries& current,
                          const DirectoryProtocol::Entries& wanted);

struct Applied
{
    bool ok = false;
    QString error;
    int changed = 0; // rows added, changed or removed
};

// Applies the changes in one transaction that takes the write lock first,
// with an audit row for each row that really changes; nothing is stored
// when one fails or when the table would hold more than MaxAgents rows.
Applied apply(const QString& connection, const QList<Change>& changes, const QString& who);

} // namespace AgentTable
