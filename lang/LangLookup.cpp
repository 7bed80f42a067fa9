#include "LangLookup.h"

#include <QVarLengthArray>

#include <optional>

namespace {

// Names longer than this are not indexed; lookups of such names scan instead.
constexpr qsizetype MaxIndexedName = 64;

// The first occurrence of `needle` in `upper`, from `from` on, that starts a
// line. The search gives up at the first occurrence that lies at or after
// `limit`. -1 when there is none.
qsizetype findAtLineStart(QStringView upper, QStringView needle, qsizetype from, qsizetype limit)
{
    while (from <= upper.size()) {
        const qsizetype at = upper.indexOf(needle, from);
        if (at < 0 || at >= limit)
            return -1;
        if (at > 0 && upper[at - 1] == u'\n')
            return at;
        from = at + 1;
    }
    return -1;
}

// The last position of the section whose header "[" stands at `header`: the
// first "[" of the text after it, or the text's last position.
qsizetype sectionEnd(QStringView text, qsizetype header)
{
    const qsizetype bracket = header + 1 <= text.size() ? text.indexOf(u'[', header + 1) : -1;
    return bracket >= 0 ? bracket : text.size() - 1;
}

// The characters from `start` up to and including the first line feed, or up
// to and including `end`, whichever comes first. Nothing when that range runs
// backwards.
std::optional<QStringView> copyToLineEnd(QStringView text, qsizetype start, qsizetype end)
{
    if (start > text.size())
        return std::nullopt;
    const qsizetype lineFeed = text.indexOf(u'\n', start);
    const qsizetype last = lineFeed >= 0 && lineFeed < end ? lineFeed : end;
    if (last < start)
        return std::nullopt;
    return text.mid(start, qMin(last, text.size() - 1) - start + 1);
}

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// A whole number with surrounding blanks and line ends ignored.
bool isWholeNumber(QStringView copy)
{
    qsizetype first = 0;
    qsizetype last = copy.size();
    auto ignorable = [](QChar c) { return c == u' ' || c == u'\r' || c == u'\n'; };
    while (first < last && ignorable(copy[first]))
        ++first;
    while (last > first && ignorable(copy[last - 1]))
        --last;
    QStringView number = copy.mid(first, last - first);
    const bool negative = number.startsWith(u'-');
    if (negative || number.startsWith(u'+'))
        number = number.mid(1);
    if (number.isEmpty() || number.size() > 10)
        return false;
    qint64 value = 0;
    for (QChar c : number) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= (negative ? 2147483648LL : 2147483647LL);
}

// The value of the entry whose "=" ends just before `start`, in a section
// that ends at `end`.
QString valueAt(const QString& text, qsizetype start, qsizetype end, const QString& defaultValue)
{
    std::optional<QStringView> copy = copyToLineEnd(text, start, end);
    if (!copy)
        return defaultValue;
    QStringView value = *copy;
    if (value.endsWith(u'\n')) {
        if (value.size() < 2)
            return defaultValue;
        value.chop(2);
    }
    while (!value.isEmpty() && isBlankOrTab(value.front()))
        value = value.mid(1);
    while (!value.isEmpty() && isBlankOrTab(value.back()))
        value.chop(1);
    if (value.isEmpty())
        return defaultValue;
    return value.toString();
}

QString headerNeedle(QStringView section)
{
    return u'[' + LangLookup::upperSameLength(section) + u']';
}

QString entryNeedle(QStringView key)
{
    return LangLookup::upperSameLength(key) + u'=';
}

// An upper-case copy of a short name, kept on the stack.
using ShortName = QVarLengthArray<QChar, MaxIndexedName>;

ShortName upperName(QStringView name)
{
    ShortName upper(name.size());
    for (qsizetype i = 0; i < name.size(); ++i)
        upper[i] = name[i].toUpper();
    return upper;
}

QStringView view(const ShortName& name)
{
    return QStringView(name.constData(), name.size());
}

} // namespace

