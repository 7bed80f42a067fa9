#pragma once

#include "AdminCommandLine.h"

// The commands of zoradm. Each loads the settings as the program does, checks
// the supervisor password, then reads or changes the settings through the
// program's own fetches and stores. The result is an exit code (ExitCodes).
namespace AdminCommands {

int Run(const AdminCommandLine::Options& options);

} // namespace AdminCommands
