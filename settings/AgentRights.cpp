#include "AgentRights.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "FileIo.h"
#include "Folders.h"
#include "IniFile.h"
#include "Rights.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "StationSettings.h"
#include "Variables.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace AgentsList;

namespace {

int agentNumber(const Row& row)
{
    // The usual agent number: up to four digits, read without the locale.
    const QString& text = row.cells[ColNumber];
    if (!text.isEmpty() && text.size() <= 4 && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() >= u'0' && c.unicode() <= u'9';
        })) {
        int agent = 0;
        for (QChar c : text)
            agent = agent * 10 + (c.unicode() - u'0');
        return agent;
    }
    const double number = Conversions::strict(Cp1252::fromUnicode(row.cells[ColNumber]));
    return Conversions::toInt32(number);
}

QString agentFile(const Row& row)
{
    return Parametres.ConfigDir + AgentRights::AgentFileName(agentNumber(row));
}

QByteArray readRight(const char* key, const QString& path)
{
    return SettingsFolders::ReadIniValue("SUPER", key, "1", path);
}

void fillRow(Row& row)
{
    const int agent = agentNumber(row);
    const QString path = StationSettings::AgentFileSource(
        agent, Parametres.ConfigDir + AgentRights::AgentFileName(agent));
    for (const Rights::RightDef& right : Rights::YesNoRights) {
        if (Rights::isGrantedInFile(readRight(right.key, path)))
            row.cells[right.column] = Rights::cellText(true);
    }
    Rights::setFicheLevel(row, Rights::ficheLevelInFile(readRight(Rights::Fiche.key, path)));
    row.cells[ColChangeState].clear();
}

// The keys a store writes to the row's file, in their order: the rights in
// the order of the table when they changed, then the emptied password when
// it is to be cleared.
std::vector<IniFile::KeyWrite> rowKeys(const Row& row, Rights::Change change)
{
    std::vector<IniFile::KeyWrite> keys;
    if (change.rights) {
        for (const Rights::RightDef& right : Rights::YesNoRights)
            keys.push_back({"SUPER", right.key,
                            Rights::fileValue(Rights::isGranted(row.cells[right.column]))});
        keys.push_back({"SUPER", Rights::Fiche.key,
                        Rights::ficheFileValue(Rights::ficheLevelOfFilledCells(row))});
    }
    if (change.password)
        keys.push_back({"CONFIG", "mot_de_passe", QByteArray()});
    return keys;
}

} // namespace

namespace AgentRights {

QString ModelFile()
{
    return Folders::programFile(QStringLiteral("model.ini"));
}

QString AgentFileName(int agent)
{
    if (agent >= 0 && agent <= 999) { // the usual numbers, without building parts
        char16_t name[] = u"agent000.ini";
        name[5] = char16_t(u'0' + agent / 100);
        name[6] = char16_t(u'0' + agent / 10 % 10);
        name[7] = char16_t(u'0' + agent % 10);
        return QString::fromUtf16(name, 12);
    }
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

bool SetAgentxx_Ini(Rows& rows, const std::function<void(std::size_t)>& stored)
{
    // Each file is replaced once, so that an agent desktop reading it sees
    // the old rights or the new ones. The result turns true only once a
    // file holding changed rights has been written.
    bool written = false;
    try {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Rights::Change change = Rights::changeOf(rows[i]);
            if (!change.rights && !change.password)
                continue;
            SettingsFolders::WriteIniValues(rowKeys(rows[i], change), agentFile(rows[i]));
            written = written || change.rights;
            if (stored)
                stored(i);
        }
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(119, "SetAgentxx_Ini", failure);
    }
    return written;
}

QList<std::pair<std::size_t, QString>> UnwritableAgentFiles(const Rows& rows)
{
    QList<std::pair<std::size_t, QString>> unwritable;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Rights::Change change = Rights::changeOf(rows[i]);
        if (!change.rights && !change.password)
            continue;
        QString reason;
        try {
            const FileIo::Result check =
                FileIo::checkEditable(Folders::localPath(agentFile(rows[i])));
            if (!check)
                reason = check.file + QStringLiteral(": ") + check.reason;
        } catch (const Conversions::Failure& failure) {
            reason = SettingsMessages::describe(failure);
        }
        if (!reason.isEmpty())
            unwritable.append({i, reason});
    }
    return unwritable;
}

} // namespace AgentRights
