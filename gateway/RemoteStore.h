#pragma once

#include "AgentsList.h"

// Writing the shared settings back: to the configuration server in server
// mode, to the shared folder's INI files when TcpPort is 0.
namespace RemoteStore {

// Writes the agents whose change state (column 10) is set: "1" the rights of
// the row, "2" an emptied password, "3" both. True when the rights of at
// least one row were written. The list is not changed.
bool StoreAgentRights(AgentsList::Rows& rows);

// Writes the supervisor fields of Parametres into the supervisor record and
// sends it; the record's other bytes go back as the last fetch left them.
void StoreSupervisorSettings();

} // namespace RemoteStore
