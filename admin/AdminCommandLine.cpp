#include "AdminCommandLine.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace {

using AdminCommandLine::Options;

constexpr int MaxAgent = 99999;
constexpr qsizetype MaxAgentCount = 10000;

struct CommandDef
{
    const char* name;
    QStringList options; // the options it accepts besides the common ones
    int minArguments;
    int maxArguments; // -1: any number
    const char* help;
};

const QList<CommandDef>& commands()
{
    static const QList<CommandDef> all = {
        {"show",
         {"--json"},
         0,
         0,
         "Usage: zoradm show [--json] [COMMON OPTION]...\n"
         "Show the supervisor settings and every agent's rights as the program loads them\n"
         "(defaults, validation and fallbacks applied), with the mode and where they came "
         "from.\n\n"
         "  --json    one JSON document instead of text\n"},
        {"export",
         {"--csv"},
         0,
         0,
         "Usage: zoradm export --csv FILE [COMMON OPTION]...\n"
         "Write every agent's rights as CSV: a header row (Agent, Name and the seven rights\n"
         "by their keys), then one row per agent. Yes/no rights are 1 or 0; "
         "Droit_Modif_Fiche\n"
         "is 2 (all fields), 1 (the comment field only) or 0. FILE - is standard output.\n"},
        {"import",
         {"--csv", "--dry-run"},
         0,
         0,
         "Usage: zoradm import --csv FILE [--dry-run] [COMMON OPTION]...\n"
         "Read agents' rights from CSV (the form export writes; the Name column is "
         "optional\n"
         "and ignored), show the changes, then store only the agents that change. A bad "
         "row\n"
         "(unknown agent, value out of range, malformed line) stops the import before\n"
         "anything is written; the error names the line and the column.\n\n"
         "  --dry-run   show the changes, write nothing\n"},
        {"set",
         {"--dry-run"},
         1,
         -1,
         "Usage: zoradm set KEY=VALUE... [--dry-run] [COMMON OPTION]...\n"
         "Change supervisor settings by their keys, with the General page's rules:\n"
         "  langue              a language whose file is in the program folder (0-16)\n"
         "  NbJourStockJournal  0-40       TauxActiviteT1, TauxActiviteT2  0-99, T1 < T2\n"
         "  ModeLie             0-2        Etatinterdit, CmtAuto           0 or 1\n"
         "  ModeLieApp          text\n"
         "  CouleurTxBas ... CouleurGrServis (the sixteen colours): #RRGGBB, or the number\n"
         "                      red + 256 x green + 65536 x blue as the settings files hold "
         "it\n\n"
         "  --dry-run   show the changes, write nothing\n"},
        {"grant",
         {"--agents", "--dry-run"},
         1,
         1,
         "Usage: zoradm grant RIGHT --agents LIST [--dry-run] [COMMON OPTION]...\n"
         "Grant a right (one of the seven keys) to the agents of LIST, such as 1-10,12.\n"
         "Droit_Modif_Fiche is granted for all fields (2).\n"},
        {"revoke",
         {"--agents", "--dry-run"},
         1,
         1,
         "Usage: zoradm revoke RIGHT --agents LIST [--dry-run] [COMMON OPTION]...\n"
         "Refuse a right (one of the seven keys) to the agents of LIST, such as 1-10,12.\n"},
        {"clear-password",
         {"--agents", "--dry-run"},
         0,
         0,
         "Usage: zoradm clear-password --agents LIST [--dry-run] [COMMON OPTION]...\n"
         "Clear the passwords of the agents of LIST, such as 1-10,12.\n"},
        {"history",
         {"--agent", "--since", "--until", "--json"},
         0,
         0,
         "Usage: zoradm history [--agent N] [--since DATE] [--until DATE] [--json] [COMMON "
         "OPTION]...\n"
         "Show the configuration server's history of writes, newest first: when (UTC), the\n"
         "station's address, the program and login name when the station sent them, the\n"
         "record, and each field that changed with its old and new value. The shared\n"
         "folder keeps no history.\n\n"
         "  --agent N       only agent N's rights\n"
         "  --since DATE    only writes at or after DATE\n"
         "  --until DATE    only writes before DATE\n"
         "  --json          a JSON array, one object per write\n"
         "DATE is ISO 8601: 2024-05-31 (midnight), 2024-05-31T14:30, with Z or an offset\n"
         "such as +02:00 for UTC or another zone, else in local time.\n"},
    };
    return all;
}

const CommandDef* findCommand(const QString& name)
{
    for (const CommandDef& def : commands()) {
        if (name == QLatin1StringView(def.name))
            return &def;
    }
    return nullptr;
}

const char* const CommonHelp =
    "\nCommon options:\n"
    "  --station FILE         the station settings file (default: the per-user zor.ini\n"
    "                         that ZorCFG uses)\n"
    "  --password-file FILE   read the supervisor password from the first line of FILE,\n"
    "                         which only its owner may read (chmod 600 FILE)\n"
    "  -h, --help             show this help\n"
    "Without --password-file the password comes from the environment variable\n"
    "ZORADM_PASSWORD, or is asked for without echo when standard input is a terminal.\n";

