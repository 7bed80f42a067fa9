#include "AgentsCsv.h"

#include <QHash>

#include <optional>

namespace {

using AgentsList::Rows;
using Csv::Error;
using Csv::Record;

constexpr const char* AgentColumn = "Agent";
constexpr const char* NameColumn = "Name";
constexpr int NoColumn = -1;

struct Header
{
    int agent = NoColumn;
    std::array<int, RightsCells::Keys.size()> rights{};
};

int keyIndex(const QString& name)
{
    for (std::size_t i = 0; i < RightsCells::Keys.size(); ++i) {
        if (name == QLatin1StringView(RightsCells::Keys[i]))
            return int(i);
    }
    return NoColumn;
}

std::optional<Error> readHeader(const Record& record, Header& header)
{
    header.rights.fill(NoColumn);
    QHash<QString, int> seen;
    for (qsizetype i = 0; i < record.fields.size(); ++i) {
        const Csv::Field& field = record.fields[i];
        const QString name = field.text.trimmed();
        if (seen.contains(name))
            return Error{record.line, field.column,
                         QStringLiteral("column '%1' appears twice").arg(name)};
        seen.insert(name, int(i));
        const int key = keyIndex(name);
        if (key != NoColumn)
            header.rights[std::size_t(key)] = int(i);
        else if (name == QLatin1StringView(AgentColumn))
            header.agent = int(i);
        else if (name != QLatin1StringView(NameColumn))
            return Error{record.line, field.column,
                         QStringLiteral("unknown column '%1'").arg(name)};
    }
    if (header.agent == NoColumn)
        return Error{record.line, 1, QStringLiteral("the header has no Agent column")};
    for (std::size_t k = 0; k < header.rights.size(); ++k) {
        if (header.rights[k] == NoColumn)
            return Error{record.line, 1,
                         QStringLiteral("the header has no %1 column")
                             .arg(QLatin1StringView(RightsCells::Keys[k]))};
    }
    return std::nullopt;
}

std::optional<std::size_t> findRow(const Rows& rows, const QString& agent)
{
    bool ok = false;
    const int number = agent.trimmed().toInt(&ok, 10);
    for (std::size_t i = 0; ok && i < rows.size(); ++i) {
        if (rows[i].cells[AgentsList::ColNumber].toInt() == number)
            return i;
    }
    return std::nullopt;
}

std::optional<Error> readEntry(const Record& record, const Header& header, qsizetype width,
                               const Rows& rows, QHash<std::size_t, int>& seen,
                               AgentsCsv::Entry& entry)
{
    if (record.fields.size() != width) {
        const int column = record.fields.size() > width ? record.fields[width].column
                                                        : record.fields.last().column;
        return Error{record.line, column,
                     QStringLiteral("%1 fields where the header has %2")
                         .arg(record.fields.size())
                         .arg(width)};
    }
    const Csv::Field& agent = record.fields[header.agent];
    const std::optional<std::size_t> row = findRow(rows, agent.text);
    if (!row)
        return Error{record.line, agent.column,
                     QStringLiteral("unknown agent '%1'").arg(agent.text)};
    if (seen.contains(*row))
        return Error{record.line, agent.column,
                     QStringLiteral("agent %1 already given on line %2")
                         .arg(agent.text.trimmed())
                         .arg(seen.value(*row))};
    seen.insert(*row, record.line);
    entry.line = record.line;
    entry.row = *row;
    for (std::size_t k = 0; k < header.rights.size(); ++k) {
        const Csv::Field& field = record.fields[header.rights[k]];
        bool ok = false;
        const int level = field.text.trimmed().toInt(&ok, 10);
        const int max = RightsCells::MaxLevel(RightsCells::Keys[k]).value_or(1);
        if (!ok || level < 0 || level > max)
            return Error{record.line, field.column,
                         QStringLiteral("%1 must be a whole number from 0 to %2, not '%3'")
                             .arg(QLatin1StringView(RightsCells::Keys[k]))
                             .arg(max)
                             .arg(field.text)};
        entry.levels[k] = level;
    }
    return std::nullopt;
}

} // namespace

namespace AgentsCsv {

QByteArray Write(const Rows& rows)
{
    QStringList header{QLatin1StringView(AgentColumn), QLatin1StringView(NameColumn)};
    for (const char* key : RightsCells::Keys)
        header << QLatin1StringView(key);
    QByteArray bytes = Csv::FormatRecord(header);
    for (const AgentsList::Row& row : rows) {
        QStringList fields{row.cells[AgentsList::ColNumber], row.cells[AgentsList::ColName]};
        for (const char* key : RightsCells::Keys)
            fields << QString::number(RightsCells::Level(row, key));
        bytes += Csv::FormatRecord(fields);
    }
    return bytes;
}

std::variant<QList<Entry>, Error> Read(QByteArrayView bytes, const Rows& rows)
{
    const Csv::Result parsed = Csv::Read(bytes);
    if (const Error* error = std::get_if<Error>(&parsed))
        return *error;
    const QList<Record>& records = std::get<QList<Record>>(parsed);
    if (records.isEmpty())
        return Error{1, 1, QStringLiteral("the file has no header row")};
    Header header;
    if (const std::optional<Error> error = readHeader(records.first(), header))
        return *error;
    QList<Entry> entries;
    QHash<std::size_t, int> seen;
    for (qsizetype i = 1; i < records.size(); ++i) {
        Entry entry;
        if (const std::optional<Error> error =
                readEntry(records[i], header, records.first().fields.size(), rows, seen, entry))
            return *error;
        entries.append(entry);
    }
    return entries;
}

} // namespace AgentsCsv
