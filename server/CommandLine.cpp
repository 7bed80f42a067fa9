#include "CommandLine.h"

#include <QDir>
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
    } else if (name == QLatin1String("--stall-timeout")) {
        const double seconds = value.toDouble(&ok);
        ok = ok && std::isfinite(seconds) && seconds > 0 && seconds <= 86400;
        if (ok)
            o.stallTimeoutMs = std::max(1, int(std::lround(seconds * 1000)));
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
    QDir().mkpath(folder);
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
        "              [--stall-timeout SECONDS] [--max-connections N]\n"
        "              [--directory ADDR:PORT | --no-directory]\n"
        "       zorsrv dump --db FILE [--record N]\n"
        "       zorsrv audit --db FILE\n"
        "Serves the configuration records over TCP (default 127.0.0.1:32000, a database\n"
        "in the per-user data folder, 9999 agents, 10 s stall time-out, 1000 connections).\n"
        "dump shows one record (-1 = supervisor, n = agent n+1) or every written record;\n"
        "audit shows the trail of writes. The agent directory listens on the records'\n"
        "address, port 20772, unless --directory or --no-directory says otherwise; see\n"
        "zorsrv agents --help for its table.\n");
}

} // namespace CommandLine
