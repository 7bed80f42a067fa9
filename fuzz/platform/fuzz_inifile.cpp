// Input: three length bytes, then a section name, a key and a value of those
// lengths, then the bytes of an INI file. Reads keys of the file, sets the key
// and checks that the key reads back and that no other key changed.
#include "IniParser.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

bool hasBlankEnds(QByteArrayView text)
{
    return !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
}

bool hasLineBreakOrNul(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// Whether a value written as given reads back unchanged.
bool valueRoundTrips(QByteArrayView value)
{
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return !quoted && !hasBlankEnds(value) && !hasLineBreakOrNul(value);
}

// Whether section and key, as the caller passes them, name the line written.
bool namesRoundTrip(QByteArrayView section, QByteArrayView key)
{
    section = IniParser::callerName(section);
    key = IniParser::callerName(key);
    if (hasBlankEnds(section) || hasBlankEnds(key))
        return false;
    if (section.contains(']') || hasLineBreakOrNul(section))
        return false;
    if (key.contains('=') || hasLineBreakOrNul(key))
        return false;
    return key.isEmpty() || (key.front() != ';' && key.front() != '[');
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The first copy of each key in the first copy of each section, up to a few
// keys a section, reads the same in both documents, target key aside.
void checkOtherKeys(const IniParser::Document& before, const IniParser::Document& after,
                    QByteArrayView section, QByteArrayView key)
{
    const QByteArrayView image(before.image);
    const IniParser::Section* target =
        IniParser::findSection(before, IniParser::callerName(section));
    for (const IniParser::Section& s : before.sections) {
        const QByteArrayView name = image.sliced(s.name.begin, s.name.size());
        if (IniParser::callerName(name) != name || IniParser::findSection(before, name) != &s)
            continue;
        for (qsizetype i = 0; i < s.entryCount && i < 8; ++i) {
            const auto& e = before.entries[static_cast<std::size_t>(s.firstEntry + i)];
            const QByteArrayView other = image.sliced(e.key.begin, e.key.size());
            if (IniParser::callerName(other) != other ||
                IniParser::findEntry(before, s, other) != &e)
                continue;
            if (&s == target && IniParser::findEntry(before, s, IniParser::callerName(key)) == &e)
                continue;
            check(IniParser::value(after, name, other) == IniParser::value(before, name, other));
        }
    }
}

QByteArrayView take(QByteArrayView& input, qsizetype size)
{
    size = std::min(size, input.size());
    const QByteArrayView part = input.first(size);
    input = input.sliced(size);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (input.size() < 3)
        return 0;
    const qsizetype sectionSize = input[0] & 7;
    const qsizetype keySize = input[1] & 7;
    const qsizetype valueSize = input[2] & 15;
    const int bufferSize = static_cast<unsigned char>(input[2]) >> 4;
    input = input.sliced(3);
    const QByteArrayView section = take(input, sectionSize);
    const QByteArrayView key = take(input, keySize);
    const QByteArrayView value = take(input, valueSize);
    const QByteArray file = input.toByteArray();

    const IniParser::Document before = IniParser::parse(file);
    if (const auto found = IniParser::value(before, section, key)) {
        const QByteArray cut = IniParser::toBuffer(*found, bufferSize);
        check(cut.size() < std::max(bufferSize, 1) && !cut.contains('\0'));
    }

    const IniParser::Document after =
        IniParser::parse(IniParser::withValue(before, section, key, value));
    check(after.utf16 == before.utf16);
    if (valueRoundTrips(value) && namesRoundTrip(section, key))
        check(IniParser::value(after, section, key) == value.toByteArray());

    // Without line breaks in the arguments, every other key reads as before.
    const bool oneLine = !section.contains('\r') && !section.contains('\n') &&
                         !key.contains('\r') && !key.contains('\n') && !value.contains('\r') &&
                         !value.contains('\n');
    if (oneLine)
        checkOtherKeys(before, after, section, key);
    return 0;
}
