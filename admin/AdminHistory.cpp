#include "AdminHistory.h"

#include "ConsoleUi.h"
#include "ExitCodes.h"
#include "HistoryTransfer.h"
#include "RecordFields.h"
#include "Variables.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace AdminHistory {

namespace {

constexpr int MaxAgent = 99999;

// A time as ISO 8601: a date (midnight), a date and a time, with an offset or
// Z for UTC, else in local time. Milliseconds since 1970; nothing when the
// text is not such a time.
std::optional<qint64> parseTime(QString text)
{
    text = text.trimmed().replace(u' ', u'T');
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid() || time.toMSecsSinceEpoch() <= 0 ||
        time.toMSecsSinceEpoch() > HistoryProtocol::LatestTime)
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

QString recordLabel(qint32 record)
{
    return record < 0 ? QStringLiteral("supervisor")
                      : QStringLiteral("agent %1").arg(qint64(record) + 1);
}

QString isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonValue jsonValue(HistoryProtocol::FieldKind kind, const HistoryProtocol::Value& value)
{
    switch (kind) {
    case HistoryProtocol::FieldKind::Text:
        return value.text;
    case HistoryProtocol::FieldKind::Password:
        return value.number != 0 ? QStringLiteral("(hidden)") : QString();
    default:
        return value.number;
    }
}

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

} // namespace

std::optional<HistoryProtocol::Query> QueryOf(const AdminCommandLine::Options& options,
                                              QString* error)
{
    HistoryProtocol::Query query;
    if (!options.agent.isEmpty()) {
        bool ok = false;
        const int agent = options.agent.toInt(&ok, 10);
        if (!ok || agent < 1 || agent > MaxAgent) {
            *error = QStringLiteral("--agent: '%1' is not an agent number").arg(options.agent);
            return std::nullopt;
        }
        query.record = agent - 1;
    }
    for (const auto& [text, name, bound] : {std::tuple{options.since, "--since", &query.since},
                                            std::tuple{options.until, "--until", &query.until}}) {
        if (text.isEmpty())
            continue;
        const std::optional<qint64> time = parseTime(text);
        if (!time) {
            *error = QStringLiteral("%1: '%2' is not a date such as 2024-05-31 or "
                                    "2024-05-31T14:30")
                         .arg(QLatin1StringView(name), text);
            return std::nullopt;
        }
        *bound = *time;
    }
    return query;
}

QString Text(const HistoryProtocol::Row& row)
{
    QString line = isoTime(row.time) + u' ' + row.peer + u' ' + recordLabel(row.record) +
                   (row.firstWrite ? QStringLiteral(", first write") : QString());
    const QString by =
        QStringList{HistoryProtocol::clientName(row.client), row.login}.join(u' ').trimmed();
    if (!by.isEmpty())
        line += QStringLiteral(" [") + by + u']';
    for (const HistoryProtocol::Change& change : row.changes)
        line += QStringLiteral("\n  ") + change.field + QStringLiteral(": ") +
                RecordFields::englishValue(change.kind, change.before) + QStringLiteral(" -> ") +
                RecordFields::englishValue(change.kind, change.after);
    if (row.changes.isEmpty())
        line += QStringLiteral("\n  (no change)");
    return line;
}

QString Json(const HistoryProtocol::Row& row)
{
    QJsonArray changes;
    for (const HistoryProtocol::Change& change : row.changes)
        changes.append(QJsonObject{{QStringLiteral("field"), change.field},
                                   {QStringLiteral("old"), jsonValue(change.kind, change.before)},
                                   {QStringLiteral("new"), jsonValue(change.kind, change.after)}});
    const QJsonObject object{
        {QStringLiteral("id"), row.id},
        {QStringLiteral("time"), isoTime(row.time)},
        {QStringLiteral("peer"), row.peer},
        {QStringLiteral("client"), textOrNull(HistoryProtocol::clientName(row.client))},
        {QStringLiteral("login"), textOrNull(row.login)},
        {QStringLiteral("record"), row.record},
        {QStringLiteral("agent"),
         row.record >= 0 ? QJsonValue(qint64(row.record) + 1) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("firstWrite"), row.firstWrite},
        {QStringLiteral("changes"), changes},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

int Run(const HistoryProtocol::Query& first, bool json)
{
    if (Parametres.TcpPort == 0) {
        ConsoleUi::error(QStringLiteral("zoradm: the shared folder keeps no history: only the "
                                        "configuration server (Server_Tcp=1) keeps one"));
        return ExitCodes::NoHistory;
    }
    HistoryProtocol::Query query = first;
    bool any = false;
    if (json)
        ConsoleUi::print(QStringLiteral("["));
    for (;;) {
        const HistoryTransfer::Result result = HistoryTransfer::Fetch(query);
        if (result.outcome != HistoryTransfer::Outcome::Page) {
            ConsoleUi::error(
                result.outcome == HistoryTransfer::Outcome::Refused
                    ? QStringLiteral("zoradm: the configuration server at %1:%2 keeps no history")
                          .arg(Parametres.VS_addr)
                          .arg(Parametres.TcpPort)
                    : QStringLiteral("zoradm: the history could not be read from %1:%2 "
                                     "(gateway code %3)")
                          .arg(Parametres.VS_addr)
                          .arg(Parametres.TcpPort)
                          .arg(result.code));
            return result.outcome == HistoryTransfer::Outcome::Refused ? ExitCodes::NoHistory
                                                                       : ExitCodes::Ended;
        }
        for (const HistoryProtocol::Row& row : result.page.rows) {
            ConsoleUi::print(json ? (any ? QStringLiteral(",") : QString()) + Json(row)
                                  : Text(row));
            any = true;
        }
        if (!result.page.more)
            break;
        query.afterTime = result.page.nextTime;
        query.afterId = result.page.nextId;
    }
    if (json)
        ConsoleUi::print(QStringLiteral("]"));
    return ExitCodes::Done;
}

} // namespace AdminHistory
