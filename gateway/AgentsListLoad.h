#pragma once

#include "AgentDirectory.h"
#include "AgentsList.h"

#include <optional>

// The building of the agents list, without a window: the Agents page and
// zoradm both take their list from here. The agent directory at VS_addr,
// VS_port (extension Poste) gives the agents' numbers and names; when its
// link cannot be opened, the list is the fixed table of agents 1 to 32
// without names. Every agent's rights are then fetched from the settings
// store. Failures are reported through the UI hooks with the program's
// texts.
namespace AgentsListLoad {

enum class Source
{
    Directory,  // the directory's agents
    FixedTable, // the directory's link could not be opened: one report, message 256
    Failed      // the directory's table could not be read: message 222, 223 or 256
};

struct Result
{
    Source source = Source::Failed;
    AgentsList::Rows rows; // with the agents' rights; empty when Failed
};

// Creates the directory object in `directory`, gives it the address, port
// and extension and opens its link. False when any of that fails: message
// 256 ("zor_ini") is reported and `directory` is emptied.
bool OpenDirectory(std::optional<AgentDirectory::Connection>& directory);

// Reads the agents table through the open link, closes the link (a failure
// to close is ignored) and empties `directory`, then fetches the rights of
// the table's first 32 agents, names trimmed of spaces. Nothing when there
// is no open link or the table cannot be read: 222 (the directory cannot
// read its table) or 223 (its machine is gone) is shown, any other failure reported
// as 256 ("GetAgentNameList"), and the link is left as it is.
std::optional<AgentsList::Rows>
DirectoryAgents(std::optional<AgentDirectory::Connection>& directory);

// The fixed table with its agents' rights.
AgentsList::Rows FixedTableAgents();

// The whole list, by the steps above in the order the Agents page takes
// them: the directory's agents, or the fixed table when the link cannot be
// opened. `directory` holds the directory object while the list
// is built. On Failed the caller ends: nothing may be written.
Result Load(std::optional<AgentDirectory::Connection>& directory);

} // namespace AgentsListLoad
