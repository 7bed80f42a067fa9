#include "StartUp.h"

#include "AgentRights.h"
#include "Folders.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "UiServices.h"
#include "Variables.h"

#include <QDir>

namespace StartUp {

QString ResolveStationFile()
{
    const QString programFolder = Folders::programFolder();
    const QString source = Folders::join(programFolder, QString()); // ends with the separator
    const QByteArray tarvello = SettingsFolders::ReadIniValue(
        "Config", "Tarvello", "0", Folders::join(programFolder, QStringLiteral("zor.ini")));
    const QString sub =
        tarvello.startsWith('1') ? QStringLiteral("ZOR") : Folders::executableBaseName();
    const QString base =
        SettingsFolders::GetAppDataFolder() + QStringLiteral("Q.R.S") + QDir::separator();
    return SettingsFolders::ResolveIniFile(QStringLiteral("zor.ini"), sub, source, base, true);
}

void PrepareSettings()
{
    UiServices::setBusy(true);
    StationIniPath = ResolveStationFile();
    Languages::LoadLanguageFile();
    StationSettings::LoadStationSettings();
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();
}

} // namespace StartUp
