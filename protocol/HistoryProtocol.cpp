#include "HistoryProtocol.h"

#include "BlockLibrary.h"
#include "Layout.h"

#include <QStringDecoder>

namespace HistoryProtocol {

namespace {

qint64 readInt64(const quint8* base, int offset)
{
    return qint64(quint64(quint32(Layout::readInt(base, offset))) |
                  (quint64(quint32(Layout::readInt(base, offset + 4))) << 32));
}

void writeInt64(quint8* base, int offset, qint64 value)
{
    Layout::writeInt(base, offset, qint32(quint32(quint64(value))));
    Layout::writeInt(base, offset + 4, qint32(quint32(quint64(value) >> 32)));
}

void put(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char(quint8(value >> (8 * i))));
}

// The UTF-8 of the text, cut to MaxTextBytes on a character boundary.
void putText(QByteArray& out, const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > MaxTextBytes) {
        qsizetype cut = MaxTextBytes;
        while (cut > 0 && (quint8(utf8[cut]) & 0xC0) == 0x80)
            --cut;
        utf8.truncate(cut);
    }
    put(out, quint64(utf8.size()), 1);
    out.append(utf8);
}

void putValue(QByteArray& out, FieldKind kind, const Value& value)
{
    if (kind == FieldKind::Text)
        putText(out, value.text);
    else if (kind == FieldKind::Password)
        put(out, value.number != 0 || !value.text.isEmpty() ? 1 : 0, 1);
    else
        put(out, quint32(value.number), 4);
}

// Reads the page's bytes in order; any read past the end or any bad value
// spoils the whole page.
struct Reader
{
    QByteArrayView data;
    qsizetype at = 0;
    bool ok = true;

    quint64 take(int bytes)
    {
        if (!ok || data.size() - at < bytes) {
            ok = false;
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= quint64(quint8(data[at + i])) << (8 * i);
        at += bytes;
        return value;
    }
    QString text()
    {
        const qsizetype size = qsizetype(take(1));
        if (!ok || data.size() - at < size)
            return ok = false, QString();
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless |
                                   QStringConverter::Flag::ConvertInitialBom);
        QString result = decoder(data.sliced(at, size));
        ok = !decoder.hasError();
        at += size;
        return result;
    }
    Value value(FieldKind kind)
    {
        Value v;
        if (kind == FieldKind::Text) {
            v.text = text();
        } else if (kind == FieldKind::Password) {
            v.number = qint32(take(1));
            ok = ok && v.number <= 1;
        } else {
            v.number = qint32(quint32(take(4)));
        }
        return v;
    }
};

std::optional<Change> readChange(Reader& in)
{
    Change change;
    change.field = in.text();
    const quint64 kind = in.take(1);
    if (!in.ok || change.field.isEmpty() || change.field.toUtf8().size() > MaxFieldNameBytes ||
        kind < quint64(FieldKind::Password) || kind > quint64(FieldKind::Text))
        return std::nullopt;
    change.kind = FieldKind(kind);
    change.before = in.value(change.kind);
    change.after = in.value(change.kind);
    return in.ok ? std::optional<Change>(change) : std::nullopt;
}

std::optional<Row> readRow(Reader& in)
{
    Row row;
    row.id = qint64(in.take(8));
    row.time = qint64(in.take(8));
    row.record = qint32(quint32(in.take(4)));
    row.client = qint32(in.take(1));
    const quint64 first = in.take(1);
    row.firstWrite = first == 1;
    row.peer = in.text();
    row.login = in.text();
    const int changes = int(in.take(1));
    if (!in.ok || first > 1 || changes > MaxChanges)
        return std::nullopt;
    for (int i = 0; i < changes; ++i) {
        const std::optional<Change> change = readChange(in);
        if (!change)
            return std::nullopt;
        row.changes.append(*change);
    }
    return row;
}

} // namespace

QString clientName(qint32 client)
{
    switch (client) {
    case Client::ZorCFG:
        return QStringLiteral("ZorCFG");
    case Client::Zoradm:
        return QStringLiteral("zoradm");
    default:
        return {};
    }
}

qint32 clientCode(const QString& name)
{
    for (const qint32 code : {Client::ZorCFG, Client::Zoradm}) {
        if (name == clientName(code))
            return code;
    }
    return Client::Unknown;
}

void writeQuery(quint8* header, const Query& query)
{
    Layout::writeInt(header, Layout::Header::Request, Request);
    Layout::writeInt(header, Layout::Header::Record, query.record);
    Layout::writeInt(header, Offset::Rows, query.rows);
    writeInt64(header, Offset::Since, query.since);
    writeInt64(header, Offset::Until, query.until);
    writeInt64(header, Offset::AfterTime, query.afterTime);
    writeInt64(header, Offset::AfterId, query.afterId);
    Klt::conv_string_t6200(query.field, MaxFieldNameBytes, header + Offset::Field);
}

Query readQuery(const quint8* header)
{
    Query query;
    query.record = Layout::readInt(header, Layout::Header::Record);
    query.rows = Layout::readInt(header, Offset::Rows);
    query.since = readInt64(header, Offset::Since);
    query.until = readInt64(header, Offset::Until);
    query.afterTime = readInt64(header, Offset::AfterTime);
    query.afterId = readInt64(header, Offset::AfterId);
    query.field = Klt::conv_t6200_string(header + Offset::Field, MaxFieldNameBytes);
    return query;
}

QByteArray encodeRow(const Row& row)
{
    QByteArray out;
    put(out, quint64(row.id), 8);
    put(out, quint64(row.time), 8);
    put(out, quint32(row.record), 4);
    put(out, quint64(row.client) & 0xFF, 1);
    put(out, row.firstWrite ? 1 : 0, 1);
    putText(out, row.peer);
    putText(out, row.login);
    const qsizetype changes = std::min<qsizetype>(row.changes.size(), MaxChanges);
    put(out, quint64(changes), 1);
    for (qsizetype i = 0; i < changes; ++i) {
        const Change& change = row.changes[i];
        putText(out, change.field.left(MaxFieldNameBytes));
        put(out, quint64(change.kind), 1);
        putValue(out, change.kind, change.before);
        putValue(out, change.kind, change.after);
    }
    return out;
}

QByteArray encodePage(const QByteArrayList& rows, bool more, qint64 nextTime, qint64 nextId)
{
    QByteArray out;
    put(out, Version, 1);
    put(out, more ? 1 : 0, 1);
    put(out, quint64(nextTime), 8);
    put(out, quint64(nextId), 8);
    put(out, quint64(rows.size()), 2);
    for (const QByteArray& row : rows)
        out.append(row);
    return out;
}

std::optional<Page> decodePage(QByteArrayView data)
{
    if (data.size() > Layout::DataSize)
        return std::nullopt;
    Reader in{data};
    Page page;
    const quint64 version = in.take(1);
    const quint64 more = in.take(1);
    page.more = more == 1;
    page.nextTime = qint64(in.take(8));
    page.nextId = qint64(in.take(8));
    const int rows = int(in.take(2));
    if (!in.ok || version != Version || more > 1 || rows > MaxRows)
        return std::nullopt;
    for (int i = 0; i < rows; ++i) {
        const std::optional<Row> row = readRow(in);
        if (!row)
            return std::nullopt;
        page.rows.append(*row);
    }
    if (in.at != data.size())
        return std::nullopt;
    return page;
}

} // namespace HistoryProtocol
