#pragma once

#include "AgentsList.h"
#include "Rights.h"

#include <QAnyStringView>

#include <array>
#include <optional>

// The seven rights of an agents list row by their keys, as numbers coded the
// way the rights files code them (Rights.h: 1 or 0 for a yes/no right; 2, 1
// or 0 for Droit_Modif_Fiche), and the rights dialog's rule for turning an
// edit into the row's change state.
namespace RightsCells {

// The seven keys in the order of Rights::Table.
inline constexpr std::array<const char*, Rights::Table.size()> Keys = [] {
    std::array<const char*, Rights::Table.size()> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = Rights::Table[i].key;
    return keys;
}();

// The highest value of a right: 2 for Droit_Modif_Fiche, 1 for the others;
// nothing for a name that is not a rights key (compared exactly).
std::optional<int> MaxLevel(QAnyStringView key);

// The value of a right in a row (0 for a name that is not a rights key).
int Level(const AgentsList::Row& row, QAnyStringView key);

// Sets the cells of a right from its value.
void SetLevel(AgentsList::Row& row, QAnyStringView key, int level);

// The rights dialog's OK: each rights cell of the row (columns 2 to 9) that
// differs from the edited row's takes its value and marks the rights changed;
// clearPassword marks the password to clear. Flags already set on the row
// stay set.
void ApplyEdit(AgentsList::Row& row, const AgentsList::Row& edited, bool clearPassword);

} // namespace RightsCells
