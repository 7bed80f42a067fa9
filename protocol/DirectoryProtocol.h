#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// The agent directory's wire format, shared by zorsrv and the tool. Every
// message is a frame: a 12-byte header (magic "ZDIR", version, type, two zero
// bytes, the payload length as 32-bit little-endian) and its payload. The
// whole format is described byte by byte in server/DIRECTORY.md.
namespace DirectoryProtocol {

inline constexpr char Magic[4] = {'Z', 'D', 'I', 'R'};
inline constexpr quint8 Version = 1;
inline constexpr int HeaderSize = 12;

// Frame types.
inline constexpr quint8 Hello = 0x01;   // server: sent once, on connect
inline constexpr quint8 List = 0x02;    // client: asks for the agent table
inline constexpr quint8 Agents = 0x03;  // server: the agent table
inline constexpr quint8 Refused = 0x7F; // server: a refusal; the server then closes

// Bounds. A name or group longer than its bound cannot be stored, sent or read.
inline constexpr int MaxNameBytes = 64;  // UTF-8 bytes
inline constexpr int MaxGroupBytes = 32; // UTF-8 bytes
inline constexpr int MaxAgents = 9999;
inline constexpr int MaxReasonBytes = 120;
inline constexpr qint64 MaxNumber = 2147483647;
// The largest payload of each type.
inline constexpr qint64 MaxAgentsPayload =
    4 + qint64(MaxAgents) * (4 + 1 + MaxNameBytes + 1 + MaxGroupBytes);
inline constexpr qint64 MaxRefusedPayload = 4 + MaxReasonBytes;
inline constexpr qint64 MaxHelloPayload = 64; // version 1 sends none; later ones may

// Refusal codes, the same numbers as the records' protocol where the meaning
// is the same.
namespace Refusal {
inline constexpr qint32 Stalled = -2;            // no progress within the stall time-out
inline constexpr qint32 ServerStop = -3;         // the server is stopping
inline constexpr qint32 TooManyConnections = -4; // the connection limit is reached
inline constexpr qint32 BadMessage = -7;         // bytes that are not a frame
inline constexpr qint32 UnknownRequest = -8;     // a frame of a type a client may not send
inline constexpr qint32 StorageFailure = -9;     // the table cannot be read
inline constexpr qint32 BadVersion = -10;        // a version this server does not speak
inline constexpr qint32 EmptyTable = -11;        // no agents yet: sent instead of the Hello
} // namespace Refusal

// One agent of the table.
struct Entry
{
    qint32 number = 0; // 1 to MaxNumber
    QString name;      // at most MaxNameBytes in UTF-8
    QString group;     // at most MaxGroupBytes in UTF-8, may be empty
    bool operator==(const Entry&) const = default;
};
using Entries = QList<Entry>;

// A whole frame of the given type.
QByteArray frame(quint8 type, QByteArrayView payload = {});
QByteArray refusal(qint32 code, const QString& reason = {});
// An Agents frame; the entries must be valid and in ascending number order.
QByteArray agents(const Entries& entries);

enum class Status
{
    Incomplete, // not enough bytes yet
    Frame,      // a whole frame of size bytes
    Invalid     // the bytes cannot be a frame; reason says why
};

struct Scan
{
    Status status = Status::Incomplete;
    quint8 version = 0;
    quint8 type = 0;
    qsizetype size = 0;      // header and payload, when status is Frame
    QString reason;          // when status is Invalid
    bool unexpected = false; // Invalid because the reader expects no frame of this type
};

// Looks at the start of the received bytes. maxPayload bounds the payload
// length the reader accepts for the frame's type; any frame larger than
// maxPayload(type) is invalid as soon as its header has arrived.
Scan scan(QByteArrayView bytes, qint64 (*maxPayload)(quint8 type));

// The payload bounds of the two sides: what a server accepts from a client
// (List only, empty), and what a client accepts from a server.
qint64 clientPayloadBound(quint8 type);
qint64 serverPayloadBound(quint8 type);

// The payload of a frame scanned as Frame.
QByteArrayView payloadOf(QByteArrayView frameBytes);

// An Agents payload read back; nullopt with reason when it breaks a rule.
std::optional<Entries> readAgents(QByteArrayView payload, QString* reason);
// A Refused payload read back: the code and the reason text.
struct RefusalInfo
{
    qint32 code = 0;
    QString reason;
};
std::optional<RefusalInfo> readRefusal(QByteArrayView payload);

// Checks one entry against the bounds; an empty text when it is valid.
QString checkEntry(const Entry& entry);

} // namespace DirectoryProtocol
