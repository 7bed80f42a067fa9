// The page is read as the rich-text engine's HTML parser reads it: a tag
// starts at "<" (spaces may follow), its name and attribute words end as the
// engine's words end, quotes and comments hide what they hold the same way,
// and a "/" anywhere between the attributes and ">" closes the tag at once.
// The nesting then follows the elements as they are opened and closed: a
// close tag ends the nearest open element of its name, and the implicit
// closes kept here are only ones the engine makes as well (a paragraph or
// list item right inside another, a cell or row right after another). The
// engine places some elements higher still; it never places one deeper, so
// the depths measured here are never below the engine's.

#include "HelpPage.h"

#include <QList>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using Attributes = QList<std::pair<QString, QString>>;

constexpr qint64 SpanCap = qint64(1) << 20; // far over every bound, so sums cannot overflow
constexpr qint64 PlaceCost = 64;
constexpr int WeightCap = 24; // 2^24 times a place is over the bound already

struct Table
{
    int depth = 0; // the tables around it, itself included
    qint64 rows = 0;
    qint64 rowWidth = 0; // the columns of the row being read
    qint64 widest = 0;   // the widest row
    qint64 spanned = 0;  // columns that cells spanning several rows take in later rows
};

// a * b for numbers from 0, held just over the bound when larger.
qint64 capped(qint64 a, qint64 b)
{
    constexpr qint64 Cap = HelpPage::MaxLayoutCost + 1;
    return b != 0 && a > Cap / b ? Cap : std::min(Cap, a * b);
}

bool isVoid(QStringView name)
{
    return name == u"img" || name == u"hr" || name == u"br" || name == u"meta";
}

// A whole number as the engine reads it, or at least as large; 1 when it
// reads none.
qint64 spanOf(const QString& value)
{
    QStringView digits = QStringView(value).trimmed();
    if (digits.startsWith(u'+'))
        digits = digits.mid(1);
    qint64 n = 0;
    qsizetype i = 0;
    for (; i < digits.size() && digits[i] >= u'0' && digits[i] <= u'9' && n < SpanCap; ++i)
        n = n * 10 + (digits[i].unicode() - u'0');
    return i == 0 ? 1 : std::clamp<qint64>(n, 1, SpanCap);
}

class Reader
{
public:
    explicit Reader(QStringView text) : m_text(text) {}

    HelpPage::Cost read()
    {
        // Past the depth bound the page is refused: reading on would only
        // cost time, as each close looks down the open elements.
        while (m_pos < m_text.size() && m_cost.depth <= HelpPage::MaxDepth) {
            const qsizetype start = m_pos;
            const qint64 weight = weightOf(m_tablesOpen);
            if (m_text[m_pos++] == u'<')
                tag();
            addCost(capped(m_pos - start, weight));
        }
        for (const Table& table : m_tables)
            addCost(
                capped(capped(capped(std::max<qint64>(table.rows, 1), table.widest + table.spanned),
                              PlaceCost),
                       weightOf(table.depth - 1)));
        return m_cost;
    }

private:
    static qint64 weightOf(int tables) { return qint64(1) << std::min(tables, WeightCap); }

    void addCost(qint64 cost)
    {
        m_cost.layoutCost = std::min(HelpPage::MaxLayoutCost + 1, m_cost.layoutCost + cost);
    }

    struct Element
    {
        QString name;
        qsizetype table = -1; // a table's index in m_tables
    };

    bool has(QChar c, qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() && m_text[m_pos + ahead] == c;
    }

