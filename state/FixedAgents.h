#pragma once

#include "AgentsList.h"

// The agents list without an agent directory: agents 1 to 32, in order,
// without names.
namespace FixedAgents {

inline constexpr int Count = 32;

inline AgentsList::Rows Rows()
{
    AgentsList::Rows rows;
    rows.reserve(Count);
    for (int agent = 1; agent <= Count; ++agent)
        rows.push_back(AgentsList::makeRow(QString::number(agent), QString()));
    return rows;
}

} // namespace FixedAgents
