#include "StopSignals.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QPointer<QObject> g_context;
std::function<void()> g_onStop;

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};

// The handler only writes a byte; the event loop does the rest.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

bool installHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0)
        return false;
    ::signal(SIGPIPE, SIG_IGN); // a client gone mid-answer is not a reason to die
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, g_context);
    QObject::connect(notifier, &QSocketNotifier::activated, g_context, [] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        g_onStop();
    });
    return true;
}
#endif

#ifdef Q_OS_WIN
BOOL WINAPI onConsoleEvent(DWORD)
{
    if (g_context)
        QMetaObject::invokeMethod(
            g_context, [] { g_onStop(); }, Qt::QueuedConnection);
    return TRUE;
}

bool installHandlers()
{
    return SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}
#endif

} // namespace

namespace StopSignals {

bool install(QObject* context, std::function<void()> onStop)
{
    g_context = context;
    g_onStop = std::move(onStop);
    return installHandlers();
}

void raiseDescriptorLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}

} // namespace StopSignals
