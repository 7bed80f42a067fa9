#include "History.h"

#include "Framing.h"
#include "Layout.h"
#include "RecordFields.h"
#include "Records.h"
#include "Storage.h"

#include <QDateTime>

#include <algorithm>

namespace History {

namespace {

using HistoryProtocol::Query;
using HistoryProtocol::Row;

// The audit's form of a time: ISO 8601 UTC with milliseconds, which sorts as
// the times do.
QString auditTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(std::clamp<qint64>(ms, 0, HistoryProtocol::LatestTime),
                                          Qt::UTC)
        .toString(Qt::ISODateWithMs);
}

qint64 msOf(const QString& auditTime)
{
    const QDateTime time = QDateTime::fromString(auditTime, Qt::ISODateWithMs);
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

Storage::AuditFilter filterOf(const Query& query)
{
    Storage::AuditFilter filter;
    if (query.record != HistoryProtocol::AllRecords)
        filter.record = query.record;
    // A field of one kind of record only: the others need not be read.
    const bool supervisor = RecordFields::isSupervisorField(query.field);
    if (supervisor != RecordFields::isAgentField(query.field))
        filter.supervisor = supervisor;
    if (query.since > 0)
        filter.since = auditTime(query.since);
    if (query.until > 0)
        filter.until = auditTime(query.until);
    if (query.afterId > 0)
        filter.after = {auditTime(query.afterTime), query.afterId};
    return filter;
}

// The row with the fields its write changed (only the asked field's, when
// one is asked for).
Row rowOf(const Storage::AuditRow& audit, const QByteArray& field)
{
    Row row{
        audit.id,      msOf(audit.time), audit.record, HistoryProtocol::clientCode(audit.client),
        !audit.before, audit.peer,       audit.login,  {}};
    const QList<RecordFields::Field> before =
        RecordFields::decode(audit.record, audit.before.value_or(Records::unset(audit.record)));
    const QList<RecordFields::Field> after = RecordFields::decode(audit.record, audit.after);
    for (qsizetype i = 0; i < after.size() && i < before.size(); ++i) {
        if (before[i].value != after[i].value && (field.isEmpty() || after[i].name == field))
            row.changes.append({after[i].name, after[i].kind, before[i].value, after[i].value});
    }
    return row;
}

} // namespace

QByteArray answer(Storage& storage, const Query& query)
{
    Storage::AuditFilter filter = filterOf(query);
    const int limit = std::clamp(query.rows, 1, HistoryProtocol::MaxRows);
    const bool oneField = !query.field.isEmpty();
    QByteArrayList rows;
    qsizetype bytes = HistoryProtocol::PageHeaderSize;
    int examined = 0;
    bool more = false;
    std::pair<QString, qint64> last;
    for (;;) {
        // One row beyond the limit tells whether more follow.
        const int batch = oneField ? 200 : limit - int(rows.size()) + 1;
        QString error;
        const std::optional<QList<Storage::AuditRow>> page =
            storage.auditPage(filter, batch, &error);
        if (!page)
            return Framing::refusal(Framing::Refusal::StorageFailure, HistoryProtocol::Request,
                                    query.record);
        for (const Storage::AuditRow& audit : *page) {
            const Row row = rowOf(audit, query.field);
            if (!oneField || !row.changes.isEmpty()) {
                const QByteArray encoded = HistoryProtocol::encodeRow(row);
                if (rows.size() == limit || bytes + encoded.size() > Layout::DataSize) {
                    more = true;
                    break;
                }
                rows.append(encoded);
                bytes += encoded.size();
            }
            last = {audit.time, audit.id};
            if (++examined == MaxExamined && oneField) {
                more = true;
                break;
            }
        }
        if (more || page->size() < batch)
            break;
        filter.after = last;
    }
    return Framing::answer(HistoryProtocol::Request, query.record,
                           HistoryProtocol::encodePage(rows, more, msOf(last.first), last.second));
}

} // namespace History
