#pragma once

#include "AgentsList.h"
#include "Csv.h"
#include "RightsCells.h"

#include <array>
#include <variant>

// Agents' rights as CSV: a header row "Agent,Name," and the seven rights by
// their keys, then one row per agent with each right's value (0 or 1; 0, 1
// or 2 for Droit_Modif_Fiche). On reading, the Name column may be left out
// and the columns may come in any order.
namespace AgentsCsv {

QByteArray Write(const AgentsList::Rows& rows);

struct Entry
{
    int line = 0;
    std::size_t row = 0;                                // index in the agents list
    std::array<int, RightsCells::Keys.size()> levels{}; // in the order of RightsCells::Keys
};

// The entries of a whole file, checked against the agents list: a header
// with Agent and the seven keys, each once; rows of the same width; every
// agent in the list, once; every value in range. The first fault is the
// error, with its line and column.
std::variant<QList<Entry>, Csv::Error> Read(QByteArrayView bytes, const AgentsList::Rows& rows);

} // namespace AgentsCsv
