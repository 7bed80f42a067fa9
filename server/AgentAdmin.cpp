#include "AgentAdmin.h"

#include "AgentTable.h"
#include "CommandLine.h"
#include "Storage.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace AgentAdmin {

namespace {

using DirectoryProtocol::Entries;
using DirectoryProtocol::Entry;

constexpr qint64 MaxCsvBytes = 4 * 1024 * 1024;

struct Request
{
    QString sub;
    QString database;
    QString csv;
    QStringList values; // the positional arguments after the subcommand
    QString error;
};

Request parseArguments(const QStringList& arguments)
{
    Request r;
    r.sub = arguments.value(2);
    for (qsizetype i = 3; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString* target = a == QLatin1String("--db")    ? &r.database
                          : a == QLatin1String("--csv") ? &r.csv
                                                        : nullptr;
        if (target && i + 1 < arguments.size())
            *target = arguments[++i];
        else if (target)
            r.error = QStringLiteral("%1 needs a value").arg(a);
        else if (a.startsWith(QLatin1String("--")))
            r.error = QStringLiteral("unknown option %1").arg(a);
        else
            r.values << a;
    }
    if (r.database.isEmpty())
        r.database = CommandLine::defaultDatabase();
    return r;
}

std::optional<qint32> numberOf(const QString& text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    const bool digits = !text.isEmpty() &&
                        std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    if (!ok || !digits || n < 1 || n > DirectoryProtocol::MaxNumber)
        return std::nullopt;
    return qint32(n);
}

// The fields of one CSV line, or an error text.
std::optional<QStringList> fieldsOf(const QString& line, QString* error)
{
    QStringList fields;
    qsizetype i = 0;
    for (;;) {
        while (i < line.size() && line[i] == QLatin1Char(' '))
            ++i;
        QString field;
        if (i < line.size() && line[i] == QLatin1Char('"')) {
            for (++i;; ++i) {
                if (i >= line.size()) {
                    *error = QStringLiteral("a quoted field is not closed");
                    return std::nullopt;
                }
                if (line[i] == QLatin1Char('"') && i + 1 < line.size() &&
                    line[i + 1] == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++i;
                } else if (line[i] == QLatin1Char('"')) {
                    ++i;
                    break;
                } else {
                    field += line[i];
                }
            }
            while (i < line.size() && line[i] == QLatin1Char(' '))
                ++i;
            if (i < line.size() && line[i] != QLatin1Char(',')) {
                *error = QStringLiteral("text after a closing quote");
                return std::nullopt;
            }
        } else {
            const qsizetype comma = line.indexOf(QLatin1Char(','), i);
            field = line.mid(i, comma < 0 ? -1 : comma - i).trimmed();
            if (field.contains(QLatin1Char('"'))) {
                *error = QStringLiteral("a quote inside an unquoted field");
                return std::nullopt;
            }
            i = comma < 0 ? line.size() : comma;
        }
        fields << field;
        if (i >= line.size())
            return fields;
        ++i; // the comma
    }
}

std::optional<Entry> entryOf(const QString& line, QString* error)
{
    const std::optional<QStringList> fields = fieldsOf(line, error);
    if (!fields)
        return std::nullopt;
    if (fields->size() < 2 || fields->size() > 3) {
        *error = QStringLiteral("%1 fields; NUMBER,NAME[,GROUP] expected").arg(fields->size());
        return std::nullopt;
    }
    const std::optional<qint32> number = numberOf(fields->at(0));
    if (!number) {
        *error = QStringLiteral("\"%1\" is not an agent number from 1 to %2")
                     .arg(fields->at(0))
                     .arg(DirectoryProtocol::MaxNumber);
        return std::nullopt;
    }
    const Entry e{*number, fields->at(1), fields->value(2)};
    *error = DirectoryProtocol::checkEntry(e);
    return error->isEmpty() ? std::optional<Entry>(e) : std::nullopt;
}

QString quoted(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')))
        return field;
    QString q = field;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

struct Database
{
    Storage storage{QStringLiteral("zorsrv-agents")};
    int failure = 0; // the exit code when it could not be opened
};

// Opens the database for the command: creates it (and the table) when it
// will be written, only reads it otherwise.
void open(Database& db, const QString& path, bool write, QTextStream& err)
{
    const Storage::Opened opened =
        db.storage.open(path, write ? Storage::Mode::Update : Storage::Mode::ReadOnly);
    QString error = opened.message;
    if (opened.failure == Storage::Failure::Corrupt)
        db.failure = 3;
    else if (opened.failure != Storage::Failure::None)
        db.failure = 2;
    else if (write && !AgentTable::ensureSchema(QStringLiteral("zorsrv-agents"), &error))
        db.failure = 2;
    if (db.failure)
        err << "zorsrv: " << error << "\n";
}

std::optional<Entries> current(QTextStream& err)
{
    const QString connection = QStringLiteral("zorsrv-agents");
    if (!AgentTable::exists(connection))
        return Entries{};
    QString error;
    int skipped = 0;
    std::optional<Entries> entries = AgentTable::read(connection, &error, &skipped);
    if (!entries)
        err << "zorsrv: cannot read the agent table: " << error << "\n";
    else if (skipped > 0)
        err << "zorsrv: " << skipped << " rows of the agent table break its bounds and are not "
            << "served\n";
    return entries;
}

int applyChanges(const QList<AgentTable::Change>& changes, const QString& who, QTextStream& out,
                 QTextStream& err)
{
    const AgentTable::Applied applied =
        AgentTable::apply(QStringLiteral("zorsrv-agents"), changes, who);
    if (!applied.ok) {
        err << "zorsrv: the agent table was not changed: " << applied.error << "\n";
        return applied.error.startsWith(QLatin1String("the table would hold")) ? 1 : 2;
    }
    out << applied.changed << " agents changed\n";
    return 0;
}

int list(QTextStream& out, QTextStream& err)
{
    const std::optional<Entries> entries = current(err);
    if (!entries)
        return 2;
    if (entries->isEmpty()) {
        out << "The agent table is empty: until it holds agents, the directory refuses every "
               "connection and ZorCFG lists the agents 1 to 32. Import them from a CSV file of "
               "NUMBER,NAME[,GROUP] lines with: zorsrv agents import [--db FILE] --csv FILE\n";
        return 0;
    }
    for (const Entry& e : *entries) {
        out << QString::number(e.number).rightJustified(6) << "  " << e.name;
        if (!e.group.isEmpty())
            out << "  [" << e.group << "]";
        out << "\n";
    }
    out << entries->size() << " agents\n";
    return 0;
}

int set(const QStringList& values, QTextStream& out, QTextStream& err)
{
    QString error = values.size() < 2 || values.size() > 3
                        ? QStringLiteral("agents set needs NUMBER NAME [GROUP]")
                        : QString();
    const std::optional<qint32> number = numberOf(values.value(0));
    if (error.isEmpty() && !number)
        error = QStringLiteral("\"%1\" is not an agent number from 1 to %2")
                    .arg(values.value(0))
                    .arg(DirectoryProtocol::MaxNumber);
    const Entry e{number.value_or(0), values.value(1).trimmed(), values.value(2).trimmed()};
    if (error.isEmpty())
        error = DirectoryProtocol::checkEntry(e);
    if (!error.isEmpty()) {
        err << "zorsrv: " << error << "\n";
        return 1;
    }
    return applyChanges({{e.number, e}}, QStringLiteral("agents set"), out, err);
}

int remove(const QStringList& values, QTextStream& out, QTextStream& err)
{
    const std::optional<qint32> number = values.size() == 1 ? numberOf(values[0]) : std::nullopt;
    if (!number) {
        err << "zorsrv: agents remove needs one agent NUMBER\n";
        return 1;
    }
    const std::optional<Entries> entries = current(err);
    if (!entries)
        return 2;
    if (std::none_of(entries->begin(), entries->end(),
                     [&](const Entry& e) { return e.number == *number; })) {
        err << "zorsrv: there is no agent " << *number << "\n";
        return 1;
    }
    return applyChanges({{*number, std::nullopt}}, QStringLiteral("agents remove"), out, err);
}

int import(const QString& path, QTextStream& out, QTextStream& err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "zorsrv: cannot read " << path << ": " << file.errorString() << "\n";
        return 1;
    }
    if (file.size() > MaxCsvBytes) {
        err << "zorsrv: " << path << " is larger than " << MaxCsvBytes << " bytes\n";
        return 1;
    }
    const Csv csv = readCsv(file.readAll());
    if (!csv.entries) {
        err << "zorsrv: " << path << ": " << csv.error << "; nothing was imported\n";
        return 1;
    }
    const std::optional<Entries> entries = current(err);
    if (!entries)
        return 2;
    return applyChanges(AgentTable::replacement(*entries, *csv.entries),
                        QStringLiteral("agents import"), out, err);
}

int exportTo(const QString& path, QTextStream& out, QTextStream& err)
{
    const std::optional<Entries> entries = current(err);
    if (!entries)
        return 2;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(writeCsv(*entries)) < 0 || !file.commit()) {
        err << "zorsrv: cannot write " << path << ": " << file.errorString() << "\n";
        return 1;
    }
    out << entries->size() << " agents exported\n";
    return 0;
}

} // namespace

