#pragma once

#include "HelpIndex.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

// The directory of a compiled HTML help file: the "ITSP" header, then chunks
// of a fixed size. "PMGL" chunks list the entries (name, space, offset,
// length) and are chained by their "next" numbers; "PMGI" chunks index them
// and point to other chunks. chmlib walks these chains and pointers without
// counting its steps, so a file whose pointers form a loop would hang it, and
// an entry running past its chunk would make it read outside its buffer.
// check() refuses such a directory before chmlib ever sees it.
namespace ChmDirectory {

// One entry of the directory: its space (0 uncompressed, 1 compressed), and
// its offset and length inside that space.
struct Entry
{
    quint64 space = 0;
    quint64 offset = 0;
    quint64 length = 0;
};
using Entries = QHash<QByteArray, Entry>; // by name in lower case

// The directory's bytes, from the offset the container header gives, at most
// its length. Damaged when a header field, a chunk, an entry or a pointer is
// out of range, when the chunk chain or the index holds a loop, or when two
// entries share a name (chmlib matches names without regard to case). Fills
// `entries` with every entry listed.
HelpIndex::Problem check(QByteArrayView directory, Entries* entries);

// The control data of the compressed space
// ("::DataSpace/Storage/MSCompressed/ControlData"): chmlib's decompressor
// needs a window of 2^15 to 2^21 bytes and at least one block between resets,
// and fails on a null pointer or a division by zero otherwise.
HelpIndex::Problem checkCompressionControl(QByteArrayView control);

// The reset table of the compressed space: version 2, blocks of 32 KiB, the
// table inside its entry and the compressed length inside the compressed
// stream of `streamLength` bytes. chmlib sizes its buffers from it.
HelpIndex::Problem checkResetTable(QByteArrayView table, quint64 streamLength);

} // namespace ChmDirectory
