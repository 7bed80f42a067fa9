#include "Conversions.h"

#include <QByteArray>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// Parses a radix literal "&H1F" / "&O17" at the start of text. Values that fit
// 16 bits are 16-bit integers (so &HFFFF is -1), larger ones 32-bit.
std::optional<double> parseRadix(const QByteArray& text, qsizetype& pos, bool wholeText)
{
    if (pos + 1 >= text.size() || text[pos] != '&')
        return std::nullopt;
    const char kind = static_cast<char>(text[pos + 1] & ~0x20);
    const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0)
        return std::nullopt;
    qsizetype i = pos + 2;
    quint64 value = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        const int digit = QByteArrayView("0123456789ABCDEF").indexOf(char(text[i] & ~0x20));
        const int lower = QByteArrayView("0123456789").indexOf(text[i]);
        const int d = lower >= 0 ? lower : digit;
        if (d < 0 || d >= base)
            break;
        value = value * base + quint64(d);
        if (value > 0xFFFFFFFFull)
            throw Conversions::overflow();
        any = true;
    }
    if (!any || (wholeText && i != text.size()))
        return std::nullopt;
    pos = i;
    if (value <= 0xFFFF)
        return double(qint16(quint16(value)));
    return double(qint32(quint32(value)));
}

// The longest decimal number at the start of text: sign, digits, point,
// digits, exponent (E or D). Returns the characters used, 0 for none.
qsizetype decimalPrefix(const QByteArray& text, double& value)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    qsizetype mantissaDigits = i - digitsStart;
    if (i < text.size() && text[i] == '.') {
        const qsizetype fracStart = ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        mantissaDigits += i - fracStart;
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const qsizetype expStart = j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
        if (j > expStart)
            end = j;
    }
    QByteArray number = text.left(end);
    for (char& c : number) {
        if (c == 'D' || c == 'd')
            c = 'E';
    }
    const bool negative = number.startsWith('-');
    const qsizetype skip = (negative || number.startsWith('+')) ? 1 : 0;
    double magnitude = 0;
    const auto [ptr, ec] =
        std::from_chars(number.constData() + skip, number.constData() + number.size(), magnitude);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range)
        magnitude = number.contains("E-") ? 0.0 : std::numeric_limits<double>::infinity();
    value = negative ? -magnitude : magnitude;
    return end;
}

} // namespace

namespace Conversions {

// The nearest whole number, halves to the even one (the default rounding
// mode); outside the integer's range, an overflow.
template <typename Int> Int rounded(double value)
{
    const double whole = std::nearbyint(value);
    if (!(whole >= std::numeric_limits<Int>::min() && whole <= std::numeric_limits<Int>::max()))
        throw overflow();
    return static_cast<Int>(whole);
}

Failure typeMismatch()
{
    return Failure{13, {}};
}

Failure overflow()
{
    return Failure{6, {}};
}

double Val(QByteArrayView text)
{
    QByteArray compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (c == '\0')
            break;
        if (!isBlank(c))
            compact.append(c);
    }
    qsizetype pos = 0;
    if (const auto radix = parseRadix(compact, pos, false))
        return *radix;
    double value = 0;
    decimalPrefix(compact, value);
    return value;
}

std::optional<double> parseStrict(QByteArrayView text)
{
    const QByteArray trimmed = text.toByteArray().trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    qsizetype pos = 0;
    try {
        if (const auto radix = parseRadix(trimmed, pos, true))
            return radix;
    } catch (const Failure&) {
        return std::nullopt;
    }
    double value = 0;
    if (decimalPrefix(trimmed, value) != trimmed.size())
        return std::nullopt;
    return value;
}

bool isNumeric(QByteArrayView text)
{
    return parseStrict(text).has_value();
}

double strict(QByteArrayView text)
{
    const QByteArray trimmed = text.toByteArray().trimmed();
    qsizetype pos = 0;
    if (const auto radix = parseRadix(trimmed, pos, true))
        return *radix; // a radix literal too large throws overflow
    const auto value = parseStrict(text);
    if (!value)
        throw typeMismatch();
    return *value;
}

qint16 toInt16(double value)
{
    return rounded<qint16>(value);
}

qint32 toInt32(double value)
{
    return rounded<qint32>(value);
}

QString padded(qint64 number, int digits)
{
    const QString magnitude =
        QString::number(number < 0 ? -number : number).rightJustified(digits, u'0');
    return number < 0 ? u'-' + magnitude : magnitude;
}

} // namespace Conversions
