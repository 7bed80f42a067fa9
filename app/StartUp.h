#pragma once

#include <QString>

// The start-up sequence: from the station settings to the supervisor
// settings, ready for the login.
namespace StartUp {

// The per-user zor.ini, the language, the station settings, the model rights
// and the supervisor settings. Any refusal on the way ends the program.
void PrepareSettings();

// The per-user station settings file, created from the program folder's copy
// when it is missing.
QString ResolveStationFile();

} // namespace StartUp
