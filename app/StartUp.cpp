#include "StartUp.h"

#include "Folders.h"
#include "SettingsLoad.h"
#include "StationFile.h"
#include "UiServices.h"
#include "Variables.h"

namespace StartUp {

QString ResolveStationFile()
{
    return StationFile::Resolve(Folders::executableBaseName());
}

void PrepareSettings()
{
    UiServices::setBusy(true);
    StationIniPath = ResolveStationFile();
    SettingsLoad::LoadSettings();
}

} // namespace StartUp
