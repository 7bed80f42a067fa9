#include "SettingsLoad.h"

#include "AgentRights.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "StationSettings.h"

namespace SettingsLoad {

void LoadLocalSettings()
{
    Languages::LoadLanguageFile();
    StationSettings::LoadStationSettings();
    AgentRights::GetModel_Ini();
}

void LoadSettings()
{
    LoadLocalSettings();
    RemoteTransfers::FetchSupervisorSettings();
}

} // namespace SettingsLoad
