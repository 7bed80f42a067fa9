#include "Admin.h"
#include "CommandLine.h"
#include "Server.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT only write a byte; the event loop does the rest.
bool installSignalPipe()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

// Each connection takes a descriptor; take all the system allows.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

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
    }
    return 1;
}

int serve(const Server::Options& options)
{
    raiseDescriptorLimit();
    if (!installSignalPipe()) {
        std::fprintf(stderr, "zorsrv: cannot install the signal handlers\n");
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    Server server(options);
    const Server::Started started = server.start();
    if (started.failure != Server::Failure::None) {
        std::fprintf(stderr, "zorsrv: %s\n", qPrintable(started.message));
        return exitCodeFor(started.failure);
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &server, [&] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        std::fprintf(stderr, "zorsrv: stopping\n");
        server.shutdown();
    });
    QObject::connect(&server, &Server::stopped, QCoreApplication::instance(),
                     &QCoreApplication::quit);
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
        return Admin::dump(parsed.options.database, parsed.record, out, err);
    case CommandLine::Command::Audit:
        return Admin::audit(parsed.options.database, out, err);
    case CommandLine::Command::Serve:
        break;
    }
    return serve(parsed.options);
}
