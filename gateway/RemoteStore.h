#pragma once

#include "AgentsList.h"

#include <functional>

// Writing the shared settings back: to the configuration server in server
// mode, to the shared folder's INI files when TcpPort is 0.
namespace RemoteStore {

// What a store tells its caller about a row: its write is being sent to the
// server (which may take it even if no acknowledgement comes back), or the
// row is stored (acknowledged by the server, or its file written).
enum class Step
{
    Sending,
    Stored
};
using Progress = std::function<void(std::size_t row, Step step)>;

// Writes the agents whose change state (column 10) is set: "1" the rights of
// the row, "2" an emptied password, "3" both. True when the rights of at
// least one row were written. The list is not changed.
bool StoreAgentRights(AgentsList::Rows& rows, const Progress& progress = {});

// Writes the supervisor fields of Parametres into the supervisor record and
// sends it; the record's other bytes go back as the last fetch left them.
void StoreSupervisorSettings();

} // namespace RemoteStore
