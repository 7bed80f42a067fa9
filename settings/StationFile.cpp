#include "StationFile.h"

#include "Folders.h"
#include "SettingsFolders.h"

#include <QDir>

namespace StationFile {

QString Resolve(const QString& executableBaseName)
{
    const QString programFolder = Folders::programFolder();
    const QString source = Folders::join(programFolder, QString()); // ends with the separator
    const QByteArray tarvello = SettingsFolders::ReadIniValue(
        "Config", "Tarvello", "0", Folders::join(programFolder, QStringLiteral("zor.ini")));
    const QString sub = tarvello.startsWith('1') ? QStringLiteral("ZOR") : executableBaseName;
    const QString base =
        SettingsFolders::GetAppDataFolder() + QStringLiteral("Q.R.S") + QDir::separator();
    return SettingsFolders::ResolveIniFile(QStringLiteral("zor.ini"), sub, source, base, true);
}

} // namespace StationFile