    void eatSpace()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace() &&
               m_text[m_pos] != QChar::ParagraphSeparator)
            ++m_pos;
    }

    // An entity after "&": the character of a numeric one or of the most
    // common names, else "&" and the text is read on from there.
    QString entity()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_pos - start < 9 && !m_text[m_pos].isSpace() &&
               m_text[m_pos] != u';')
            ++m_pos;
        const QStringView name = m_text.sliced(start, m_pos - start);
        if (has(u';') && !name.isEmpty()) {
            static constexpr std::array<std::pair<const char16_t*, char16_t>, 6> Named = {
                {{u"amp", u'&'},
                 {u"lt", u'<'},
                 {u"gt", u'>'},
                 {u"quot", u'"'},
                 {u"apos", u'\''},
                 {u"nbsp", 0xA0}}};
            for (const auto& [text, character] : Named) {
                if (name == QStringView(text)) {
                    ++m_pos;
                    return QString(QChar(character));
                }
            }
            bool ok = false;
            const bool hex =
                name.size() > 1 && name[0] == u'#' && (name[1] == u'x' || name[1] == u'X');
            const uint code = name.size() > 1 && name[0] == u'#'
                                  ? name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10)
                                  : 0;
            if (ok && code <= 0x10FFFF) {
                ++m_pos;
                return QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            }
        }
        m_pos = start;
        return QStringLiteral("&");
    }

    QString word()
    {
        QString word;
        const qsizetype size = m_text.size();
        if (has(u'"')) {
            ++m_pos;
            while (m_pos < size) {
                const QChar c = m_text[m_pos++];
                if (c == u'"')
                    break;
                word += c == u'&' ? entity() : QString(c);
            }
        } else if (has(u'\'')) {
            ++m_pos;
            while (m_pos < size) {
                const QChar c = m_text[m_pos++];
                // A quote after a backslash does not end the word.
                if (c == u'\'' && size > 1 && m_text[m_pos - 2] != u'\\')
                    break;
                word += c;
            }
        } else {
            while (m_pos < size) {
                const QChar c = m_text[m_pos++];
                if (c == u'>' || (c == u'/' && has(u'>')) || c == u'<' || c == u'=' ||
                    c.isSpace()) {
                    --m_pos;
                    break;
                }
                word += c == u'&' ? entity() : QString(c);
            }
        }
        return word;
    }

    Attributes attributes()
    {
        Attributes attributes;
        while (m_pos < m_text.size()) {
            eatSpace();
            if (has(u'>') || has(u'/'))
                break;
            const QString key = word().toLower();
            if (key.isEmpty())
                break;
            QString value = QStringLiteral("1");
            eatSpace();
            if (has(u'=')) {
                ++m_pos;
                eatSpace();
                value = word();
            }
            if (!value.isEmpty())
                attributes.append({key, value});
        }
        return attributes;
    }

    // After "<".
    void tag()
    {
        eatSpace();
        if (has(u'!')) {
            ++m_pos;
            if (has(u'-') && has(u'-', 1)) {
                const qsizetype end = m_text.indexOf(u"-->", m_pos + 2);
                m_pos = end >= 0 ? end + 3 : m_text.size();
            } else {
                skipPast(u'>');
            }
            return;
        }
        if (has(u'/')) {
            ++m_pos;
            const QString name = word().toLower().trimmed();
            skipPast(u'>');
            close(name);
            return;
        }
        const QString name = word().toLower();
        const Attributes found =
            m_pos < m_text.size() && m_text[m_pos].isSpace() ? attributes() : Attributes();
        bool closed = false;
        for (; m_pos < m_text.size() && m_text[m_pos] != u'>'; ++m_pos)
            closed = closed || m_text[m_pos] == u'/';
        ++m_pos;
        open(name, found, closed);
    }

    void skipPast(QChar c)
    {
        while (m_pos < m_text.size() && m_text[m_pos++] != c) {
        }
    }

    QStringView top() const { return m_open.empty() ? QStringView() : m_open.back().name; }

    qsizetype nearest(QStringView name) const
    {
        for (qsizetype i = qsizetype(m_open.size()) - 1; i >= 0; --i) {
            if (m_open[std::size_t(i)].name == name)
                return i;
        }
        return -1;
    }

    void push(const QString& name)
    {
        Element element{name, -1};
        if (name == u"table") {
            element.table = qsizetype(m_tables.size());
            m_tables.push_back(Table{m_tablesOpen + 1});
        }
        m_tablesOpen += element.table >= 0 ? 1 : 0;
        m_open.push_back(element);
        m_cost.depth = std::max(m_cost.depth, int(m_open.size()));
        m_cost.tableDepth = std::max(m_cost.tableDepth, m_tablesOpen);
    }

    void popTo(qsizetype size)
    {
        while (qsizetype(m_open.size()) > size) {
            m_tablesOpen -= m_open.back().table >= 0 ? 1 : 0;
            m_open.pop_back();
        }
    }

    void pop() { popTo(qsizetype(m_open.size()) - 1); }

    Table& tableOf(qsizetype index)
    {
        return m_tables[std::size_t(m_open[std::size_t(index)].table)];
    }

    void newRow(qsizetype table)
    {
        Table& t = tableOf(table);
        ++t.rows;
        t.rowWidth = 0;
    }

    void open(const QString& name, const Attributes& attributes, bool closed)
    {
        if (name.isEmpty())
            return;
        const auto is = [](QStringView a, std::initializer_list<const char16_t*> names) {
            return std::any_of(names.begin(), names.end(),
                               [a](const char16_t* n) { return a == QStringView(n); });
        };
        if ((name == u"p" || name == u"li" || name == u"dd") && top() == name)
            pop();
        if (name == u"dt") {
            while (is(top(), {u"dt", u"dd"}))
                pop();
        }
        if (name == u"tr") {
            if (is(top(), {u"td", u"th"}))
                pop();
            if (top() == u"tr")
                pop();
            if (nearest(u"table") < 0) // the engine makes the table the row lacks
                push(QStringLiteral("table"));
            newRow(nearest(u"table"));
        }
        if (name == u"td" || name == u"th") {
            while (is(top(), {u"td", u"th"}))
                pop();
            if (nearest(u"tr") < 0) { // and the table and row a cell lacks
                push(QStringLiteral("table"));
                newRow(nearest(u"table"));
                push(QStringLiteral("tr"));
            }
            cell(attributes);
        }
        for (const auto& [key, value] : attributes) {
            if ((name == u"img" && (key == u"src" || key == u"source")) || key == u"background")
                m_cost.pictures.append(value);
        }
        if (closed || isVoid(name))
            return;
        push(name);
    }

    void cell(const Attributes& attributes)
    {
        qint64 columns = 1;
        qint64 rows = 1;
        for (const auto& [key, value] : attributes) {
            if (key == u"colspan")
                columns = spanOf(value);
            else if (key == u"rowspan")
                rows = spanOf(value);
        }
        Table& t = tableOf(nearest(u"table"));
        t.rowWidth += columns;
        t.widest = std::max(t.widest, t.rowWidth);
        if (rows > 1)
            t.spanned += columns;
    }

    void close(const QString& name)
    {
        const qsizetype at = nearest(name);
        if (at >= 0)
            popTo(at);
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    std::vector<Element> m_open;
    std::vector<Table> m_tables;
    int m_tablesOpen = 0;
    HelpPage::Cost m_cost;
};

// The text the engine parses: a page copied from another program may mark
// the part to take with fragment comments.
QStringView parsedPart(QStringView html)
{
    const qsizetype start = html.indexOf(u"<!--StartFragment-->");
    if (start < 0)
        return html;
    const qsizetype end = html.indexOf(u"<!--EndFragment-->");
    return start < end ? html.sliced(start, end - start) : html.sliced(start);
}

} // namespace

namespace HelpPage {

Cost measure(QStringView html)
{
    return Reader(parsedPart(html)).read();
}

QString overBounds(qsizetype bytes, const Cost& cost)
{
    if (bytes > MaxPageBytes)
        return QStringLiteral("%1 bytes, at most %2").arg(bytes).arg(MaxPageBytes);
    if (cost.depth > MaxDepth)
        return QStringLiteral("elements nested more than %1 deep").arg(MaxDepth);
    if (cost.tableDepth > MaxTableDepth)
        return QStringLiteral("tables nested %1 deep, at most %2")
            .arg(cost.tableDepth)
            .arg(MaxTableDepth);
    if (cost.layoutCost > MaxLayoutCost)
        return QStringLiteral("laying it out would cost more than %1").arg(MaxLayoutCost);
    return {};
}

} // namespace HelpPage
