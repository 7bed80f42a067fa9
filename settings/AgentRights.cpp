#include "AgentRights.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "Folders.h"
#include "IniFile.h"
#include "Rights.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "Variables.h"

#include <array>

using namespace AgentsList;

namespace {

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
    for (const Rights::RightDef& right : Rights::YesNoRights) {
        if (Rights::isGrantedInFile(readRight(right.key, path)))
            row.cells[right.column] = Rights::cellText(true);
    }
    Rights::setFicheLevel(row, Rights::ficheLevelInFile(readRight(Rights::Fiche.key, path)));
    row.cells[ColChangeState].clear();
}

void writeRights(const Row& row, const QString& path)
{
    for (const Rights::RightDef& right : Rights::YesNoRights) {
        const bool granted = Rights::isGranted(row.cells[right.column]);
        SettingsFolders::WriteIniValue("SUPER", right.key, Rights::fileValue(granted), path);
    }
    SettingsFolders::WriteIniValue("SUPER", Rights::Fiche.key,
                                   Rights::ficheFileValue(Rights::ficheLevelOfFilledCells(row)),
                                   path);
}

} // namespace

namespace AgentRights {

QString ModelFile()
{
    return Folders::programFile(QStringLiteral("model.ini"));
}

QString AgentFileName(int agent)
{
    return QStringLiteral("agent") + Conversions::padded(agent, 3) + QStringLiteral(".ini");
}

void GetModel_Ini()
{
    const QString path = ModelFile();
    IniFile::ReadScope scope;
    ModelRightsRecord& model = Parametres.ModelRights;
    for (const Rights::RightDef& right : Rights::YesNoRights)
        model.*right.model = Rights::isGrantedInFile(readRight(right.key, path));
    model.Droit_Modif_Fiche =
        static_cast<quint8>(Rights::ficheLevelInFile(readRight(Rights::Fiche.key, path)));
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
            const Rights::Change change = Rights::changeOf(row);
            if (!change.rights && !change.password)
                continue;
            const QString path = agentFile(row);
            if (change.rights) {
                written = true;
                writeRights(row, path);
            }
            if (change.password)
                SettingsFolders::WriteIniValue("CONFIG", "mot_de_passe", "", path);
        }
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(119, "SetAgentxx_Ini", failure);
    }
    return written;
}

} // namespace AgentRights
