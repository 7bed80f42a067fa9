#include "AdminCommands.h"

#include "AdminHistory.h"
#include "AdminPassword.h"
#include "AdminReport.h"
#include "AgentRights.h"
#include "AgentsCsv.h"
#include "AgentsListLoad.h"
#include "ConsoleUi.h"
#include "ExitCodes.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "RightsCells.h"
#include "SettingsLoad.h"
#include "SettingsMessages.h"
#include "StationFile.h"
#include "StationSettings.h"
#include "SupervisorLogin.h"
#include "SupervisorRules.h"
#include "Variables.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

using AdminCommandLine::Options;
using AgentsList::Row;
using AgentsList::Rows;
using ConsoleUi::error;
using ConsoleUi::print;

constexpr qint64 MaxCsvBytes = 4 * 1024 * 1024;

// The station file, the settings and the password. Exit code, Done when the
// supervisor may go on.
int loadAndLogin(const Options& options)
{
    if (!options.station.isEmpty() && !QFileInfo(options.station).isFile()) {
        error(QStringLiteral("zoradm: cannot read the station file %1").arg(options.station));
        return ExitCodes::FileError;
    }
    StationIniPath = options.station.isEmpty()
                         ? StationFile::Resolve(QLatin1StringView(StationFile::ProgramName))
                         : options.station;
    // Nothing is written unless the command stores: the missing agent files
    // are laid out just before.
    StationSettings::AgentFilesOnLoad = StationSettings::AgentFiles::Defer;
    SettingsLoad::LoadSettings();
    if (ConsoleUi::failures() > 0)
        return ExitCodes::SettingsFailure;
    if (Parametres.MotDePasse.isEmpty())
        return ExitCodes::Done; // no supervisor password is set
    QString reason;
    const std::optional<QString> password = AdminPassword::Obtain(options.passwordFile, &reason);
    if (!password) {
        error(QStringLiteral("zoradm: ") + reason);
        return ExitCodes::Password;
    }
    if (!SupervisorLogin::PasswordMatches(*password)) {
        error(QStringLiteral("zoradm: wrong supervisor password"));
        return ExitCodes::Password;
    }
    return ExitCodes::Done;
}

// The agents list with every agent's rights, as the Agents page builds it.
// Without the directory's link the fixed table is what the program shows as
// well: the one report of that (message 256) is a warning here, printed and
// not counted as a failure. A directory whose table cannot be read ends
// the run before anything is written.
int fetchAgents(Rows& rows)
{
    const int before = ConsoleUi::failures();
    std::optional<AgentDirectory::Connection> directory;
    AgentsListLoad::Result loaded = AgentsListLoad::Load(directory);
    if (loaded.source == AgentsListLoad::Source::Failed)
        return ExitCodes::DirectoryFailure;
    const int warnings = loaded.source == AgentsListLoad::Source::FixedTable ? 1 : 0;
    rows = std::move(loaded.rows);
    return ConsoleUi::failures() - before > warnings ? ExitCodes::SettingsFailure : ExitCodes::Done;
}

QString agentOf(const Row& row)
{
    return QStringLiteral("agent ") + row.cells[AgentsList::ColNumber];
}

// What became of each changed agent of a store, said agent by agent as it
// happens, and at the end for those that were not stored.
struct StoreReport
{
    const Rows& rows;
    QList<std::size_t> left; // the changed rows not stored yet, in order
    std::optional<std::size_t> sending;
    int stored = 0;

    void progress(std::size_t row, RemoteStore::Step step)
    {
        if (step == RemoteStore::Step::Sending) {
            sending = row;
            return;
        }
        sending.reset();
        left.removeOne(row);
        ++stored;
        print(agentOf(rows[row]) + QStringLiteral(": stored"));
    }

    // The agents not stored, the count, and the exit status: Done when all
    // were stored, Partial when some were, failure when none was.
    int finish(int failure) const
    {
        for (const std::size_t row : left)
            print(agentOf(rows[row]) +
                  (row == sending ? QStringLiteral(": not confirmed (the link failed during its "
                                                   "write: it may have been stored)")
                                  : QStringLiteral(": not stored")));
        if (left.isEmpty()) {
            print(QStringLiteral("%1 agent(s) written").arg(stored));
            return ExitCodes::Done;
        }
        print(QStringLiteral("%1 agent(s) written, %2 not written").arg(stored).arg(left.size()));
        return stored > 0 ? ExitCodes::Partial : failure;
    }
};

