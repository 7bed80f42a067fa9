#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

// The in-memory half of the INI engine: parsing a file's bytes once into an
// index of sections and keys, looking a key up in that index, and editing the
// bytes to set one key. No disk access; IniFile adds the files around it.
//
// A file starting with the UTF-16LE byte-order mark is UTF-16LE. It is parsed
// through an 8-bit image holding one code page 1252 byte per UTF-16 code unit,
// so offsets in the image map to the file as 2 + 2 * offset and an edit keeps
// every untouched code unit as it was.
namespace IniParser {

struct Range
{
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const { return end - begin; }
};

// A line of the form key=value inside a section.
struct Entry
{
    Range key;       // trimmed of space, tab and vertical tab
    quint32 keyHash; // nameHash() of the key
    Range value;     // trimmed the same way, quotes still on
    Range line;      // the whole line without its line break
    qsizetype next;  // where the next line starts
};

struct Section
{
    Range name;
    quint32 nameHash;
    Range line;
    qsizetype next;
    qsizetype firstEntry; // index into Document::entries
    qsizetype entryCount;
};

struct Document
{
    QByteArray raw;   // the file's bytes
    QByteArray image; // raw itself, or the 8-bit image of a UTF-16LE file
    bool utf16 = false;
    std::vector<Section> sections;
    std::vector<Entry> entries;
};

Document parse(const QByteArray& fileBytes);

// The caller's section or key name as Windows takes it: a C string (cut at
// its first NUL) without leading and trailing ASCII spaces.
QByteArrayView callerName(QByteArrayView name);

// A hash of a name that ignores case as the name comparison does.
quint32 nameHash(QByteArrayView name);

// The first section named section, or nullptr. Names compare without case.
const Section* findSection(const Document& doc, QByteArrayView section);
// The first key line of that section with that key, or nullptr.
const Entry* findEntry(const Document& doc, const Section& section, QByteArrayView key);

// The value of the first key in the first section with these names, quotes
// removed, in code page 1252, not yet cut to a buffer. Names are taken as
// callerName() takes them. Empty when the key is missing.
std::optional<QByteArray> value(const Document& doc, QByteArrayView section, QByteArrayView key);

// The value as a buffer of bufferSize bytes holds it: cut at the first NUL
// and to bufferSize - 1 bytes; nothing for bufferSize < 1.
QByteArray toBuffer(QByteArray text, int bufferSize);

// The file's bytes with key set to value in section (created as needed).
// Value is written as given up to its first NUL; every other line keeps its
// bytes. A UTF-16LE file stays UTF-16LE.
QByteArray withValue(const Document& doc, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value);

} // namespace IniParser
