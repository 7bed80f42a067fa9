#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

// The lookup of one value in the text of a language file, and an index that
// answers the same questions without scanning the text again.
//
// A language file is searched in two copies of its text: `upper`, where every
// search runs, and `text`, from which values are copied at the same positions.
// The rules of the search:
//  - a header "[NAME]" or an entry "KEY=" counts only right after a line feed,
//    so the first line of a file is never read;
//  - a section ends at the first "[" after its header's own "[", even one that
//    stands inside a value; the value is then cut just after that "[";
//  - a value runs to the first line feed; when it ends with one, the last two
//    characters (normally carriage return and line feed) are dropped, so a
//    line that ends with a line feed alone loses its last character;
//  - blanks and tabs around the value are removed; an empty value is missing;
//  - entry 1 of section LANGID must hold a whole number, or every lookup gives
//    its default.
namespace LangLookup {

// The upper-case copy of a text with the same length: each UTF-16 unit is
// upper-cased on its own, so positions in both copies stay aligned ("ß" stays
// "ß" instead of growing into "SS").
QString upperSameLength(QStringView text);

// The lookup, scanning the text from its start.
QString scan(QStringView section, QStringView key, const QString& defaultValue, const QString& text,
             const QString& upper);

// Whether entry 1 of section LANGID holds a whole number.
bool hasLanguageId(QStringView text, QStringView upper);

// Every header and entry of one text, found once. lookup() gives exactly what
// scan() gives for the same text; section or key names it does not index
// (very long ones, a section holding "]", a key holding "=") fall back to
// scan().
class Index
{
public:
    Index(const QString& text, const QString& upper);

    QString lookup(QStringView section, QStringView key, const QString& defaultValue) const;

    // Whether the index was built from these very strings (same data, same
    // length). The index keeps its own references to the strings, so a string
    // that was changed or replaced since can never look the same.
    bool isFor(const QString& text, const QString& upper) const;

private:
    // An entry's value, taken once; null when the lookup gives the default.
    struct Entry
    {
        QString value;
    };
    struct Section
    {
        qsizetype header = 0;              // position of the header's "["
        qsizetype end = 0;                 // the section's last position
        QHash<QStringView, Entry> entries; // by key, in upper case
    };

    void indexHeaders();
    void indexEntries(Section& section) const;

    QString m_text;
    QString m_upper;
    bool m_aligned = false;       // both texts have the same length
    bool m_hasLanguageId = false; // entry 1 of LANGID holds a whole number
    QHash<QStringView, Section> m_sections;
};

} // namespace LangLookup
