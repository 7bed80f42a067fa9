#include "AgentTable.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace AgentTable {

namespace {

using DirectoryProtocol::Entries;
using DirectoryProtocol::Entry;

QString describe(const QSqlError& error)
{
    return (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
}

bool exec(QSqlQuery& query, const QString& statement, QString* error)
{
    if (query.exec(statement))
        return true;
    if (error)
        *error = describe(query.lastError());
    return false;
}

// A text that is never SQL NULL.
QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

// The field of an entry, or NULL when there is no entry.
QVariant textOrNull(const std::optional<Entry>& entry, QString Entry::*field)
{
    return entry ? QVariant(text((*entry).*field)) : QVariant(QMetaType::fromType<QString>());
}

// The row of one agent inside the transaction, or none.
std::optional<Entry> rowOf(QSqlQuery& query, qint32 number, QString* error)
{
    query.bindValue(0, number);
    if (!query.exec()) {
        *error = describe(query.lastError());
        return std::nullopt;
    }
    std::optional<Entry> row;
    if (query.next())
        row = Entry{number, query.value(0).toString(), query.value(1).toString()};
    query.finish();
    return row;
}

} // namespace

bool ensureSchema(const QString& connection, QString* error)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return exec(query,
                QStringLiteral("CREATE TABLE IF NOT EXISTS agents (number INTEGER PRIMARY KEY, "
                               "name TEXT NOT NULL, grp TEXT NOT NULL DEFAULT '', updated TEXT "
                               "NOT NULL)"),
                error) &&
           exec(query,
                QStringLiteral("CREATE TABLE IF NOT EXISTS agent_audit (id INTEGER PRIMARY KEY "
                               "AUTOINCREMENT, time TEXT NOT NULL, who TEXT NOT NULL, number "
                               "INTEGER NOT NULL, before_name TEXT, before_group TEXT, "
                               "after_name TEXT, after_group TEXT)"),
                error);
}

bool exists(const QString& connection)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(QStringLiteral(
               "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'agents'")) &&
           query.next();
}

std::optional<Entries> read(const QString& connection, QString* error, int* skipped)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    if (!exec(query, QStringLiteral("SELECT number, name, grp FROM agents ORDER BY number"), error))
        return std::nullopt;
    Entries entries;
    int left = 0;
    while (query.next()) {
        const qint64 number = query.value(0).toLongLong();
        const Entry e{qint32(number), query.value(1).toString(), query.value(2).toString()};
        if (number > DirectoryProtocol::MaxNumber ||
            entries.size() >= DirectoryProtocol::MaxAgents ||
            !DirectoryProtocol::checkEntry(e).isEmpty())
            ++left;
        else
            entries.append(e);
    }
    if (skipped)
        *skipped = left;
    return entries;
}

QList<Change> replacement(const Entries& current, const Entries& wanted)
{
    QSet<qint32> kept;
    for (const Entry& e : wanted)
        kept.insert(e.number);
    QList<Change> changes;
    for (const Entry& e : current)
        if (!kept.contains(e.number))
            changes.append({e.number, std::nullopt});
    for (const Entry& e : wanted)
        changes.append({e.number, e});
    return changes;
}

Applied apply(const QString& connection, const QList<Change>& changes, const QString& who)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery query(db);
    Applied result;
    // The write lock first: a deferred transaction could fail half-way when
    // another writer (the server, another admin command) gets in between.
    if (!exec(query, QStringLiteral("BEGIN IMMEDIATE"), &result.error))
        return result;
    QSqlQuery select(db), upsert(db), remove(db), audit(db), count(db);
    const bool prepared =
        select.prepare(QStringLiteral("SELECT name, grp FROM agents WHERE number = ?")) &&
        upsert.prepare(QStringLiteral("INSERT INTO agents (number, name, grp, updated) VALUES "
                                      "(?, ?, ?, ?) ON CONFLICT(number) DO UPDATE SET name = "
                                      "excluded.name, grp = excluded.grp, updated = "
                                      "excluded.updated")) &&
        remove.prepare(QStringLiteral("DELETE FROM agents WHERE number = ?")) &&
        audit.prepare(QStringLiteral("INSERT INTO agent_audit (time, who, number, before_name, "
                                     "before_group, after_name, after_group) VALUES (?, ?, ?, ?, "
                                     "?, ?, ?)"));
    if (!prepared)
        result.error = describe(db.lastError());
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (qsizetype i = 0; prepared && i < changes.size() && result.error.isEmpty(); ++i) {
        const Change& c = changes[i];
        const std::optional<Entry> before = rowOf(select, c.number, &result.error);
        if (!result.error.isEmpty() || before == c.after)
            continue;
        QSqlQuery& write = c.after ? upsert : remove;
        write.bindValue(0, c.number);
        if (c.after) {
            write.bindValue(1, c.after->name);
            write.bindValue(2, text(c.after->group));
            write.bindValue(3, now);
        }
        const QVariantList values = {now,
                                     who,
                                     c.number,
                                     textOrNull(before, &Entry::name),
                                     textOrNull(before, &Entry::group),
                                     textOrNull(c.after, &Entry::name),
                                     textOrNull(c.after, &Entry::group)};
        for (int v = 0; v < values.size(); ++v)
            audit.bindValue(v, values[v]);
        if (!write.exec() || !audit.exec())
            result.error =
                describe(write.lastError().isValid() ? write.lastError() : audit.lastError());
        ++result.changed;
    }
    if (result.error.isEmpty() &&
        exec(count, QStringLiteral("SELECT count(*) FROM agents"), &result.error)) {
        if (count.next() && count.value(0).toLongLong() > DirectoryProtocol::MaxAgents)
            result.error = QStringLiteral("the table would hold more than %1 agents")
                               .arg(DirectoryProtocol::MaxAgents);
        count.finish();
    }
    if (result.error.isEmpty() && exec(query, QStringLiteral("COMMIT"), &result.error)) {
        result.ok = true;
        return result;
    }
    result.changed = 0;
    query.exec(QStringLiteral("ROLLBACK"));
    return result;
}

} // namespace AgentTable
