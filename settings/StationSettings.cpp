#include "StationSettings.h"

#include "AgentRights.h"
#include "Conversions.h"
#include "Cp1252.h"
#include "Folders.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "Variables.h"

#include <QFile>
#include <QFileInfo>

using SettingsFolders::ReadIniValue;
using SettingsMessages::text;

namespace {

constexpr int AgentFileCount = 32;
// Our own: TCP_port names no server port, and the shared folder is used.
constexpr int MessageNoServerPort = 1320;

// Runs one statement of the station read; a failing conversion leaves the
// setting as it was and the read goes on.
template <typename Statement> void skipOnFailure(Statement statement)
{
    try {
        statement();
    } catch (const Conversions::Failure&) {
    }
}

bool exists(const QString& path)
{
    return QFileInfo::exists(Folders::localPath(path));
}

void readLanguage()
{
    skipOnFailure([] {
        Parametres.Langue = Conversions::toInt32(
            Conversions::Val(ReadIniValue("AGENT", "Langue", "0", StationIniPath)));
    });
    try {
        SettingsFolders::ApplyLanguageNumber(Parametres.Langue);
    } catch (const Conversions::Failure&) {
        // The base does not fit and keeps its value; the help file is still
        // chosen for the language.
        SettingsFolders::ChooseHelpFile();
    }
}

void readServerAddress()
{
    Parametres.VS_addr =
        Cp1252::toUnicode(ReadIniValue("VOICE_SERVER", "VS_addr", "", StationIniPath));
    if (!Parametres.VS_addr.isEmpty())
        return;
    UiServices::messageBox(text(1107), text(121), UiServices::Icon::None);
    if (Parametres.VS_addr.isEmpty() && !UiServices::showDialog(UiServices::Dialog::Connection))
        UiServices::endProgram();
}

void readPortAndTimeout()
{
    const QByteArray port = ReadIniValue("VOICE_SERVER", "VS_port", "20772", StationIniPath);
    Parametres.VS_port = Cp1252::toUnicode(port);
    if (!Conversions::isNumeric(port))
        UiServices::messageBox(text(1106), text(121), UiServices::Icon::None);
    skipOnFailure([] {
        RecvTimeout = Conversions::toInt16(Conversions::strict(
            ReadIniValue("VOICE_SERVER", "Recv_timeout", "10", StationIniPath)));
    });
}

// Every agent of the shared folder gets a rights file, copied from the model
// when it has none. Existing files are never overwritten. Unless write is
// set, nothing is copied: the folder is only checked as the copy would be.
void prepareAgentFiles(bool write)
{
    const QString model = AgentRights::ModelFile();
    QString name;
    try {
        for (int agent = 1; agent <= AgentFileCount; ++agent) {
            name = AgentRights::AgentFileName(agent);
            IniBuffer = Cp1252::fromUnicode(name);
            const QString target = Parametres.ConfigDir + name;
            if (exists(target) || !exists(model))
                continue;
            if (!QFileInfo(Folders::localPath(Parametres.ConfigDir)).isDir())
                throw Conversions::Failure{76, {}}; // path not found
            if (write && !QFile::copy(Folders::localPath(model), Folders::localPath(target)))
                throw Conversions::Failure{75, {}}; // path or file access error
        }
    } catch (const Conversions::Failure& failure) {
        const QString message = text(117) + u' ' + name + u' ' + QString::number(failure.number) +
                                u' ' + SettingsMessages::describe(failure) + u']';
        UiServices::messageBox(message, text(224), UiServices::Icon::Critical);
        UiServices::endProgram();
    }
}

void chooseSharedFolder()
{
    const QByteArray server = ReadIniValue("CONFIG", "PATH_config",
                                           Cp1252::fromUnicode(Parametres.VS_addr), StationIniPath);
    const QString name = server.isEmpty() ? Parametres.VS_addr : Cp1252::toUnicode(server);
    Parametres.ConfigPath = QStringLiteral("\\\\") + name + QStringLiteral("\\ZOR");
    Parametres.TcpPort = 0;
    Parametres.ConfigDir = Parametres.ConfigPath + u'\\';
}

// A port that does not fit the 16-bit TcpPort, or 0, leaves TcpPort 0: the
// shared-folder mode, with its folder chosen as for Server_Tcp=0. The
// supervisor is told, with the folder that then holds the settings.
void readServerPort()
{
    const QByteArray port = ReadIniValue("CONFIG", "TCP_port", "32000", StationIniPath);
    skipOnFailure([&port] { Parametres.TcpPort = Conversions::toInt16(Conversions::Val(port)); });
    if (Parametres.TcpPort != 0)
        return;
    chooseSharedFolder();
    UiServices::messageBox(
        text(MessageNoServerPort, {Cp1252::toUnicode(port), Parametres.ConfigPath}), text(121),
        UiServices::Icon::Exclamation);
}

} // namespace

namespace StationSettings {

void LoadStationSettings()
{
    readLanguage();
    readServerAddress();
    readPortAndTimeout();
    Parametres.Poste = QStringLiteral("0000");
    if (ReadIniValue("CONFIG", "Server_Tcp", "1", StationIniPath) == "1")
        readServerPort();
    else
        chooseSharedFolder();
    if (Parametres.TcpPort == 0)
        prepareAgentFiles(AgentFilesOnLoad == AgentFiles::Prepare);
}

void PrepareAgentFiles()
{
    if (Parametres.TcpPort == 0)
        prepareAgentFiles(true);
}

QString AgentFileSource(int agent, const QString& path)
{
    if (AgentFilesOnLoad == AgentFiles::Prepare || Parametres.TcpPort != 0 || agent < 1 ||
        agent > AgentFileCount || exists(path))
        return path;
    const QString model = AgentRights::ModelFile();
    return exists(model) ? model : path;
}

void SaveServerAddress()
{
    SettingsFolders::WriteIniValue("VOICE_SERVER", "VS_addr",
                                   Cp1252::fromUnicode(Parametres.VS_addr), StationIniPath);
}

} // namespace StationSettings
