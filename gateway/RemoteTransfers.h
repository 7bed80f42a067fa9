#pragma once

#include "AgentsList.h"

// Loading the shared settings: from the configuration server in server mode,
// from the shared folder's INI files when TcpPort is 0.
namespace RemoteTransfers {

// Fills the rights cells (columns 2 to 9) of every row from the agent's
// record and empties its change state (column 10).
void FetchAgentRights(AgentsList::Rows& rows);

// Loads the supervisor fields of Parametres, Langue, LanguageBase, the
// language text and the help file. At start-up: after a local time-out the
// connection dialog decides between a new attempt and the end of the program.
void FetchSupervisorSettings();

} // namespace RemoteTransfers
