#pragma once

#include "Variables.h"

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

// The six yes/no rights, in the order the rights files list them: the key,
// the column that shows "X" when the right is granted, and the field of the
// model rights. Droit_Modif_Fiche, with its three values, stands apart.
struct YesNoRight
{
    const char* key;
    Column column;
    quint8 ModelRightsRecord::*model;
};

inline constexpr std::array<YesNoRight, 6> YesNoRights = {{
    {"Droit_Modif_Group", ColModifGroup, &ModelRightsRecord::Droit_Modif_Group},
    {"Droit_Preference", ColPreference, &ModelRightsRecord::Droit_Preference},
    {"Droit_Modif_MotDePasse", ColModifMotDePasse, &ModelRightsRecord::Droit_Modif_MotDePasse},
    {"Droit_Qualif", ColQualif, &ModelRightsRecord::Droit_Qualif},
    {"Droit_Stat", ColStat, &ModelRightsRecord::Droit_Stat},
    {"Droit_ListeAppel", ColListeAppel, &ModelRightsRecord::Droit_ListeAppel},
}};

inline constexpr const char* FicheKey = "Droit_Modif_Fiche";

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
