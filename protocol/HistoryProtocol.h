#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// The history request of zorsrv, our own addition to the gateway protocol:
// after login, a client asks for a page of the audit trail (who wrote which
// record, when, and the fields that changed, decoded). A server that only
// knows the designed requests refuses the request code, and the tool then
// offers no history.
//
// The request is a header-only message; its fields sit where a read request
// carries nothing. The answer's data part is one page:
//   page   : version (1 byte), more (1 byte: 1 when rows may follow), the
//            continuation (time and id, 8 bytes each), the row count (2 bytes),
//            then the rows
//   row    : id (8), time (8, ms since 1970 UTC), record (4), client (1),
//            first write (1), peer (text), login (text), change count (1),
//            then the changes
//   change : field name (text), kind (1), old value, new value
//   value  : a text for FieldKind::Text, one byte (0 empty, 1 set) for a
//            password, otherwise 4 bytes
//   text   : its length (1 byte) and as many bytes of UTF-8
// Integers are little-endian; an answer never exceeds the block's data area.
namespace HistoryProtocol {

inline constexpr qint32 Request = 7400;
inline constexpr quint8 Version = 1;
inline constexpr qint32 AllRecords = -2; // in the record field: every record
inline constexpr int MaxRows = 100;      // rows in one answer
inline constexpr int MaxChanges = 64;    // changes in one row
inline constexpr int MaxTextBytes = 255; // a text on the wire; longer ones are cut
inline constexpr int MaxFieldNameBytes = 32;
inline constexpr int PageHeaderSize = 20;
inline constexpr qint64 LatestTime = 253402300799999; // 9999-12-31T23:59:59.999Z

// Request fields, offsets in the header (the record number is at its usual
// offset 16).
namespace Offset {
inline constexpr int Rows = 20;      // at most this many rows, 1 or more
inline constexpr int Since = 24;     // 8 bytes: no row older; 0 no bound
inline constexpr int Until = 32;     // 8 bytes: only rows older; 0 no bound
inline constexpr int AfterTime = 40; // 8 bytes: the continuation of the last answer
inline constexpr int AfterId = 48;   // 8 bytes: 0 from the newest row
inline constexpr int Field = 64;     // MaxFieldNameBytes: only changes of this field
} // namespace Offset

// Who is writing, in the login header, where a designed server reads nothing
// (the bytes a greeting leaves as they were): the program's code at 160 and
// the station's login name (code page 1252, zero padded) from 164.
inline constexpr int ClientOffset = 160;
inline constexpr int LoginOffset = 164;
inline constexpr int LoginWidth = 64;
namespace Client {
inline constexpr qint32 Unknown = 0;
inline constexpr qint32 ZorCFG = 1;
inline constexpr qint32 Zoradm = 2;
} // namespace Client
// "ZorCFG", "zoradm", or an empty text; and back (Unknown for any other).
QString clientName(qint32 client);
qint32 clientCode(const QString& name);

enum class FieldKind : quint8
{
    Password = 1, // value: 1 set, 0 empty; its text never travels
    Colour,       // RGB with red in the low byte, -1 not set
    Right,        // 1 granted, 0 refused, -1 not set
    Fiche,        // 2 all fields, 1 the comment field, 0 none, -1 not set
    Number,       // -1 not set
    Text
};

struct Value
{
    qint32 number = 0;
    QString text; // Text; a password's own text, on the server side only
    bool operator==(const Value&) const = default;
};

struct Change
{
    QString field;
    FieldKind kind = FieldKind::Number;
    Value before, after;
    bool operator==(const Change&) const = default;
};

struct Row
{
    qint64 id = 0;
    qint64 time = 0; // ms since 1970, UTC
    qint32 record = 0;
    qint32 client = Client::Unknown;
    bool firstWrite = false;
    QString peer;  // address:port of the writer
    QString login; // the station's login name, when the client sent one
    QList<Change> changes;
    bool operator==(const Row&) const = default;
};

struct Page
{
    QList<Row> rows;
    bool more = false; // rows may follow: ask again from the continuation
    qint64 nextTime = 0, nextId = 0;
    bool operator==(const Page&) const = default;
};

struct Query
{
    qint32 record = AllRecords;
    qint32 rows = MaxRows;
    qint64 since = 0, until = 0;
    qint64 afterTime = 0, afterId = 0;
    QByteArray field; // empty: every field
};

// The query into a header cleared beforehand, and back.
void writeQuery(quint8* header, const Query& query);
Query readQuery(const quint8* header);

// The bytes of one row, and a page of rows encoded that way.
QByteArray encodeRow(const Row& row);
QByteArray encodePage(const QByteArrayList& rows, bool more, qint64 nextTime, qint64 nextId);

// The page an answer's data carries; nothing when the bytes are not one
// whole page within the bounds above (the data must end with it).
std::optional<Page> decodePage(QByteArrayView data);

} // namespace HistoryProtocol
