#include "AgentsListLoad.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "FixedAgents.h"
#include "RemoteTransfers.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "Variables.h"

namespace {

constexpr qsizetype ListedAgents = 32;

Conversions::Failure failureOf(const AgentDirectory::Error& error)
{
    return Conversions::Failure{error.number, error.description};
}

void showMessage(int n)
{
    UiServices::messageBox(SettingsMessages::text(n), SettingsMessages::text(224),
                           UiServices::Icon::Exclamation);
}

void reportListFailure(const AgentDirectory::Error& error)
{
    if (error.number == AgentDirectory::NoAgentTable)
        showMessage(222);
    else if (error.number == AgentDirectory::RemoteUnavailable)
        showMessage(223);
    else
        SettingsMessages::reportFailure(256, "GetAgentNameList", failureOf(error));
}

// The table's first agents, in its order; an agent listed twice is listed
// once.
AgentsList::Rows rowsOf(const QList<AgentDirectory::AgentNameEntry>& table)
{
    AgentsList::Rows rows;
    QList<qint32> listed;
    for (const AgentDirectory::AgentNameEntry& entry :
         table.first(qMin(table.size(), ListedAgents))) {
        if (listed.contains(entry.number))
            continue;
        listed.append(entry.number);
        rows.push_back(AgentsList::makeRow(QString::number(entry.number),
                                           SettingsFolders::TrimSpaces(entry.name)));
    }
    return rows;
}

} // namespace

namespace AgentsListLoad {

bool OpenDirectory(std::optional<AgentDirectory::Connection>& directory)
{
    try {
        directory = AgentDirectory::create();
        directory->ServerAddress(Parametres.VS_addr);
        directory->ServerPort(
            Conversions::toInt32(Conversions::strict(Cp1252::fromUnicode(Parametres.VS_port))));
        directory->Extension(Parametres.Poste);
        directory->OpenLink();
        return true;
    } catch (const AgentDirectory::Error& error) {
        SettingsMessages::reportFailure(256, "zor_ini", failureOf(error));
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(256, "zor_ini", failure);
    }
    directory.reset();
    return false;
}

std::optional<AgentsList::Rows>
DirectoryAgents(std::optional<AgentDirectory::Connection>& directory)
{
    if (!directory)
        return std::nullopt;
    QList<AgentDirectory::AgentNameEntry> table;
    try {
        table = directory->GetAgentNameList();
    } catch (const AgentDirectory::Error& error) {
        reportListFailure(error);
        return std::nullopt;
    }
    try {
        directory->CloseLink();
    } catch (const AgentDirectory::Error&) {
        // the table is read: a link that does not close changes nothing here
    }
    directory.reset();
    AgentsList::Rows rows = rowsOf(table);
    RemoteTransfers::FetchAgentRights(rows);
    return rows;
}

AgentsList::Rows FixedTableAgents()
{
    AgentsList::Rows rows = FixedAgents::Rows();
    RemoteTransfers::FetchAgentRights(rows);
    return rows;
}

Result Load(std::optional<AgentDirectory::Connection>& directory)
{
    if (!OpenDirectory(directory))
        return {Source::FixedTable, FixedTableAgents()};
    std::optional<AgentsList::Rows> rows = DirectoryAgents(directory);
    if (!rows)
        return {Source::Failed, {}};
    return {Source::Directory, std::move(*rows)};
}

} // namespace AgentsListLoad