Csv readCsv(QByteArrayView bytes)
{
    Csv result;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const QByteArrayList lines = bytes.toByteArray().split('\n');
    Entries entries;
    QHash<qint32, qsizetype> lineOf;
    bool first = true;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArrayView raw = lines[n];
        if (raw.endsWith('\r'))
            raw.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = decoder.decode(raw);
        const QString where = QStringLiteral("line %1: ").arg(n + 1);
        if (decoder.hasError()) {
            result.error = where + QStringLiteral("not UTF-8 text");
            return result;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (std::exchange(first, false) &&
            line.simplified().remove(u' ').compare(QLatin1String("number,name,group"),
                                                   Qt::CaseInsensitive) == 0)
            continue;
        QString error;
        const std::optional<Entry> e = entryOf(line, &error);
        if (e && lineOf.contains(e->number))
            error = QStringLiteral("agent %1 is already on line %2")
                        .arg(e->number)
                        .arg(lineOf[e->number] + 1);
        else if (e && entries.size() >= DirectoryProtocol::MaxAgents)
            error = QStringLiteral("more than %1 agents").arg(DirectoryProtocol::MaxAgents);
        if (!error.isEmpty()) {
            result.error = where + error;
            return result;
        }
        lineOf.insert(e->number, n);
        entries.append(*e);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.number < b.number; });
    result.entries = entries;
    return result;
}

