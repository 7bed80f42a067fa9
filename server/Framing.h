#pragma once

#include "GatewayCodes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// The wire format of zorsrv: how a client's bytes split into messages, and the
// server's own messages (greeting, answers, refusals).
namespace Framing {

// The error codes of a refusal (status 2 at offset 256, code at offset 272).
namespace Refusal = GatewayCodes::Refusal;

enum class Status
{
    Incomplete, // not enough bytes yet
    Message,    // a whole message: size bytes after skip bytes
    Invalid     // the bytes cannot be a message
};

struct Scan
{
    Status status = Status::Incomplete;
    qsizetype skip = 0; // leading bytes to drop (the zero byte after a message)
    qsizetype size = 0; // message size, when status is Message
};

// Looks at the bytes a client has sent that are not consumed yet. A message is
// exactly 512 or 8704 bytes, begins with CA FE CA FE and carries its own size
// in its length field. afterMessage says the consumed bytes ended with a
// message, so a single zero byte right here is skipped.
Scan scan(QByteArrayView pending, bool afterMessage);

// The 512-byte greeting: magic, length 512, the nonce at offsets 128 to 159.
QByteArray greeting(QByteArrayView nonce);

// An accepted answer: a header echoing request code and record number, then
// the data, whose size the header announces.
QByteArray answer(qint32 request, qint32 record, QByteArrayView data = {});

// A refused answer: status 2, the code at offset 272, no data.
QByteArray refusal(qint32 code, qint32 request = 0, qint32 record = 0);

} // namespace Framing
