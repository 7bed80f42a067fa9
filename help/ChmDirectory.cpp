#include "ChmDirectory.h"

#include <QList>
#include <QtEndian>

using HelpIndex::Failure;
using HelpIndex::Problem;

namespace ChmDirectory {

namespace {

constexpr qsizetype HeaderLength = 0x54;
constexpr qsizetype ListingHeader = 0x14; // "PMGL" chunk header
constexpr qsizetype IndexHeader = 0x08;   // "PMGI" chunk header
constexpr quint32 MaxChunkSize = 1024 * 1024;
constexpr qsizetype MaxNameBytes = 512; // chmlib's longest path

Problem damaged(const QString& detail)
{
    return Problem{Failure::Damaged, detail};
}

quint32 read32(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

// One directory number (7 bits a byte, high bit on all but the last), which
// must end inside `bytes`. False when it does not, or is wider than 63 bits.
bool readNumber(QByteArrayView bytes, qsizetype* at, quint64* value)
{
    *value = 0;
    for (int width = 0; width < 9 && *at < bytes.size(); ++width) {
        const quint8 byte = quint8(bytes[(*at)++]);
        *value = (*value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

enum class Kind
{
    Other,
    Listing,
    Index
};

struct Chunk
{
    Kind kind = Kind::Other;
    qint64 next = -1;       // listing chunks: the next listing chunk
    QList<quint64> targets; // index chunks: the chunks its entries point to
};

// The entries of one chunk, each inside the part its free space leaves.
bool parseEntries(QByteArrayView chunk, Chunk* parsed, Entries* listed)
{
    const qsizetype header = parsed->kind == Kind::Listing ? ListingHeader : IndexHeader;
    const quint32 freeSpace = read32(chunk, 4);
    if (freeSpace > quint64(chunk.size() - header))
        return false;
    const QByteArrayView entries = chunk.first(chunk.size() - qsizetype(freeSpace));
    qsizetype at = header;
    while (at < entries.size()) {
        quint64 nameLength = 0;
        if (!readNumber(entries, &at, &nameLength) || nameLength > quint64(MaxNameBytes) ||
            nameLength > quint64(entries.size() - at))
            return false;
        const QByteArray name = entries.sliced(at, qsizetype(nameLength)).toByteArray().toLower();
        at += qsizetype(nameLength);
        Entry entry;
        if (parsed->kind == Kind::Index) {
            if (!readNumber(entries, &at, &entry.offset))
                return false;
            parsed->targets.append(entry.offset);
            continue;
        }
        if (!readNumber(entries, &at, &entry.space) || !readNumber(entries, &at, &entry.offset) ||
            !readNumber(entries, &at, &entry.length) || listed->contains(name))
            return false;
        listed->insert(name, entry);
    }
    return true;
}

// A walk from `start` along the pointers of `chunks` that never comes back to
// a chunk it is on the way from: the listing chain, or the index tree.
bool hasLoop(const QList<Chunk>& chunks, quint64 start)
{
    enum State : quint8
    {
        New,
        OnPath,
        Done
    };
    QList<State> state(chunks.size(), New);
    QList<std::pair<quint64, qsizetype>> path{{start, 0}}; // chunk, next target to visit
    state[qsizetype(start)] = OnPath;
    while (!path.isEmpty()) {
        auto& [chunk, next] = path.last();
        const Chunk& node = chunks[qsizetype(chunk)];
        QList<quint64> targets = node.targets;
        if (node.kind == Kind::Listing && node.next >= 0)
            targets = {quint64(node.next)};
        if (next >= targets.size()) {
            state[qsizetype(chunk)] = Done;
            path.removeLast();
            continue;
        }
        const quint64 target = targets[next++];
        if (state[qsizetype(target)] == OnPath)
            return true;
        if (state[qsizetype(target)] == New) {
            state[qsizetype(target)] = OnPath;
            path.append({target, 0});
        }
    }
    return false;
}

} // namespace

Problem check(QByteArrayView directory, Entries* entries)
{
    entries->clear();
    if (directory.size() < HeaderLength || directory.first(4) != "ITSP")
        return damaged(QStringLiteral("no directory header"));
    if (read32(directory, 4) != 1 || read32(directory, 8) != HeaderLength)
        return damaged(QStringLiteral("directory header of version %1, length %2")
                           .arg(read32(directory, 4))
                           .arg(read32(directory, 8)));
    const quint32 chunkSize = read32(directory, 0x10);
    const qint32 indexRoot = qint32(read32(directory, 0x1C));
    const quint32 firstListing = read32(directory, 0x20);
    const quint32 chunkCount = read32(directory, 0x2C);
    if (chunkSize < ListingHeader || chunkSize > MaxChunkSize || chunkCount == 0 ||
        quint64(chunkSize) * chunkCount > quint64(directory.size() - HeaderLength))
        return damaged(
            QStringLiteral("%1 directory chunks of %2 bytes").arg(chunkCount).arg(chunkSize));
    if (firstListing >= chunkCount || indexRoot >= qint64(chunkCount))
        return damaged(QStringLiteral("directory starts outside its chunks"));

    QList<Chunk> chunks(chunkCount);
    for (quint32 i = 0; i < chunkCount; ++i) {
        const QByteArrayView bytes =
            directory.sliced(HeaderLength + qsizetype(i) * chunkSize, chunkSize);
        Chunk& chunk = chunks[i];
        chunk.kind = bytes.first(4) == "PMGL"   ? Kind::Listing
                     : bytes.first(4) == "PMGI" ? Kind::Index
                                                : Kind::Other;
        if (chunk.kind == Kind::Other)
            continue;
        if (chunk.kind == Kind::Listing)
            chunk.next = qint32(read32(bytes, 0x10));
        const bool inRange = chunk.next < qint64(chunkCount) && chunk.next >= -1;
        if (!inRange || !parseEntries(bytes, &chunk, entries))
            return damaged(QStringLiteral("directory chunk %1 is malformed").arg(i));
        for (quint64 target : chunk.targets) {
            if (target >= chunkCount)
                return damaged(QStringLiteral("directory chunk %1 points outside").arg(i));
        }
    }
    if (hasLoop(chunks, firstListing) || (indexRoot >= 0 && hasLoop(chunks, quint64(indexRoot))))
        return damaged(QStringLiteral("the directory's chunks point in a loop"));
    return {};
}

Problem checkCompressionControl(QByteArrayView control)
{
    if (control.size() < 0x1C || control.sliced(4, 4) != "LZXC")
        return damaged(QStringLiteral("compression control data of %1 bytes").arg(control.size()));
    const quint32 version = read32(control, 8);
    const quint64 unit = version == 2 ? 0x8000 : 1;
    const quint64 resetInterval = read32(control, 0x0C) * unit;
    const quint64 window = read32(control, 0x10) * unit;
    const quint64 windowsPerReset = read32(control, 0x14);
    const bool windowOk =
        window >= (1u << 15) && window <= (1u << 21) && (window & (window - 1)) == 0;
    if (!windowOk || resetInterval == 0 || resetInterval % (window / 2) != 0 ||
        resetInterval / (window / 2) * windowsPerReset == 0)
        return damaged(QStringLiteral("compression window %1, reset interval %2")
                           .arg(window)
                           .arg(resetInterval));
    return {};
}

Problem checkResetTable(QByteArrayView table, quint64 streamLength)
{
    constexpr quint64 BlockLength = 0x8000;
    if (table.size() < 0x28 || read32(table, 0) != 2)
        return damaged(QStringLiteral("reset table of %1 bytes").arg(table.size()));
    const quint64 blockCount = read32(table, 4);
    const quint64 tableOffset = read32(table, 0x0C);
    const quint64 uncompressed = qFromLittleEndian<quint64>(table.data() + 0x10);
    const quint64 compressed = qFromLittleEndian<quint64>(table.data() + 0x18);
    const quint64 blockLength = qFromLittleEndian<quint64>(table.data() + 0x20);
    if (blockLength != BlockLength || tableOffset > quint64(table.size()) ||
        blockCount > (quint64(table.size()) - tableOffset) / 8 || compressed > streamLength ||
        uncompressed > blockCount * BlockLength)
        return damaged(QStringLiteral("reset table of %1 blocks of %2 bytes")
                           .arg(blockCount)
                           .arg(blockLength));
    return {};
}

} // namespace ChmDirectory
