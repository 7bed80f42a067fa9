#include "IniParser.h"

#include "Cp1252.h"

#include <QString>

#include <array>
#include <cstring>

using IniParser::Document;
using IniParser::Entry;
using IniParser::Range;
using IniParser::Section;

namespace {

constexpr QByteArrayView LineEnd = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

// The position of c in [begin, end) of d, or -1.
qsizetype find(const char* d, qsizetype begin, qsizetype end, char c)
{
    if (begin >= end)
        return -1;
    const void* found = std::memchr(d + begin, c, static_cast<std::size_t>(end - begin));
    return found ? static_cast<const char*>(found) - d : -1;
}

Range trimmed(const char* d, qsizetype begin, qsizetype end)
{
    while (begin < end && isBlank(d[begin]))
        ++begin;
    while (end > begin && isBlank(d[end - 1]))
        --end;
    return {begin, end};
}

// Each code page 1252 byte mapped to its upper-case byte, so that names
// compare without case for accented letters too (é and É, š and Š).
const std::array<unsigned char, 256>& upperTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const char byte = static_cast<char>(i);
            const QByteArray upper =
                Cp1252::fromUnicode(Cp1252::toUnicode(QByteArrayView(&byte, 1)).toUpper());
            const bool single = upper.size() == 1 && (upper[0] != '?' || byte == '?');
            t[i] = static_cast<unsigned char>(single ? upper[0] : byte);
        }
        return t;
    }();
    return table;
}

// Built before main: every name comparison reads it.
const std::array<unsigned char, 256>& UpperCase = upperTable();

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    // Names are mostly spelt as the program spells them: the bytes decide at once.
    if (a.isEmpty() || std::memcmp(a.data(), b.data(), std::size_t(a.size())) == 0)
        return true;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (UpperCase[static_cast<unsigned char>(a[i])] !=
            UpperCase[static_cast<unsigned char>(b[i])])
            return false;
    }
    return true;
}

// One code page 1252 byte per UTF-16 code unit; '?' where the code page has
// no character, surrogate halves included.
const std::vector<char>& unitTable()
{
    static const std::vector<char> table = [] {
        std::vector<char> t(0x10000);
        for (int u = 0; u < 0x10000; ++u) {
            const QChar ch(static_cast<char16_t>(u));
            t[static_cast<std::size_t>(u)] = Cp1252::fromUnicode(QStringView(&ch, 1)).at(0);
        }
        return t;
    }();
    return table;
}

char16_t unitAt(const QByteArray& raw, qsizetype index)
{
    const auto lo = static_cast<unsigned char>(raw[2 + 2 * index]);
    const auto hi = static_cast<unsigned char>(raw[3 + 2 * index]);
    return static_cast<char16_t>(lo | (hi << 8));
}

QByteArray utf16Image(const QByteArray& raw)
{
    const qsizetype units = (raw.size() - 2) / 2;
    const auto& table = unitTable();
    QByteArray image(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        image[i] = table[unitAt(raw, i)];
    return image;
}

QString unitsOf(const QByteArray& raw, Range range)
{
    QString text(range.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < range.size(); ++i)
        text[i] = QChar(unitAt(raw, range.begin + i));
    return text;
}

QByteArray utf16Bytes(QByteArrayView cp1252)
{
    const QString text = Cp1252::toUnicode(cp1252);
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        bytes[2 * i] = static_cast<char>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(u >> 8);
    }
    return bytes;
}

quint32 hashOf(const char* d, Range name)
{
    return IniParser::nameHash(QByteArrayView(d + name.begin, name.size()));
}

void addLine(Document& doc, Range line, qsizetype next)
{
    const char* d = doc.image.constData();
    qsizetype first = line.begin;
    while (first < line.end && isBlank(d[first]))
        ++first;
    if (first == line.end || d[first] == ';')
        return;
    if (d[first] == '[') {
        const qsizetype close = find(d, first, line.end, ']');
        const qsizetype nameEnd = close < 0 ? line.end : close;
        const auto count = static_cast<qsizetype>(doc.entries.size());
        const Range name = trimmed(d, first + 1, nameEnd);
        doc.sections.push_back({name, hashOf(d, name), line, next, count, 0});
        return;
    }
    if (doc.sections.empty())
        return; // keys before the first header belong to no section
    const qsizetype eq = find(d, first, line.end, '=');
    if (eq < 0)
        return; // a line without '=' is no key
    const Range key = trimmed(d, first, eq);
    doc.entries.push_back({key, hashOf(d, key), trimmed(d, eq + 1, line.end), line, next});
    ++doc.sections.back().entryCount;
}

// Splits the image into lines at CRLF, LF or a lone CR. The next LF is
// remembered while a run of CR-only lines is split, so that every byte is
// searched once.
void scan(Document& doc)
{
    const char* d = doc.image.constData();
    const qsizetype n = doc.image.size();
    qsizetype lf = -1;
    for (qsizetype pos = 0; pos < n;) {
        if (lf < pos) {
            const void* found = std::memchr(d + pos, '\n', static_cast<std::size_t>(n - pos));
            lf = found ? static_cast<const char*>(found) - d : n;
        }
        const void* cr = std::memchr(d + pos, '\r', static_cast<std::size_t>(lf - pos));
        const qsizetype end = cr ? static_cast<const char*>(cr) - d : lf;
        qsizetype next = end;
        if (next < n)
            next += (d[next] == '\r' && next + 1 < n && d[next + 1] == '\n') ? 2 : 1;
        addLine(doc, {pos, end}, next);
        pos = next;
    }
}