QByteArray writeCsv(const Entries& entries)
{
    QString text = QStringLiteral("number,name,group\n");
    for (const Entry& e : entries)
        text += QString::number(e.number) + QLatin1Char(',') + quoted(e.name) + QLatin1Char(',') +
                quoted(e.group) + QLatin1Char('\n');
    return text.toUtf8();
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Request r = parseArguments(arguments);
    if (r.sub == QLatin1String("--help") || r.sub == QLatin1String("-h")) {
        out << usage();
        return 0;
    }
    const bool csvCommand = r.sub == QLatin1String("import") || r.sub == QLatin1String("export");
    const QStringList known = {"list", "set", "remove", "import", "export"};
    QString error = r.error;
    if (error.isEmpty() && !known.contains(r.sub))
        error = QStringLiteral("unknown agents command \"%1\"").arg(r.sub);
    else if (error.isEmpty() && csvCommand && (r.csv.isEmpty() || !r.values.isEmpty()))
        error = QStringLiteral("agents %1 needs --csv FILE and nothing else").arg(r.sub);
    else if (error.isEmpty() && !csvCommand && !r.csv.isEmpty())
        error = QStringLiteral("agents %1 takes no --csv").arg(r.sub);
    else if (error.isEmpty() && r.sub == QLatin1String("list") && !r.values.isEmpty())
        error = QStringLiteral("agents list takes no arguments");
    if (!error.isEmpty()) {
        err << "zorsrv: " << error << "\n" << usage();
        return 1;
    }
    Database db;
    const bool write = r.sub == QLatin1String("set") || r.sub == QLatin1String("remove") ||
                       r.sub == QLatin1String("import");
    open(db, r.database, write, err);
    if (db.failure)
        return db.failure;
    if (r.sub == QLatin1String("list"))
        return list(out, err);
    if (r.sub == QLatin1String("set"))
        return set(r.values, out, err);
    if (r.sub == QLatin1String("remove"))
        return remove(r.values, out, err);
    if (r.sub == QLatin1String("import"))
        return import(r.csv, out, err);
    return exportTo(r.csv, out, err);
}

QString usage()
{
    return QStringLiteral(
        "usage: zorsrv agents list   [--db FILE]\n"
        "       zorsrv agents set    [--db FILE] NUMBER NAME [GROUP]\n"
        "       zorsrv agents remove [--db FILE] NUMBER\n"
        "       zorsrv agents import [--db FILE] --csv FILE\n"
        "       zorsrv agents export [--db FILE] --csv FILE\n"
        "The agent table that zorsrv's directory serves. import replaces the whole table\n"
        "with the file's agents, or changes nothing when a line is bad. CSV lines are\n"
        "NUMBER,NAME[,GROUP] in UTF-8, with an optional first line number,name,group.\n");
}

} // namespace AgentAdmin