// In the shared folder, every file the store would write must be writable
// before the first is written: a known cause stops the store beforehand.
bool agentFilesWritable(const Rows& rows)
{
    if (Parametres.TcpPort != 0)
        return true;
    const auto unwritable = AgentRights::UnwritableAgentFiles(rows);
    for (const auto& [row, reason] : unwritable)
        error(QStringLiteral("zoradm: %1: cannot write %2").arg(agentOf(rows[row]), reason));
    if (!unwritable.isEmpty())
        error(QStringLiteral("zoradm: nothing written"));
    return unwritable.isEmpty();
}

// Stores the rows marked changed; they have been shown already.
int storeAgents(Rows& rows, int changed, bool dryRun)
{
    if (changed == 0) {
        print(QStringLiteral("nothing to change"));
        return ExitCodes::Done;
    }
    if (dryRun) {
        print(QStringLiteral("dry run: %1 agent(s) would change, nothing written").arg(changed));
        return ExitCodes::Done;
    }
    if (!agentFilesWritable(rows))
        return ExitCodes::SettingsFailure;
    StationSettings::PrepareAgentFiles();
    StoreReport report{rows, {}, {}, 0};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].cells[AgentsList::ColChangeState].isEmpty())
            report.left.append(i);
    }
    // A gateway failure ends the run inside the store.
    ConsoleUi::setEnding([&report] { return report.finish(ExitCodes::Ended); });
    const int before = ConsoleUi::failures();
    RemoteStore::StoreAgentRights(
        rows, [&report](std::size_t row, RemoteStore::Step step) { report.progress(row, step); });
    ConsoleUi::setEnding({});
    const int failure = Parametres.TcpPort != 0 ? ExitCodes::Ended : ExitCodes::SettingsFailure;
    return report.finish(ConsoleUi::failures() > before ? failure : ExitCodes::Done);
}

// Applies an edit as the rights dialog does and shows what changes. True
// when the row's change state was set by this edit.
bool applyEdit(Row& row, const Row& edited, bool clearPassword)
{
    const QStringList changes = AdminReport::RightsChanges(row, edited, clearPassword);
    if (changes.isEmpty())
        return false;
    for (const QString& change : changes)
        print(QStringLiteral("agent %1: %2").arg(row.cells[AgentsList::ColNumber], change));
    RightsCells::ApplyEdit(row, edited, clearPassword);
    return true;
}

int show(const Options& options, Rows& rows)
{
    print(options.json ? AdminReport::Json(rows) : AdminReport::Text(rows));
    return ExitCodes::Done;
}

int exportCsv(const Options& options, const Rows& rows)
{
    const QByteArray bytes = AgentsCsv::Write(rows);
    if (options.csv == u"-") {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
        return ExitCodes::Done;
    }
    QSaveFile file(options.csv);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error(QStringLiteral("zoradm: cannot write %1: %2").arg(options.csv, file.errorString()));
        return ExitCodes::FileError;
    }
    return ExitCodes::Done;
}

int importCsv(const Options& options, Rows& rows)
{
    QFile file(options.csv);
    if (!file.open(QIODevice::ReadOnly)) {
        error(QStringLiteral("zoradm: cannot read %1: %2").arg(options.csv, file.errorString()));
        return ExitCodes::FileError;
    }
    const QByteArray bytes = file.read(MaxCsvBytes + 1);
    const auto read = AgentsCsv::Read(bytes, rows);
    if (const Csv::Error* bad = std::get_if<Csv::Error>(&read)) {
        error(QStringLiteral("zoradm: %1: %2").arg(options.csv, Csv::Describe(*bad)));
        return ExitCodes::BadInput;
    }
    int changed = 0;
    for (const AgentsCsv::Entry& entry : std::get<QList<AgentsCsv::Entry>>(read)) {
        Row edited = rows[entry.row];
        for (std::size_t k = 0; k < RightsCells::Keys.size(); ++k)
            RightsCells::SetLevel(edited, RightsCells::Keys[k], entry.levels[k]);
        changed += applyEdit(rows[entry.row], edited, false) ? 1 : 0;
    }
    return storeAgents(rows, changed, options.dryRun);
}

// The rows of the listed agents; an agent outside the list is refused.
std::optional<QList<std::size_t>> selectAgents(const Options& options, const Rows& rows)
{
    QString reason;
    const std::optional<QList<int>> agents = AdminCommandLine::ParseAgents(options.agents, &reason);
    if (!agents) {
        error(QStringLiteral("zoradm: --agents: ") + reason);
        return std::nullopt;
    }
    QList<std::size_t> selected;
    for (const int agent : *agents) {
        std::size_t i = 0;
        while (i < rows.size() && rows[i].cells[AgentsList::ColNumber] != QString::number(agent))
            ++i;
        if (i == rows.size()) {
            error(QStringLiteral("zoradm: agent %1 is not in the agents list").arg(agent));
            return std::nullopt;
        }
        selected.append(i);
    }
    return selected;
}

