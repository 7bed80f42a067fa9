#pragma once

#include <QString>

#include <array>
#include <vector>

// The agents list without its window: one row per agent, eleven text columns.
// The Agents page shows it, the fetches fill it, the rights dialog edits it and
// the stores write the rows it marks. What a rights cell and the change state
// mean is in Rights.h.
namespace AgentsList {

enum Column
{
    ColNumber = 0, // the agent number, the row's own text
    ColName = 1,
    ColChangeGroup = 2,    // Droit_Modif_Group
    ColPreferences = 3,    // Droit_Preference
    ColChangePassword = 4, // Droit_Modif_MotDePasse
    ColQualifyCalls = 5,   // Droit_Qualif
    ColStatistics = 6,     // Droit_Stat
    ColCallJournal = 7,    // Droit_ListeAppel
    ColRecordsAll = 8,     // Droit_Modif_Fiche: every field of customer records
    ColRecordsComment = 9, // Droit_Modif_Fiche: the comment field
    ColChangeState = 10,   // "", "1" rights changed, "2" password to clear, "3" both
    ColumnCount = 11
};

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
