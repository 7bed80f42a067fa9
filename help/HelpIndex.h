#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

// The byte-level parts of a compiled HTML help file (.chm) that the help
// window needs: its container header, the context map, the string table and
// the default topic. Everything here takes bytes and returns records, so it
// runs without chmlib in the tests and under the fuzzer. Every length and
// offset read from the bytes is checked against the bytes actually present.
//
// How a context number finds its topic:
//  - /#IVB holds a 32-bit little-endian length L, then L / 8 pairs of 32-bit
//    little-endian numbers: a context number and an offset into /#STRINGS;
//  - at that offset /#STRINGS holds the topic's name, ended by a NUL byte;
//  - the name is a path inside the file. Help compilers write it relative
//    ("topic.htm", "html\topic.htm"); chmcmd 3.2.2 writes the absolute path of
//    the source file on the build machine ("/home/x/help/topic.htm"), so
//    leading folders are dropped one by one until the path names an entry of
//    the file.
namespace HelpIndex {

enum class Failure
{
    None,
    Missing,        // no such file
    NotChm,         // the file is not a compiled HTML help file
    Damaged,        // truncated, or a length or offset points outside the data
    UnknownContext, // the context map has no entry for the number
    TopicMissing    // the entry names a topic the file does not hold
};

struct Problem
{
    Failure failure = Failure::None;
    QString detail; // what was wrong, in plain words, for the message's brackets
};

struct ContextEntry
{
    quint32 context = 0;
    quint32 offset = 0; // into /#STRINGS
};

// The container header ("ITSF") of the first bytes of a file of fileSize bytes:
// the signature, the header's own length and the directory and content ranges
// it gives must lie inside the file.
Problem checkContainerHeader(QByteArrayView head, qint64 fileSize);

// The directory's place in the file, from a header that checkContainerHeader
// accepted.
struct Range
{
    quint64 offset = 0;
    quint64 length = 0;
};
Range directoryRange(QByteArrayView head);

// Where the entries of the uncompressed space begin, from a header that
// checkContainerHeader accepted: the content offset of a version 3 header,
// else the end of the directory.
quint64 contentOffset(QByteArrayView head);

// Parses /#IVB. A declared length longer than the data, or not a whole number
// of pairs, is Damaged; bytes after the declared pairs are ignored.
Problem parseContextMap(QByteArrayView ivb, QList<ContextEntry>* entries);

// The NUL-ended string at `offset` of /#STRINGS. An offset outside the table,
// a string without its NUL or an empty string is Damaged.
Problem stringAt(QByteArrayView strings, quint32 offset, QByteArray* value);

// The default topic named by /#SYSTEM (record code 2); empty when the records
// hold none. Records that run past the data are Damaged.
Problem defaultTopicName(QByteArrayView system, QByteArray* name);

// Names longer than this name no entry: entry names are at most 512 bytes,
// and a build path adds no more than a few folders.
inline constexpr qsizetype MaxNameBytes = 2048;

// The paths to try for a topic name, in order: the name made absolute inside
// the file ("/" first, "\" as "/"), then the same path with its leading folders
// dropped one at a time. A "#fragment" is not part of the paths. None for a
// name longer than MaxNameBytes.
QStringList candidatePaths(const QByteArray& name);

// The "#fragment" of a topic name, without its "#"; empty when there is none.
QString fragmentOf(const QByteArray& name);

struct Topic
{
    QString path;     // path inside the file, starting with "/"
    QString fragment; // anchor inside the topic, may be empty
};

// The first candidate path of `name` for which `exists` is true; TopicMissing
// when there is none.
Problem resolveTopic(const QByteArray& name, const std::function<bool(const QString&)>& exists,
                     Topic* topic);

// The whole lookup of a context number: context map, string table, path.
// The first entry of a number counts.
Problem topicForContext(QByteArrayView ivb, QByteArrayView strings, quint32 context,
                        const std::function<bool(const QString&)>& exists, Topic* topic);

} // namespace HelpIndex