int editAgents(const Options& options, Rows& rows)
{
    const std::optional<QList<std::size_t>> selected = selectAgents(options, rows);
    if (!selected)
        return ExitCodes::BadInput;
    const bool clear = options.command == u"clear-password";
    const QString right = clear ? QString() : options.arguments.value(0);
    const int level = options.command == u"grant" ? RightsCells::MaxLevel(right).value_or(1) : 0;
    int changed = 0;
    for (const std::size_t i : *selected) {
        Row edited = rows[i];
        if (!clear)
            RightsCells::SetLevel(edited, right, level);
        changed += applyEdit(rows[i], edited, clear) ? 1 : 0;
    }
    return storeAgents(rows, changed, options.dryRun);
}

int set(const Options& options)
{
    SettingsRecord edited = Parametres;
    for (const QString& pair : options.arguments) {
        const qsizetype equals = pair.indexOf(u'=');
        const QString key = equals > 0 ? pair.left(equals) : pair;
        const std::optional<QString> refused =
            equals > 0 ? SupervisorRules::Set(edited, key, pair.mid(equals + 1))
                       : std::optional<QString>(QStringLiteral("needs KEY=VALUE"));
        if (refused) {
            error(QStringLiteral("zoradm: %1: %2").arg(key, *refused));
            return ExitCodes::BadInput;
        }
    }
    if (!SupervisorRules::ThresholdsOrdered(edited.TauxActiviteT1, edited.TauxActiviteT2)) {
        error(QStringLiteral("zoradm: ") + SettingsMessages::text(260));
        return ExitCodes::BadInput;
    }
    const QStringList changes = AdminReport::SettingsChanges(Parametres, edited);
    for (const QString& change : changes)
        print(change);
    if (changes.isEmpty() || options.dryRun) {
        print(changes.isEmpty() ? QStringLiteral("nothing to change")
                                : QStringLiteral("dry run: nothing written"));
        return ExitCodes::Done;
    }
    Parametres = edited;
    StationSettings::PrepareAgentFiles();
    const int before = ConsoleUi::failures();
    RemoteStore::StoreSupervisorSettings();
    return ConsoleUi::failures() > before ? ExitCodes::SettingsFailure : ExitCodes::Done;
}

// What can be checked before anything is read: the right's name, the agent
// list and the KEY=VALUE form.
int checkArguments(const Options& options)
{
    const bool rights = options.command == u"grant" || options.command == u"revoke";
    if (rights && !RightsCells::MaxLevel(options.arguments.value(0))) {
        error(QStringLiteral("zoradm: '%1' is not a right; the rights are %2")
                  .arg(options.arguments.value(0), AdminReport::RightKeys().join(u", ")));
        return ExitCodes::BadInput;
    }
    if (!options.agents.isEmpty()) {
        QString reason;
        if (!AdminCommandLine::ParseAgents(options.agents, &reason)) {
            error(QStringLiteral("zoradm: --agents: ") + reason);
            return ExitCodes::BadInput;
        }
    }
    if (options.command == u"history") {
        QString reason;
        if (!AdminHistory::QueryOf(options, &reason)) {
            error(QStringLiteral("zoradm: ") + reason);
            return ExitCodes::BadInput;
        }
    }
    if (options.command == u"set") {
        for (const QString& pair : options.arguments) {
            if (!SupervisorRules::Keys().contains(pair.section(u'=', 0, 0))) {
                error(QStringLiteral("zoradm: '%1' is not KEY=VALUE with a supervisor setting's "
                                     "key")
                          .arg(pair));
                return ExitCodes::BadInput;
            }
        }
    }
    return ExitCodes::Done;
}

} // namespace

namespace AdminCommands {

int Run(const Options& options)
{
    if (const int code = checkArguments(options))
        return code;
    if (const int code = loadAndLogin(options))
        return code;
    if (options.command == u"set")
        return set(options);
    if (options.command == u"history") {
        QString reason;
        return AdminHistory::Run(*AdminHistory::QueryOf(options, &reason), options.json);
    }
    Rows rows;
    if (const int code = fetchAgents(rows))
        return code;
    if (options.command == u"show")
        return show(options, rows);
    if (options.command == u"export")
        return exportCsv(options, rows);
    if (options.command == u"import")
        return importCsv(options, rows);
    return editAgents(options, rows);
}

} // namespace AdminCommands
