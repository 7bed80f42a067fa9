#pragma once

// The station settings file zor.ini of this workstation.
namespace StationSettings {

// Reads the station settings into Parametres, LanguageBase, RecvTimeout and
// HelpFile; in shared-folder mode prepares the 32 agent rights files. May ask
// for the connection dialog, and may end the program.
void LoadStationSettings();

// Writes Parametres.VS_addr to the station settings file.
void SaveServerAddress();

} // namespace StationSettings
