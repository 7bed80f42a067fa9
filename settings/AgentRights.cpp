#include "AgentRights.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "Folders.h"
#include "IniFile.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "Variables.h"

#include <QDir>
#include <QFileInfo>

#include <array>

using namespace AgentsList;

namespace {

// The model file. File names compare without regard to case, as on the
// stations that share the folder: Model.ini and model.ini are one file.
QString modelFile()
{
    const QString folder = Folders::programFolder();
    const QString wanted = QStringLiteral("Model.ini");
    const QStringList found = QDir(Folders::localPath(folder)).entryList({wanted}, QDir::Files);
    if (found.isEmpty() || found.contains(wanted))
        return Folders::join(folder, wanted);
    return Folders::join(folder, found.first());
}

QString agentFile(const Row& row)
{
    bool plain = false; // the usual agent number, digits only
    const int agent = row.cells[ColNumber].toInt(&plain);
    if (plain)
        return Parametres.ConfigDir + AgentRights::AgentFileName(agent);
    const double number = Conversions::strict(Cp1252::fromUnicode(row.cells[ColNumber]));
    return Parametres.ConfigDir + AgentRights::AgentFileName(Conversions::toInt32(number));
}

QByteArray readRight(const char* key, const QString& path)
{
    return SettingsFolders::ReadIniValue("SUPER", key, "1", path);
}

void fillRow(Row& row)
{
    const QString path = agentFile(row);
    for (const YesNoRight& right : YesNoRights) {
        if (readRight(right.key, path) == "1")
            row.cells[right.column] = grantedCell();
    }
    const QByteArray fiche = readRight(FicheKey, path);
    row.cells[ColFicheTous] = fiche == "2" ? grantedCell() : QString();
    row.cells[ColFicheComment] = (fiche == "2" || fiche == "1") ? grantedCell() : QString();
    row.cells[ColChange].clear();
}

void writeRights(const Row& row, const QString& path)
{
    for (const YesNoRight& right : YesNoRights) {
        const bool granted = row.cells[right.column] == QLatin1StringView(Granted);
        SettingsFolders::WriteIniValue("SUPER", right.key, granted ? "1" : "0", path);
    }
    const char* fiche = !row.cells[ColFicheTous].isEmpty()      ? "2"
                        : !row.cells[ColFicheComment].isEmpty() ? "1"
                                                                : "0";
    SettingsFolders::WriteIniValue("SUPER", FicheKey, fiche, path);
}

} // namespace

namespace AgentRights {

QString AgentFileName(int agent)
{
    return QStringLiteral("agent") + Conversions::padded(agent, 3) + QStringLiteral(".ini");
}

void GetModel_Ini()
{
    const QString path = modelFile();
    IniFile::ReadScope scope;
    ModelRightsRecord& model = Parametres.ModelRights;
    for (const YesNoRight& right : YesNoRights)
        model.*right.model = readRight(right.key, path) == "1";
    const QByteArray fiche = readRight(FicheKey, path);
    model.Droit_Modif_Fiche = fiche == "2" ? 2 : fiche == "1" ? 1 : 0;
}

void GetAgentxx_Ini(Rows& rows)
{
    IniFile::ReadScope scope;
    try {
        for (Row& row : rows)
            fillRow(row);
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(119, "GetAgentxx_Ini", failure);
    }
}

bool SetAgentxx_Ini(Rows& rows)
{
    bool written = false;
    try {
        for (Row& row : rows) {
            const QString& change = row.cells[ColChange];
            const bool rights = change == QLatin1StringView(ChangeRights) ||
                                change == QLatin1StringView(ChangeBoth);
            const bool password = change == QLatin1StringView(ChangeBoth) ||
                                  change == QLatin1StringView(ChangePassword);
            if (!rights && !password)
                continue;
            const QString path = agentFile(row);
            if (rights) {
                written = true;
                writeRights(row, path);
            }
            if (password)
                SettingsFolders::WriteIniValue("CONFIG", "mot_de_passe", "", path);
        }
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(119, "SetAgentxx_Ini", failure);
    }
    return written;
}

} // namespace AgentRights
