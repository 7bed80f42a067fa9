// Input: three length bytes, then a section name, a key and a value of those
// lengths, then the bytes of an INI file. Reads keys of the file, sets the key
// and checks that the key reads back and that no other key changed.
#include "IniParser.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Whether the text has no blank at either end and none of the banned bytes;
// NUL is always banned (strchr finds the terminator).
bool clean(QByteArrayView text, const char* banned)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    if (!text.isEmpty() && (blank(text.front()) || blank(text.back())))
        return false;
    return std::none_of(text.begin(), text.end(), [&](char c) { return std::strchr(banned, c); });
}

// Whether the key set reads back as the value written.
bool roundTrips(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    key = IniParser::callerName(key);
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return !quoted && clean(value, "\r\n") && clean(IniParser::callerName(section), "\r\n]") &&
           clean(key, "\r\n=") && !key.startsWith(';') && !key.startsWith('[');
}

// A few keys of every section read the same in both documents, the key set
// aside; names are looked up as a caller passes them (cut at a NUL).
void checkOtherKeys(const IniParser::Document& before, const IniParser::Document& after,
                    QByteArrayView section, QByteArrayView key)
{
    const QByteArrayView image(before.image);
    const IniParser::Section* target =
        IniParser::findSection(before, IniParser::callerName(section));
    const IniParser::Entry* set =
        target ? IniParser::findEntry(before, *target, IniParser::callerName(key)) : nullptr;
    for (const IniParser::Section& s : before.sections) {
        const QByteArrayView name =
            IniParser::callerName(image.sliced(s.name.begin, s.name.size()));
        for (qsizetype i = 0; i < s.entryCount && i < 8; ++i) {
            const auto& e = before.entries[static_cast<std::size_t>(s.firstEntry + i)];
            const QByteArrayView other =
                IniParser::callerName(image.sliced(e.key.begin, e.key.size()));
            if (IniParser::findSection(before, name) != target ||
                (target && IniParser::findEntry(before, *target, other) != set))
                check(IniParser::value(after, name, other) ==
                      IniParser::value(before, name, other));
        }
    }
}

bool readsAsHeader(QByteArrayView key)
{
    key = IniParser::callerName(key);
    while (!key.isEmpty() && (key.front() == ' ' || key.front() == '\t' || key.front() == '\v'))
        key = key.sliced(1);
    return key.startsWith('[');
}

QByteArrayView take(QByteArrayView& input, qsizetype size)
{
    const QByteArrayView part = input.first(std::min(size, input.size()));
    input = input.sliced(part.size());
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (input.size() < 3)
        return 0;
    const int bufferSize = static_cast<unsigned char>(input[2]) >> 4;
    const QByteArrayView section = take(input = input.sliced(3), data[0] & 7);
    const QByteArrayView key = take(input, data[1] & 7);
    const QByteArrayView value = take(input, data[2] & 15);

    const IniParser::Document before = IniParser::parse(input.toByteArray());
    if (const auto found = IniParser::value(before, section, key)) {
        const QByteArray cut = IniParser::toBuffer(*found, bufferSize);
        check(cut.size() < std::max(bufferSize, 1) && !cut.contains('\0'));
    }
    const IniParser::Document after =
        IniParser::parse(IniParser::withValue(before, section, key, value));
    check(after.utf16 == before.utf16);
    if (roundTrips(section, key, value))
        check(IniParser::value(after, section, key) == value.toByteArray());
    // Without line breaks in the arguments, every other key reads as before,
    // unless the new line reads as a header: a key written raw that starts
    // with '[' opens a section there, which hides any later one of its name.
    const QByteArray arguments = section.toByteArray() + key.toByteArray() + value.toByteArray();
    if (!arguments.contains('\r') && !arguments.contains('\n') && !readsAsHeader(key))
        checkOtherKeys(before, after, section, key);
    return 0;
}
