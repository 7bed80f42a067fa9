#pragma once

// The settings that start-up loads before the login, without any window.
namespace SettingsLoad {

// With StationIniPath set: the language, the station settings and the model
// rights, all read from files on this station. A refusal on the way (no server
// address given) ends the program.
void LoadLocalSettings();

// LoadLocalSettings, then the supervisor settings (from the configuration
// server or the shared folder). Any refusal on the way ends the program.
void LoadSettings();

} // namespace SettingsLoad
