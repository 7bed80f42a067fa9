#pragma once

#include <QString>

// The station settings file zor.ini of this workstation.
namespace StationSettings {

// Reads the station settings into Parametres, LanguageBase, RecvTimeout and
// HelpFile; in shared-folder mode prepares the 32 agent rights files (see
// AgentFilesOnLoad). May ask for the connection dialog, and may end the
// program.
void LoadStationSettings();

// What loading does with the agent rights files missing from a shared folder:
// the program lays them out from the model at once; zoradm, which writes
// nothing unless it stores, leaves them until it stores (PrepareAgentFiles).
enum class AgentFiles
{
    Prepare,
    Defer
};
inline AgentFiles AgentFilesOnLoad = AgentFiles::Prepare;

// Lays out the missing agent files of a shared folder, as a load that
// prepares them does; a failure is reported and ends the program.
void PrepareAgentFiles();

// The file to read the rights of an agent from: its own file, or, while a
// load has left that file to be laid out, the model it will be copied from.
QString AgentFileSource(int agent, const QString& path);

// Writes Parametres.VS_addr to the station settings file.
void SaveServerAddress();

} // namespace StationSettings
