#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// What a help page would cost the rich-text engine that shows it, read from
// the page's text without showing it, and the bounds a page must keep. A
// help file comes from outside the program: the engine's time grows with the
// square of how deeply elements nest, doubles with each table nested in a
// table, and goes through every place of a table's grid, so a page of a few
// kilobytes could hold the help window for minutes.
//
// The page is read the way the engine reads it (the same tags, attributes,
// quotes, comments and implicit closes), so that what is measured is never
// less than what the engine would build.
namespace HelpPage {

inline constexpr qsizetype MaxPageBytes = 128 * 1024;      // a page, as stored
inline constexpr qsizetype MaxStyleSheetBytes = 64 * 1024; // the style sheets of a page
inline constexpr int MaxDepth = 64;                        // elements inside one another
inline constexpr int MaxTableDepth = 8;                    // tables inside one another
// What laying the page out costs: each character of the page counts 1 and
// each place in a table's grid (rows times columns) 64, and both count twice
// for each table around them. A page at the bound takes about 0.3 s.
inline constexpr qint64 MaxLayoutCost = 1'000'000;
inline constexpr qint64 MaxPicturePixels = 4 * 1024 * 1024;      // one picture
inline constexpr qint64 MaxPagePicturePixels = 16 * 1024 * 1024; // the pictures of a page
inline constexpr qint64 MaxPagePictureBytes = 16 * 1024 * 1024;  // the same, as stored

struct Cost
{
    int depth = 0;         // the deepest nesting of elements
    int tableDepth = 0;    // the deepest nesting of tables
    qint64 layoutCost = 0; // as MaxLayoutCost counts it
    QStringList pictures;  // the source of each picture, in order
};

Cost measure(QStringView html);

// Why a page of that many bytes and that cost is over a bound; empty when it
// keeps every bound.
QString overBounds(qsizetype bytes, const Cost& cost);

} // namespace HelpPage
