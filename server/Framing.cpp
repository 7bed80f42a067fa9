#include "Framing.h"

#include "Layout.h"

#include <array>

namespace Framing {

namespace {

constexpr std::array<quint8, 4> MagicBytes = {0xCA, 0xFE, 0xCA, 0xFE};

quint8* bytes(QByteArray& array)
{
    return reinterpret_cast<quint8*>(array.data());
}

QByteArray header(qint32 request, qint32 record, qint32 dataLength)
{
    QByteArray h(Layout::HeaderSize, '\0');
    Layout::writeInt(bytes(h), Layout::Header::Magic, qint32(Layout::Magic));
    Layout::writeInt(bytes(h), Layout::Header::Length, Layout::HeaderSize + dataLength);
    Layout::writeInt(bytes(h), Layout::Header::Request, request);
    Layout::writeInt(bytes(h), Layout::Header::Record, record);
    Layout::writeInt(bytes(h), Layout::Header::DataLength, dataLength);
    return h;
}

} // namespace

Scan scan(QByteArrayView pending, bool afterMessage)
{
    Scan result;
    if (afterMessage && !pending.isEmpty() && pending.front() == '\0')
        result.skip = 1;
    const QByteArrayView rest = pending.sliced(result.skip);
    const auto* p = reinterpret_cast<const quint8*>(rest.data());
    const qsizetype magicSeen = std::min<qsizetype>(rest.size(), qsizetype(MagicBytes.size()));
    for (qsizetype i = 0; i < magicSeen; ++i) {
        if (p[i] != MagicBytes[std::size_t(i)]) {
            result.status = Status::Invalid;
            return result;
        }
    }
    if (rest.size() < 8)
        return result;
    const qint32 length = Layout::readInt(p, Layout::Header::Length);
    if (length != Layout::HeaderSize && length != Layout::BlockSize) {
        result.status = Status::Invalid;
        return result;
    }
    if (rest.size() >= length) {
        result.status = Status::Message;
        result.size = length;
    }
    return result;
}

Status next(Reader& reader, QByteArray& message)
{
    const Scan found = scan(reader.pending, reader.afterMessage);
    if (found.skip > 0 || !reader.pending.isEmpty())
        reader.afterMessage = false;
    reader.pending.remove(0, found.skip);
    if (found.status == Status::Message) {
        message = reader.pending.left(found.size);
        reader.pending.remove(0, found.size);
        reader.afterMessage = true;
    }
    return found.status;
}

QByteArray greeting(QByteArrayView nonce)
{
    QByteArray g = header(0, 0, 0);
    g.replace(Layout::Header::Nonce, Layout::Header::NonceSize,
              nonce.first(std::min<qsizetype>(nonce.size(), Layout::Header::NonceSize))
                  .toByteArray()
                  .leftJustified(Layout::Header::NonceSize, '\0'));
    return g;
}

QByteArray answer(qint32 request, qint32 record, QByteArrayView data)
{
    QByteArray a = header(request, record, qint32(data.size()));
    a.append(data);
    return a;
}

QByteArray refusal(qint32 code, qint32 request, qint32 record)
{
    QByteArray r = header(request, record, 0);
    Layout::writeInt(bytes(r), Layout::Header::Status, Layout::StatusRefused);
    Layout::writeInt(bytes(r), Layout::Header::Error, code);
    return r;
}

} // namespace Framing
