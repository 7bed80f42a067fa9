#pragma once

// The settings that start-up loads before the login, without any window.
namespace SettingsLoad {

// With StationIniPath set: the language, the station settings, the model
// rights and the supervisor settings (from the configuration server or the
// shared folder). Any refusal on the way ends the program.
void LoadSettings();

} // namespace SettingsLoad
