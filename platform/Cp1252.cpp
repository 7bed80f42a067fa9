#include "Cp1252.h"

#include <array>

namespace {

// Bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t decode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return High[byte - 0x80];
    return byte;
}

char encode(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<char>(ch);
    for (std::size_t i = 0; i < High.size(); ++i) {
        if (High[i] == ch)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

namespace Cp1252 {

QString toUnicode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(decode(static_cast<unsigned char>(bytes[i])));
    return text;
}

QByteArray fromUnicode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one character outside the code page, one '?'
        bytes.append(encode(ch.unicode()));
    }
    return bytes;
}

QString toUpper(QStringView text)
{
    QString upper = text.toString();
    for (QChar& ch : upper) {
        if (encode(ch.unicode()) == '?')
            continue; // not a character of the code page
        const char32_t capital = QChar::toUpper(char32_t(ch.unicode()));
        if (capital <= 0xFFFF && encode(char16_t(capital)) != '?')
            ch = QChar(char16_t(capital));
    }
    return upper;
}

} // namespace Cp1252
