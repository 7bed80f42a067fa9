#pragma once

#include "AgentsList.h"

#include <QAnyStringView>

#include <array>
#include <optional>

// The seven rights of an agents list row as numbers, the way the rights files
// code them: a yes/no right is 1 when its cell holds exactly "X", else 0;
// Droit_Modif_Fiche is 2 when column 8 holds "X", else 1 when column 9 holds
// "X", else 0. And the rights dialog's rule for turning an edit into the row's
// change state.
namespace RightsCells {

// The seven keys in the order the rights files list them.
inline constexpr std::array<const char*, 7> Keys = {
    "Droit_Modif_Group", "Droit_Preference", "Droit_Modif_MotDePasse", "Droit_Qualif",
    "Droit_Stat",        "Droit_ListeAppel", "Droit_Modif_Fiche"};

// The highest value of a right: 2 for Droit_Modif_Fiche, 1 for the others;
// nothing for a name that is not a rights key (compared exactly).
std::optional<int> MaxLevel(QAnyStringView key);

// The value of a right in a row (0 for a name that is not a rights key).
int Level(const AgentsList::Row& row, QAnyStringView key);

// Sets the cells of a right from its value: "X" or empty for a yes/no right;
// for Droit_Modif_Fiche, 2 gives "X" in columns 8 and 9, 1 only in column 9.
void SetLevel(AgentsList::Row& row, QAnyStringView key, int level);

// The rights dialog's OK: each rights cell of the row (columns 2 to 9) that
// differs from the edited row's takes its value and marks the rights changed;
// clearPassword marks the password to clear. Flags already set on the row
// stay set; the change state becomes "1", "2" or "3".
void ApplyEdit(AgentsList::Row& row, const AgentsList::Row& edited, bool clearPassword);

} // namespace RightsCells