namespace LangLookup {

QString upperSameLength(QStringView text)
{
    QString upper(text.size(), Qt::Uninitialized);
    QChar* out = upper.data();
    for (QChar c : text)
        *out++ = c.toUpper();
    return upper;
}

bool hasLanguageId(QStringView text, QStringView upper)
{
    const qsizetype header = findAtLineStart(upper, u"[LANGID]", 0, upper.size() + 1);
    if (header < 0)
        return false;
    const qsizetype end = sectionEnd(text, header);
    const qsizetype entry = findAtLineStart(upper, u"1=", header + 1, end);
    if (entry < 0)
        return false;
    std::optional<QStringView> copy = copyToLineEnd(text, entry + 2, end);
    if (!copy)
        return false;
    QStringView number = *copy;
    if (number.startsWith(u'\t'))
        number = number.mid(1);
    return isWholeNumber(number);
}

QString scan(QStringView section, QStringView key, const QString& defaultValue, const QString& text,
             const QString& upper)
{
    if (!hasLanguageId(text, upper))
        return defaultValue;
    const qsizetype header = findAtLineStart(upper, headerNeedle(section), 0, upper.size() + 1);
    if (header < 0)
        return defaultValue;
    const qsizetype end = sectionEnd(text, header);
    const QString needle = entryNeedle(key);
    const qsizetype entry = findAtLineStart(upper, needle, header + 1, end);
    if (entry < 0)
        return defaultValue;
    return valueAt(text, entry + needle.size(), end, defaultValue);
}

Index::Index(const QString& text, const QString& upper) : m_text(text), m_upper(upper)
{
    if (m_text.size() != m_upper.size())
        return;
    m_aligned = true;
    m_hasLanguageId = hasLanguageId(m_text, m_upper);
    if (m_hasLanguageId)
        indexHeaders();
}

bool Index::isFor(const QString& text, const QString& upper) const
{
    return text.constData() == m_text.constData() && text.size() == m_text.size() &&
           upper.constData() == m_upper.constData() && upper.size() == m_upper.size();
}

// Records the first header of each name that starts a line, with the end of
// its section and its entries. The first "]" after each header's "[" closes
// its name; both cursors only move forward.
void Index::indexHeaders()
{
    const QStringView upper(m_upper);
    qsizetype closing = 0;
    qsizetype lineFeed = upper.indexOf(u'\n');
    while (lineFeed >= 0) {
        const qsizetype start = lineFeed + 1;
        lineFeed = upper.indexOf(u'\n', start);
        if (start >= upper.size() || upper[start] != u'[')
            continue;
        closing = qMax(closing, start + 1);
        while (closing < upper.size() && upper[closing] != u']')
            ++closing;
        if (closing >= upper.size())
            break; // no "]" left: no header from here on can match
        const qsizetype length = closing - start - 1;
        if (length > MaxIndexedName)
            continue;
        const QStringView name = upper.mid(start + 1, length);
        if (m_sections.contains(name))
            continue;
        Section& section = m_sections[name];
        section.header = start;
        section.end = sectionEnd(m_text, start);
        indexEntries(section);
    }
}

// Records the first entry of each key among the lines that start inside the
// section. The key of a line is its text up to the first "=".
void Index::indexEntries(Section& section) const
{
    const QStringView upper(m_upper);
    qsizetype equals = 0;
    qsizetype lineFeed = upper.indexOf(u'\n', section.header);
    while (lineFeed >= 0 && lineFeed + 1 < section.end) {
        const qsizetype start = lineFeed + 1;
        lineFeed = upper.indexOf(u'\n', start);
        equals = qMax(equals, start);
        while (equals < upper.size() && upper[equals] != u'=')
            ++equals;
        if (equals >= upper.size())
            return; // no "=" left: no entry from here on can match
        const qsizetype length = equals - start;
        const QStringView key = upper.mid(start, length);
        if (length <= MaxIndexedName && !section.entries.contains(key))
            section.entries.insert(key, {valueAt(m_text, equals + 1, section.end, QString())});
    }
}

QString Index::lookup(QStringView section, QStringView key, const QString& defaultValue) const
{
    if (!m_aligned)
        return scan(section, key, defaultValue, m_text, m_upper);
    if (!m_hasLanguageId)
        return defaultValue;
    if (section.size() > MaxIndexedName || key.size() > MaxIndexedName)
        return scan(section, key, defaultValue, m_text, m_upper);
    const ShortName sectionName = upperName(section);
    const ShortName keyName = upperName(key);
    if (view(sectionName).contains(u']') || view(keyName).contains(u'='))
        return scan(section, key, defaultValue, m_text, m_upper);
    const auto found = m_sections.constFind(view(sectionName));
    if (found == m_sections.cend())
        return defaultValue;
    const auto entry = found->entries.constFind(view(keyName));
    if (entry == found->entries.cend() || entry->value.isNull())
        return defaultValue;
    return entry->value;
}

} // namespace LangLookup