const char* const GeneralHelp =
    "Usage: zoradm COMMAND [ARGUMENT]... [OPTION]...\n"
    "Read and change the ZorCFG settings from the command line, on the configuration\n"
    "server or in the shared folder, as the station settings say.\n\n"
    "Commands:\n"
    "  show [--json]                      the settings and every agent's rights\n"
    "  export --csv FILE                  agents' rights to CSV\n"
    "  import --csv FILE [--dry-run]      agents' rights from CSV\n"
    "  set KEY=VALUE... [--dry-run]       supervisor options and colours\n"
    "  grant RIGHT --agents LIST          grant a right, e.g. --agents 1-10,12\n"
    "  revoke RIGHT --agents LIST         refuse a right\n"
    "  clear-password --agents LIST       clear agents' passwords\n"
    "  history [--agent N] [--since DATE] [--until DATE] [--json]\n"
    "                                     the server's history of writes\n"
    "Run 'zoradm COMMAND --help' for a command's help.\n\n"
    "Exit status: 0 done, 1 a file named on the command line cannot be read or written,\n"
    "2 wrong command line, 3 no password or a wrong one, 4 refused input (a CSV row,\n"
    "a KEY=VALUE, an agent), 5 a settings file could not be read or written, 6 the run\n"
    "was ended by a gateway failure or unusable station settings, 7 the agent directory\n"
    "opened its link but its agents table could not be read, 8 a store stopped part of\n"
    "the way (the output says which agents were stored and which were not), 9 no\n"
    "history: the shared folder, or a server that keeps none.\n";

bool takesValue(const QString& name)
{
    return name == u"--station" || name == u"--password-file" || name == u"--csv" ||
           name == u"--agents" || name == u"--agent" || name == u"--since" || name == u"--until";
}

// Sets one option; false with the error when the command does not take it.
bool apply(Options& options, const CommandDef* def, const QString& name, const QString& value,
           QString* error)
{
    const bool common = name == u"--station" || name == u"--password-file";
    if (!common && (!def || !def->options.contains(name))) {
        *error = QStringLiteral("unrecognized option '%1'").arg(name);
        return false;
    }
    if (name == u"--station")
        options.station = value;
    else if (name == u"--password-file")
        options.passwordFile = value;
    else if (name == u"--csv")
        options.csv = value;
    else if (name == u"--agents")
        options.agents = value;
    else if (name == u"--agent")
        options.agent = value;
    else if (name == u"--since")
        options.since = value;
    else if (name == u"--until")
        options.until = value;
    else if (name == u"--json")
        options.json = true;
    else if (name == u"--dry-run")
        options.dryRun = true;
    return true;
}

} // namespace

namespace AdminCommandLine {

Parsed Parse(const QStringList& arguments)
{
    Parsed parsed;
    Options& options = parsed.options;
    const CommandDef* def = nullptr;
    QList<std::pair<QString, QString>> pending; // applied once the command is known
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (name == u"-h" || name == u"--help") {
            options.help = true;
            continue;
        }
        if (!name.startsWith(u"--") || name == u"--") {
            if (options.command.isEmpty()) {
                options.command = name;
                def = findCommand(name);
                if (!def) {
                    parsed.error = QStringLiteral("unknown command '%1'").arg(name);
                    return parsed;
                }
            } else {
                options.arguments << name;
            }
            continue;
        }
        QString value;
        const qsizetype equals = name.indexOf(u'=');
        if (equals > 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (!takesValue(name) && equals > 0) {
            parsed.error = QStringLiteral("option '%1' takes no argument").arg(name);
            return parsed;
        }
        if (takesValue(name) && equals < 0) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("option '%1' requires an argument").arg(name);
                return parsed;
            }
            value = arguments[++i];
        }
        pending.append({name, value});
    }
    for (const auto& [name, value] : pending) {
        if (!apply(options, def, name, value, &parsed.error))
            return parsed;
    }
    if (options.help || !def)
        return parsed;
    const qsizetype count = options.arguments.size();
    if (count < def->minArguments || (def->maxArguments >= 0 && count > def->maxArguments))
        parsed.error = count < def->minArguments
                           ? QStringLiteral("%1: missing argument").arg(options.command)
                           : QStringLiteral("%1: unexpected argument '%2'")
                                 .arg(options.command, options.arguments.last());
    else if (def->options.contains(QStringLiteral("--csv")) && options.csv.isEmpty())
        parsed.error = QStringLiteral("%1 needs --csv FILE").arg(options.command);
    else if (def->options.contains(QStringLiteral("--agents")) && options.agents.isEmpty())
        parsed.error = QStringLiteral("%1 needs --agents LIST").arg(options.command);
    return parsed;
}

QString Help(const QString& command)
{
    const CommandDef* def = findCommand(command);
    return QString::fromUtf8(def ? def->help : GeneralHelp) + QString::fromUtf8(CommonHelp);
}

std::optional<QList<int>> ParseAgents(const QString& text, QString* error)
{
    QSet<int> agents;
    const QStringList parts = text.split(u',');
    for (const QString& part : parts) {
        const QStringList ends = part.trimmed().split(u'-');
        bool okLow = false, okHigh = false;
        const int low = ends.value(0).toInt(&okLow, 10);
        const int high = ends.size() == 2 ? ends[1].toInt(&okHigh, 10) : low;
        okHigh = ends.size() == 2 ? okHigh : okLow;
        if (ends.size() > 2 || !okLow || !okHigh || low < 1 || high > MaxAgent || low > high) {
            *error = QStringLiteral("'%1' is not an agent number or a range such as 1-10")
                         .arg(part.trimmed());
            return std::nullopt;
        }
        if (high - low + 1 + agents.size() > MaxAgentCount) {
            *error = QStringLiteral("more than %1 agents").arg(MaxAgentCount);
            return std::nullopt;
        }
        for (int agent = low; agent <= high; ++agent)
            agents.insert(agent);
    }
    QList<int> sorted(agents.begin(), agents.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace AdminCommandLine
