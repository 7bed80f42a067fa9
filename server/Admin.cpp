#include "Admin.h"

#include "Layout.h"
#include "RecordFields.h"
#include "Records.h"
#include "Storage.h"

#include <QByteArray>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <utility>

namespace Admin {

namespace {

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' '));
}

// What a field shows: a password that is set only when asked for.
QString shown(const Field& field, bool showPasswords)
{
    if (!field.secret || showPasswords || field.value == QLatin1String("\"\""))
        return field.value;
    return QStringLiteral("(hidden)");
}

void writeRecord(QTextStream& out, qint32 record, const std::optional<QByteArray>& stored,
                 bool showPasswords)
{
    out << Records::label(record) << " (record " << record << ")"
        << (stored ? "" : ": never written, reads as not set") << "\n";
    const QByteArray data = stored.value_or(Records::unset(record));
    for (const Field& f : fields(record, data))
        out << "  " << f.name << ": " << shown(f, showPasswords) << "\n";
    for (const QString& line : otherBytes(record, data))
        out << "  " << line << "\n";
}

} // namespace

QList<Field> fields(qint32 record, QByteArrayView data)
{
    QList<Field> result;
    for (const RecordFields::Field& field : RecordFields::decode(record, data)) {
        const bool secret = field.kind == RecordFields::Kind::Password;
        result.append({field.name + (secret && record == Layout::SupervisorRecordNumber
                                         ? QStringLiteral(" (scrambled)")
                                         : QString()),
                       RecordFields::englishValue(field.kind, field.value, true), secret});
    }
    return result;
}

QStringList otherBytes(qint32 record, QByteArrayView data, QByteArrayView base)
{
    const int size = Records::dataSize(record);
    QList<bool> interpreted(size, false);
    for (const auto& [start, end] : RecordFields::spans(record))
        for (int i = start; i < end && i < size; ++i)
            interpreted[i] = true;
    const QByteArray now = data.toByteArray().leftJustified(size, '\0', true);
    const QByteArray before = base.toByteArray().leftJustified(size, '\0', true);
    QStringList lines;
    int i = 0;
    while (i < size) {
        if (interpreted[i] || now[i] == before[i]) {
            ++i;
            continue;
        }
        int end = i;
        while (end < size && !interpreted[end] && now[end] != before[end])
            ++end;
        QString line = QStringLiteral("bytes %1-%2: ").arg(i).arg(end - 1);
        if (!base.isEmpty())
            line += hex(QByteArrayView(before).sliced(i, end - i)) + QLatin1String(" -> ");
        lines << line + hex(QByteArrayView(now).sliced(i, end - i));
        i = end;
    }
    return lines;
}

int dump(const QString& database, std::optional<qint32> record, bool showPasswords,
         QTextStream& out, QTextStream& err)
{
    Storage storage(QStringLiteral("zorsrv-dump"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::ReadOnly);
    if (opened.failure != Storage::Failure::None) {
        err << "zorsrv: " << opened.message << "\n";
        return 2;
    }
    if (record) {
        writeRecord(out, *record, storage.record(*record), showPasswords);
        return 0;
    }
    const QMap<qint32, QByteArray> all = storage.records();
    if (!all.contains(Layout::SupervisorRecordNumber))
        writeRecord(out, Layout::SupervisorRecordNumber, std::nullopt, showPasswords);
    for (auto it = all.begin(); it != all.end(); ++it)
        writeRecord(out, it.key(), it.value(), showPasswords);
    const qsizetype agents = all.size() - (all.contains(Layout::SupervisorRecordNumber) ? 1 : 0);
    out << agents << " agent records written; the others read as not set\n";
    return 0;
}

int audit(const QString& database, bool showPasswords, QTextStream& out, QTextStream& err)
{
    Storage storage(QStringLiteral("zorsrv-audit"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::ReadOnly);
    if (opened.failure != Storage::Failure::None) {
        err << "zorsrv: " << opened.message << "\n";
        return 2;
    }
    const QList<Storage::AuditRow> rows = storage.audit();
    for (const Storage::AuditRow& row : rows) {
        out << "#" << row.id << " " << row.time << " " << row.peer << " "
            << Records::label(row.record) << " (record " << row.record << ")"
            << (row.before ? "" : ", first write");
        const QString by = QStringList{row.client, row.login}.join(u' ').trimmed();
        if (!by.isEmpty())
            out << " [" << by << "]";
        out << "\n";
        const QByteArray before = row.before.value_or(Records::unset(row.record));
        const QList<Field> old = fields(row.record, before);
        const QList<Field> now = fields(row.record, row.after);
        bool changed = false;
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (old[i].value == now[i].value)
                continue;
            const QString after = shown(now[i], showPasswords);
            out << "  " << now[i].name << ": " << shown(old[i], showPasswords) << " -> "
                << (after == shown(old[i], showPasswords) ? after + " (changed)" : after) << "\n";
            changed = true;
        }
        const QStringList bytes = otherBytes(row.record, row.after, before);
        for (const QString& line : bytes)
            out << "  " << line << "\n";
        if (!changed && bytes.isEmpty())
            out << "  (no change)\n";
    }
    out << rows.size() << " audit rows\n";
    return 0;
}

int prune(const QString& database, const Storage::Retention& retention, QTextStream& out,
          QTextStream& err)
{
    if (!QFileInfo::exists(database)) {
        err << "zorsrv: cannot open the database " << database << ": no such file\n";
        return 2;
    }
    Storage storage(QStringLiteral("zorsrv-prune"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::Update);
    QString error;
    const qint64 deleted =
        opened.failure == Storage::Failure::None ? storage.pruneAudit(retention, &error) : -1;
    if (deleted < 0) {
        err << "zorsrv: " << (opened.message.isEmpty() ? error : opened.message) << "\n";
        return 2;
    }
    out << deleted << " audit rows deleted; the audit keeps " << retention.days
        << " days and at most " << retention.rows << " rows\n";
    return 0;
}

} // namespace Admin
