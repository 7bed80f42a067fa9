#include "CommandLine.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace CommandLine {

namespace {

bool parseListen(const QString& text, Server::Options& options)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (host == QLatin1String("*"))
        address = QHostAddress::Any;
    else if (!address.setAddress(host))
        return false;
    options.address = address;
    options.port = quint16(port);
    return true;
}

// Seconds, fractions allowed, up to a day.
bool seconds(const QString& text, int& milliseconds)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > 86400)
        return false;
    milliseconds = std::max(1, int(std::lround(value * 1000)));
    return true;
}

bool positiveInt(const QString& text, int& value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v <= 0)
        return false;
    value = v;
    return true;
}

// One option and its value; false with parsed.error set when it is unusable.
bool apply(const QString& name, const QString& value, Parsed& parsed)
{
    Server::Options& o = parsed.options;
    bool ok = true;
    if (name == QLatin1String("--db")) {
        o.database = value;
        ok = !value.isEmpty();
    } else if (name == QLatin1String("--listen")) {
        ok = parseListen(value, o);
    } else if (name == QLatin1String("--agents")) {
        ok = positiveInt(value, o.agents);
    } else if (name == QLatin1String("--max-connections")) {
        ok = positiveInt(value, o.maxConnections);
    } else if (name == QLatin1String("--max-per-peer")) {
        ok = positiveInt(value, o.maxPerPeer);
    } else if (name == QLatin1String("--stall-timeout")) {
        ok = seconds(value, o.stallTimeoutMs);
    } else if (name == QLatin1String("--login-timeout")) {
        ok = seconds(value, o.loginTimeoutMs);
    } else if (name == QLatin1String("--idle-timeout")) {
        ok = seconds(value, o.idleTimeoutMs);
    } else if (name == QLatin1String("--allow")) {
        const std::optional<ConnectionLimits::Subnet> subnet = ConnectionLimits::parseSubnet(value);
        ok = subnet.has_value();
        if (ok)
            o.allowed.append(*subnet);
    } else if (name == QLatin1String("--audit-days") && parsed.command != Command::Dump) {
        ok = positiveInt(value, o.retention.days);
    } else if (name == QLatin1String("--audit-rows") && parsed.command != Command::Dump) {
        ok = positiveInt(value, o.retention.rows);
    } else if (name == QLatin1String("--directory")) {
        Server::Options where;
        ok = parseListen(value, where);
        parsed.directory.address = where.address;
        parsed.directory.port = where.port;
    } else if (name == QLatin1String("--record") && parsed.command == Command::Dump) {
        const int record = value.toInt(&ok);
        if (ok)
            parsed.record = record;
    } else {
        parsed.error = QStringLiteral("unknown option %1").arg(name);
        return false;
    }
    if (!ok)
        parsed.error = QStringLiteral("bad value for %1: \"%2\"").arg(name, value);
    return ok;
}

} // namespace

QString defaultDatabase()
{
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .filePath(QStringLiteral("zorsrv"));
    // The folder is private to the server's user, whatever the umask.
    if (!QFileInfo::exists(folder) && QDir().mkpath(QFileInfo(folder).path()))
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QDir(folder).filePath(QStringLiteral("zorsrv.db"));
}

Parsed parse(const QStringList& arguments)
{
    Parsed parsed;
    qsizetype i = 1;
    if (arguments.size() > 1 && !arguments[1].startsWith(QLatin1Char('-'))) {
        const QString command = arguments[1];
        if (command == QLatin1String("dump"))
            parsed.command = Command::Dump;
        else if (command == QLatin1String("audit"))
            parsed.command = Command::Audit;
        else {
            parsed.error = QStringLiteral("unknown command %1").arg(command);
            return parsed;
        }
        i = 2;
    }
    for (; i < arguments.size(); ++i) {
        QString name = arguments[i];
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            parsed.command = Command::Help;
            return parsed;
        }
        if (name == QLatin1String("--show-passwords") && parsed.command != Command::Serve) {
            parsed.showPasswords = true;
            continue;
        }
        if (name == QLatin1String("--prune") && parsed.command == Command::Audit) {
            parsed.prune = true;
            continue;
        }
        if (name == QLatin1String("--no-directory")) {
            parsed.directory.enabled = false;
            continue;
        }
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            parsed.error = QStringLiteral("%1 needs a value").arg(name);
            return parsed;
        }
        if (!apply(name, value, parsed))
            return parsed;
    }
    if (parsed.options.maxPerPeer == 0)
        parsed.options.maxPerPeer = ConnectionLimits::defaultPerPeer(parsed.options.maxConnections);
    if (parsed.options.database.isEmpty()) {
        if (parsed.command != Command::Serve)
            parsed.error = QStringLiteral("%1 needs --db FILE")
                               .arg(parsed.command == Command::Dump ? "dump" : "audit");
        else
            parsed.options.database = defaultDatabase();
    }
    return parsed;
}

QString usage()
{
    return QStringLiteral(
        "usage: zorsrv [--db FILE] [--listen ADDR:PORT] [--agents N]\n"
        "              [--stall-timeout SECONDS] [--login-timeout SECONDS]\n"
        "              [--idle-timeout SECONDS] [--max-connections N] [--max-per-peer N]\n"
        "              [--allow ADDR/PREFIX]...\n"
        "              [--audit-days N] [--audit-rows N] [--directory ADDR:PORT | --no-directory]\n"
        "       zorsrv dump --db FILE [--record N] [--show-passwords]\n"
        "       zorsrv audit --db FILE [--show-passwords]\n"
        "       zorsrv audit --prune --db FILE [--audit-days N] [--audit-rows N]\n"
        "       zorsrv agents --help\n"
        "Serves the configuration records over TCP (default 127.0.0.1:32000, a database\n"
        "in the per-user data folder, 9999 agents, 1000 connections, a tenth of them per\n"
        "peer address). A connection must log in within 30 s, send a whole message at least\n"
        "every 120 s, send each message within 10 s of its first byte and read its answers;\n"
        "--allow limits the peers (default: all).\n"
        "dump shows one record (-1 = supervisor, n = agent n+1) or every written record;\n"
        "audit shows the trail of writes; passwords show only with --show-passwords.\n"
        "The audit keeps 365 days and at most 100000 rows (--audit-days, --audit-rows): the\n"
        "server keeps the rows within bounds as it writes and prunes old ones at start and\n"
        "daily, audit --prune at once.\n"
        "The agent directory listens on the records' address, port 20772, unless\n"
        "--directory or --no-directory says otherwise, with the same limits; see zorsrv\n"
        "agents --help for its table.\n");
}

} // namespace CommandLine
