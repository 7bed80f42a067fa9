#include "Listener.h"

#include <QRandomGenerator>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr quint16 LowestChosenPort = 20000;
constexpr int Tries = 200;
constexpr int Backlog = 1024;
// One wake-up accepts at most this many connections, so that a flood of
// them cannot keep the connections already served waiting.
constexpr int AcceptsPerWakeUp = 64;
// While accepting fails for want of resources: the first wait, and the
// longest, in milliseconds.
constexpr int FirstRetryMs = 50;
constexpr int LongestRetryMs = 1000;
// Descriptors kept free for the server's own files (the database's journal,
// temporary files) and the libraries: a connection that would take one of
// them is closed at once, as if none were left.
constexpr int ReservedDescriptors = 16;

int descriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    return int(std::min<rlim_t>(limit.rlim_cur, std::numeric_limits<int>::max()));
}

} // namespace

Listener::Listener(QString name, QObject* parent) : QObject(parent), m_name(std::move(name))
{
    m_socket.setListenBacklogSize(Backlog);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &Listener::acceptWaiting);
}

Listener::~Listener()
{
    close();
}

bool Listener::listenForStations(const QHostAddress& address, quint16 port)
{
    if (port != 0)
        return listenOn(address, port);
    for (int i = 0; i < Tries; ++i) {
        const auto chosen = quint16(QRandomGenerator::global()->bounded(
            int(LowestChosenPort), int(HighestStationPort) + 1));
        if (listenOn(address, chosen))
            return true;
        if (m_socket.serverError() != QAbstractSocket::AddressInUseError)
            return false;
    }
    return false;
}

bool Listener::listenOn(const QHostAddress& address, quint16 port)
{
    if (!m_socket.listen(address, port))
        return false;
    m_descriptorLimit = descriptorLimit();
    // The QTcpServer keeps the listening socket; its own accepting is paused
    // for good and the socket watched here instead.
    m_socket.pauseAccepting();
    m_notifier = new QSocketNotifier(m_socket.socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Listener::acceptWaiting);
    return true;
}

void Listener::close()
{
    m_retry.stop();
    delete m_notifier;
    m_notifier = nullptr;
    m_socket.close();
}

QString Listener::reason() const
{
    return m_socket.serverError() == QAbstractSocket::AddressInUseError
               ? QStringLiteral("the address is already in use")
               : m_socket.errorString();
}

void Listener::acceptWaiting()
{
    if (!m_notifier)
        return;
    m_notifier->setEnabled(true);
    const int listening = int(m_socket.socketDescriptor());
    for (int i = 0; i < AcceptsPerWakeUp; ++i) {
        const int descriptor = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            const int error = errno;
            if (error == EINTR || error == ECONNABORTED)
                continue;
            if (error != EAGAIN && error != EWOULDBLOCK)
                shortOf(error);
            return;
        }
        // The system hands out the lowest free descriptor: every one below
        // this is taken.
        if (descriptor >= m_descriptorLimit - ReservedDescriptors) {
            ::close(descriptor);
            shortOf(EMFILE);
            return;
        }
        if (m_retryMs != 0) {
            m_retryMs = 0;
            std::fprintf(stderr, "zorsrv: the %s port accepts connections again\n",
                         qPrintable(m_name));
        }
        Q_EMIT incoming(descriptor);
        if (!m_notifier)
            return; // closed meanwhile
    }
}

// Accepting failed for another reason than an empty queue: mostly no
// descriptor left (EMFILE, ENFILE) or no memory for the socket (ENOBUFS,
// ENOMEM), which only time and closing connections cure.
void Listener::shortOf(int error)
{
    if (m_retryMs == 0)
        std::fprintf(stderr,
                     "zorsrv: the %s port cannot accept connections: %s%s; it tries again "
                     "until it can\n",
                     qPrintable(m_name),
                     error == EMFILE || error == ENFILE ? "out of descriptors, " : "",
                     std::strerror(error));
    m_retryMs = std::clamp(m_retryMs * 2, FirstRetryMs, LongestRetryMs);
    m_notifier->setEnabled(false);
    m_retry.start(m_retryMs);
}