QByteArrayView cutAtNul(QByteArrayView text)
{
    const qsizetype nul = find(text.data(), 0, text.size(), '\0');
    return nul < 0 ? text : text.first(nul);
}

// Replaces the image range [begin, end) of the file with text (code page 1252).
void splice(const Document& doc, QByteArray& raw, qsizetype begin, qsizetype end,
            QByteArrayView text)
{
    if (doc.utf16)
        raw.replace(2 + 2 * begin, 2 * (end - begin), utf16Bytes(text));
    else
        raw.replace(begin, end - begin, text);
}

} // namespace

namespace IniParser {

Document parse(const QByteArray& fileBytes)
{
    Document doc;
    doc.raw = fileBytes;
    doc.utf16 = fileBytes.startsWith("\xFF\xFE");
    doc.image = doc.utf16 ? utf16Image(fileBytes) : fileBytes;
    doc.sections.reserve(4);
    doc.entries.reserve(32);
    scan(doc);
    return doc;
}

QByteArrayView callerName(QByteArrayView name)
{
    name = cutAtNul(name);
    while (!name.isEmpty() && name.front() == ' ')
        name = name.sliced(1);
    while (!name.isEmpty() && name.back() == ' ')
        name.chop(1);
    return name;
}

// Length and the first and last letters: enough to tell the keys of one
// section apart in nearly every file, at a constant cost; sameName() decides.
quint32 nameHash(QByteArrayView name)
{
    if (name.isEmpty())
        return 0;
    return (quint32(name.size()) << 16) |
           (quint32(UpperCase[static_cast<unsigned char>(name.front())]) << 8) |
           UpperCase[static_cast<unsigned char>(name.back())];
}

const Section* findSection(const Document& doc, QByteArrayView section)
{
    const char* d = doc.image.constData();
    const quint32 hash = nameHash(section);
    for (const Section& s : doc.sections) {
        if (s.nameHash == hash &&
            sameName(QByteArrayView(d + s.name.begin, s.name.size()), section))
            return &s;
    }
    return nullptr;
}

const Entry* findEntry(const Document& doc, const Section& section, QByteArrayView key)
{
    const char* d = doc.image.constData();
    const quint32 hash = nameHash(key);
    for (qsizetype i = 0; i < section.entryCount; ++i) {
        const Entry& e = doc.entries[static_cast<std::size_t>(section.firstEntry + i)];
        if (e.keyHash == hash && sameName(QByteArrayView(d + e.key.begin, e.key.size()), key))
            return &e;
    }
    return nullptr;
}

std::optional<QByteArray> value(const Document& doc, QByteArrayView section, QByteArrayView key)
{
    const Section* s = findSection(doc, callerName(section));
    const Entry* e = s ? findEntry(doc, *s, callerName(key)) : nullptr;
    if (!e)
        return std::nullopt;
    Range v = e->value;
    const char* d = doc.image.constData();
    if (v.size() >= 2 && (d[v.begin] == '"' || d[v.begin] == '\'') && d[v.end - 1] == d[v.begin]) {
        ++v.begin;
        --v.end;
    }
    if (doc.utf16)
        return Cp1252::fromUnicode(unitsOf(doc.raw, v));
    return doc.image.mid(v.begin, v.size());
}

QByteArray toBuffer(QByteArray text, int bufferSize)
{
    if (bufferSize < 1)
        return {};
    const qsizetype size = cutAtNul(text).size();
    text.truncate(std::min<qsizetype>(size, bufferSize - 1));
    return text;
}

QByteArray withValue(const Document& doc, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value)
{
    section = callerName(section);
    key = callerName(key);
    QByteArray assignment = key.toByteArray();
    assignment.append('=').append(cutAtNul(value)).append(LineEnd);
    QByteArray raw = doc.raw;
    const Section* s = findSection(doc, section);
    if (!s) {
        const QByteArrayView image(doc.image);
        QByteArray text;
        if (!image.isEmpty() && image.back() != '\r' && image.back() != '\n')
            text.append(LineEnd);
        text.append('[').append(section).append(']').append(LineEnd).append(assignment);
        splice(doc, raw, image.size(), image.size(), text);
        return raw;
    }
    if (const Entry* e = findEntry(doc, *s, key)) {
        // The line becomes the key as the file spells it, '=', the value.
        assignment.remove(0, key.size());
        splice(doc, raw, e->key.end, e->next, assignment);
        splice(doc, raw, e->line.begin, e->key.begin, {});
        return raw;
    }
    Range line = s->line;
    qsizetype next = s->next;
    if (s->entryCount > 0) {
        const Entry& last =
            doc.entries[static_cast<std::size_t>(s->firstEntry + s->entryCount - 1)];
        line = last.line;
        next = last.next;
    }
    if (next == line.end)
        assignment.prepend(LineEnd); // the anchor line ends the file without a line break
    splice(doc, raw, next, next, assignment);
    return raw;
}

} // namespace IniParser
