#include "Admin.h"
#include "AgentAdmin.h"
#include "CommandLine.h"
#include "Directory.h"
#include "Server.h"
#include "StopSignals.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

int exitCodeFor(Server::Failure failure)
{
    switch (failure) {
    case Server::Failure::None:
        return 0;
    case Server::Failure::CannotOpen:
    case Server::Failure::Incompatible:
        return 2;
    case Server::Failure::Corrupt:
        return 3;
    case Server::Failure::CannotListen:
        return 4;
    case Server::Failure::InUse:
        return 5;
    }
    return 1;
}

int serve(const Server::Options& options, const DirectoryOptions& directoryOptions)
{
    StopSignals::raiseDescriptorLimit();
    Server server(options);
    const Server::Started started = server.start();
    if (started.failure != Server::Failure::None) {
        std::fprintf(stderr, "zorsrv: %s\n", qPrintable(started.message));
        return exitCodeFor(started.failure);
    }
    Directory directory(options.database,
                        {{options.loginTimeoutMs, options.idleTimeoutMs, options.stallTimeoutMs},
                         options.maxConnections,
                         options.maxPerPeer,
                         options.allowed});
    if (directoryOptions.enabled) {
        const QString failed = directory.start(directoryOptions.address.value_or(server.address()),
                                               directoryOptions.port);
        if (!failed.isEmpty()) {
            std::fprintf(stderr, "zorsrv: %s\n", qPrintable(failed));
            return 4;
        }
        std::printf("zorsrv: directory on %s:%u\n", qPrintable(directory.address().toString()),
                    unsigned(directory.port()));
    }
    const bool handlers = StopSignals::install(&server, [&server, &directory] {
        std::fprintf(stderr, "zorsrv: stopping\n");
        directory.shutdown();
        server.shutdown();
    });
    if (!handlers) {
        std::fprintf(stderr, "zorsrv: cannot install the signal handlers\n");
        return 1;
    }
    QObject::connect(&server, &Server::stopped, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    if (server.port() > Listener::HighestStationPort)
        std::fprintf(stderr,
                     "zorsrv: warning: port %u is above %u; stations cannot name it (their "
                     "TCP_port is a 16-bit signed number)\n",
                     unsigned(server.port()), unsigned(Listener::HighestStationPort));
    std::printf("zorsrv: listening on %s:%u\n", qPrintable(server.address().toString()),
                unsigned(server.port()));
    std::fflush(stdout);
    const int code = QCoreApplication::exec();
    std::fprintf(stderr, "zorsrv: stopped; %lld writes in %lld commits\n",
                 static_cast<long long>(server.writesCommitted()),
                 static_cast<long long>(server.commits()));
    return code;
}

} // namespace

int main(int argc, char* argv[])
{
    // Qt's own event dispatcher wakes up faster than the GLib one with many
    // sockets, and zorsrv needs nothing from GLib.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (QCoreApplication::arguments().value(1) == QLatin1String("agents"))
        return AgentAdmin::run(QCoreApplication::arguments(), out, err);
    const CommandLine::Parsed parsed = CommandLine::parse(QCoreApplication::arguments());
    if (!parsed.error.isEmpty()) {
        err << "zorsrv: " << parsed.error << "\n" << CommandLine::usage();
        return 1;
    }
    switch (parsed.command) {
    case CommandLine::Command::Help:
        out << CommandLine::usage();
        return 0;
    case CommandLine::Command::Dump:
        return Admin::dump(parsed.options.database, parsed.record, parsed.showPasswords, out, err);
    case CommandLine::Command::Audit:
        if (parsed.prune)
            return Admin::prune(parsed.options.database, parsed.options.retention, out, err);
        return Admin::audit(parsed.options.database, parsed.showPasswords, out, err);
    case CommandLine::Command::Serve:
        break;
    }
    return serve(parsed.options, parsed.directory);
}
