#pragma once

#include <QString>

#include <array>
#include <vector>

// The agents list without its window: one row per agent, eleven text columns.
// The Agents page shows it, the fetches fill it, the rights dialog edits it and
// the stores write the rows it marks.
namespace AgentsList {

enum Column
{
    ColNumber = 0, // the agent number, the row's own text
    ColName = 1,
    ColModifGroup = 2,
    ColPreference = 3,
    ColModifMotDePasse = 4,
    ColQualif = 5,
    ColStat = 6,
    ColListeAppel = 7,
    ColFicheTous = 8,    // "X": every field of customer records
    ColFicheComment = 9, // "X": the comment field may be changed
    ColChange = 10,      // "", "1" rights changed, "2" password to clear, "3" both
    ColumnCount = 11
};

inline constexpr const char* Granted = "X";

// The text of a granted right's cell.
inline QString grantedCell()
{
    return QStringLiteral("X");
}
inline constexpr const char* ChangeRights = "1";
inline constexpr const char* ChangePassword = "2";
inline constexpr const char* ChangeBoth = "3";

struct Row
{
    std::array<QString, ColumnCount> cells;
};

using Rows = std::vector<Row>;

inline Row makeRow(const QString& number, const QString& name)
{
    Row row;
    row.cells[ColNumber] = number;
    row.cells[ColName] = name;
    return row;
}

} // namespace AgentsList
