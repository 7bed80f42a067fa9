#include "DirectoryProtocol.h"

#include <QStringDecoder>
#include <QtEndian>

namespace DirectoryProtocol {

namespace {

void appendUInt32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 uint32At(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

// Valid UTF-8 without control characters, or nullopt.
std::optional<QString> textOf(QByteArrayView bytes)
{
    // A byte-order mark at the start of a text is a character of it, kept.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    for (const QChar c : std::as_const(text))
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return std::nullopt;
    return text;
}

QString checkText(const QString& text, int maxBytes, const char* what)
{
    if (text.toUtf8().size() > maxBytes)
        return QStringLiteral("the %1 is longer than %2 bytes in UTF-8").arg(what).arg(maxBytes);
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("the %1 holds a control character").arg(what);
    if (text != text.trimmed())
        return QStringLiteral("the %1 begins or ends with a blank").arg(what);
    return {};
}

} // namespace

QByteArray frame(quint8 type, QByteArrayView payload)
{
    QByteArray out;
    out.reserve(HeaderSize + payload.size());
    out.append(Magic, 4);
    out.append(char(Version));
    out.append(char(type));
    out.append(2, '\0');
    appendUInt32(out, quint32(payload.size()));
    out.append(payload);
    return out;
}

QByteArray refusal(qint32 code, const QString& reason)
{
    QByteArray payload;
    appendUInt32(payload, quint32(code));
    QByteArray text = reason.toUtf8();
    if (text.size() > MaxReasonBytes) {
        // Cut on a character boundary so the reason stays valid UTF-8.
        qsizetype cut = MaxReasonBytes;
        while (cut > 0 && (quint8(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.truncate(cut);
    }
    return frame(Refused, payload + text);
}

QByteArray agents(const Entries& entries)
{
    QByteArray payload;
    appendUInt32(payload, quint32(entries.size()));
    for (const Entry& e : entries) {
        const QByteArray name = e.name.toUtf8();
        const QByteArray group = e.group.toUtf8();
        appendUInt32(payload, quint32(e.number));
        payload.append(char(name.size()));
        payload.append(name);
        payload.append(char(group.size()));
        payload.append(group);
    }
    return frame(Agents, payload);
}

qint64 clientPayloadBound(quint8 type)
{
    return type == List ? 0 : -1;
}

qint64 serverPayloadBound(quint8 type)
{
    switch (type) {
    case Hello:
        return MaxHelloPayload;
    case Agents:
        return MaxAgentsPayload;
    case Refused:
        return MaxRefusedPayload;
    default:
        return -1;
    }
}

Scan scan(QByteArrayView bytes, qint64 (*maxPayload)(quint8 type))
{
    Scan result;
    const qsizetype magicSeen = std::min<qsizetype>(bytes.size(), 4);
    if (bytes.first(magicSeen) != QByteArrayView(Magic, magicSeen)) {
        result.status = Status::Invalid;
        result.reason = QStringLiteral("not a directory frame (no ZDIR magic)");
        return result;
    }
    if (bytes.size() < HeaderSize)
        return result;
    result.version = quint8(bytes[4]);
    result.type = quint8(bytes[5]);
    const quint32 length = uint32At(bytes, 8);
    if (result.version == 0) {
        result.status = Status::Invalid;
        result.reason = QStringLiteral("version 0");
    } else if (bytes[6] != 0 || bytes[7] != 0) {
        result.status = Status::Invalid;
        result.reason = QStringLiteral("reserved bytes 6 and 7 are not zero");
    } else if (qint64(length) > maxPayload(result.type)) {
        result.status = Status::Invalid;
        result.unexpected = maxPayload(result.type) < 0;
        result.reason = result.unexpected
                            ? QStringLiteral("frame type %1 is not expected here").arg(result.type)
                            : QStringLiteral("payload of %1 bytes for type %2 is too long")
                                  .arg(length)
                                  .arg(result.type);
    } else if (bytes.size() >= HeaderSize + qsizetype(length)) {
        result.status = Status::Frame;
        result.size = HeaderSize + qsizetype(length);
    }
    return result;
}

QByteArrayView payloadOf(QByteArrayView frameBytes)
{
    return frameBytes.sliced(HeaderSize);
}

std::optional<Entries> readAgents(QByteArrayView payload, QString* reason)
{
    const auto fail = [reason](const QString& why) -> std::optional<Entries> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (payload.size() < 4)
        return fail(QStringLiteral("the agent count is missing"));
    const quint32 count = uint32At(payload, 0);
    if (count > quint32(MaxAgents))
        return fail(QStringLiteral("%1 agents is more than %2").arg(count).arg(MaxAgents));
    Entries entries;
    entries.reserve(qsizetype(count));
    qsizetype at = 4;
    for (quint32 i = 0; i < count; ++i) {
        if (payload.size() - at < 5)
            return fail(QStringLiteral("agent %1 of %2 is cut short").arg(i + 1).arg(count));
        Entry e;
        e.number = qint32(uint32At(payload, at));
        const qsizetype nameSize = quint8(payload[at + 4]);
        at += 5;
        if (payload.size() - at < nameSize + 1)
            return fail(QStringLiteral("agent %1 of %2 is cut short").arg(i + 1).arg(count));
        const std::optional<QString> name = textOf(payload.sliced(at, nameSize));
        at += nameSize;
        const qsizetype groupSize = quint8(payload[at]);
        at += 1;
        if (payload.size() - at < groupSize)
            return fail(QStringLiteral("agent %1 of %2 is cut short").arg(i + 1).arg(count));
        const std::optional<QString> group = textOf(payload.sliced(at, groupSize));
        at += groupSize;
        if (!name || !group)
            return fail(QStringLiteral("agent %1 of %2 has a text that is not UTF-8 or holds a "
                                       "control character")
                            .arg(i + 1)
                            .arg(count));
        e.name = *name;
        e.group = *group;
        const QString bad = checkEntry(e);
        if (!bad.isEmpty())
            return fail(QStringLiteral("agent %1 of %2: %3").arg(i + 1).arg(count).arg(bad));
        if (!entries.isEmpty() && e.number <= entries.back().number)
            return fail(
                QStringLiteral("agent numbers are not in ascending order at %1").arg(e.number));
        entries.append(e);
    }
    if (at != payload.size())
        return fail(QStringLiteral("%1 bytes follow the last agent").arg(payload.size() - at));
    return entries;
}

std::optional<RefusalInfo> readRefusal(QByteArrayView payload)
{
    if (payload.size() < 4)
        return std::nullopt;
    const std::optional<QString> text = textOf(payload.sliced(4));
    return RefusalInfo{qint32(uint32At(payload, 0)), text.value_or(QString())};
}

QString checkEntry(const Entry& entry)
{
    if (entry.number < 1)
        return QStringLiteral("the agent number %1 is not between 1 and %2")
            .arg(entry.number)
            .arg(MaxNumber);
    if (entry.name.isEmpty())
        return QStringLiteral("the name is empty");
    QString bad = checkText(entry.name, MaxNameBytes, "name");
    if (bad.isEmpty())
        bad = checkText(entry.group, MaxGroupBytes, "group");
    return bad;
}

} // namespace DirectoryProtocol
