#include "SettingsLoad.h"

#include "AgentRights.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "StationSettings.h"

namespace SettingsLoad {

void LoadSettings()
{
    Languages::LoadLanguageFile();
    StationSettings::LoadStationSettings();
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();
}

} // namespace SettingsLoad
