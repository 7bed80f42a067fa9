#include "PeerSocket.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 ReadChunk = 16 * 1024;

} // namespace

PeerSocket::PeerSocket(qintptr descriptor, qint64 readBufferSize, int closeGraceMs, QObject* parent)
    : QObject(parent), m_descriptor(int(descriptor)), m_readBufferSize(readBufferSize),
      m_closeGraceMs(closeGraceMs)
{
    ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
    // Answers are small and lock-step: each goes out at once.
    const int one = 1;
    ::setsockopt(m_descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(m_descriptor, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_peerAddress.setAddress(reinterpret_cast<const sockaddr*>(&address));
        m_peerPort = address.ss_family == AF_INET6
                         ? ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port)
                         : ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    }
    m_reader = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    m_writer = new QSocketNotifier(m_descriptor, QSocketNotifier::Write, this);
    m_writer->setEnabled(false);
    connect(m_reader, &QSocketNotifier::activated, this, &PeerSocket::readable);
    connect(m_writer, &QSocketNotifier::activated, this, &PeerSocket::writable);
}

PeerSocket::~PeerSocket()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

QByteArray PeerSocket::readAll()
{
    QByteArray taken = std::exchange(m_in, {});
    if (m_descriptor >= 0 && !m_readClosed && !m_closing)
        m_reader->setEnabled(true);
    return taken;
}

bool PeerSocket::pollBriefly(qint64 waitNs)
{
    if (m_descriptor < 0 || m_readClosed || m_closing || !m_reader->isEnabled())
        return false;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::nanoseconds(waitNs);
    pollfd watched{m_descriptor, POLLIN, 0};
    do {
        if (::poll(&watched, 1, 0) > 0) {
            const qsizetype before = m_in.size();
            readable();
            return m_descriptor >= 0 && m_in.size() > before;
        }
        std::this_thread::yield(); // a client on this CPU gets to send
    } while (Clock::now() < until);
    return false;
}

void PeerSocket::readable()
{
    bool news = false;
    while (m_in.size() < m_readBufferSize) {
        const qint64 room = std::min(ReadChunk, m_readBufferSize - m_in.size());
        const qsizetype held = m_in.size();
        m_in.resize(held + room);
        const ssize_t got = ::recv(m_descriptor, m_in.data() + held, std::size_t(room), 0);
        m_in.resize(held + std::max<qsizetype>(0, got));
        if (got > 0) {
            news = true;
            continue;
        }
        if (got == 0) {
            m_readClosed = true; // the client may still read its answers
            news = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            closeNow();
            return;
        }
        break;
    }
    // Nothing more is read until the buffer is taken, or ever after the end.
    m_reader->setEnabled(!m_readClosed && m_in.size() < m_readBufferSize);
    if (news)
        Q_EMIT readyRead();
}

void PeerSocket::write(QByteArrayView bytes)
{
    if (m_descriptor < 0 || m_closing || bytes.isEmpty())
        return;
    m_out.append(bytes.data(), bytes.size());
    if (m_out.size() - m_outSent == bytes.size())
        sendQueued();
}

// Sends what the system takes; false when the connection broke.
bool PeerSocket::sendQueued()
{
    while (m_outSent < m_out.size()) {
        const ssize_t sent = ::send(m_descriptor, m_out.constData() + m_outSent,
                                    std::size_t(m_out.size() - m_outSent), MSG_NOSIGNAL);
        if (sent > 0) {
            m_outSent += sent;
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            closeNow();
            return false;
        }
    }
    if (m_outSent == m_out.size()) {
        m_out.clear();
        m_outSent = 0;
    } else if (m_outSent >= ReadChunk) {
        m_out.remove(0, m_outSent); // a slow reader must not grow what was sent
        m_outSent = 0;
    }
    m_writer->setEnabled(!m_out.isEmpty());
    return true;
}

void PeerSocket::writable()
{
    const qsizetype before = m_out.size() - m_outSent;
    if (!sendQueued())
        return;
    if (m_closing && m_out.isEmpty()) {
        closeNow();
        return;
    }
    if (m_out.size() - m_outSent < before)
        Q_EMIT bytesWritten();
}

void PeerSocket::disconnectFromHost()
{
    if (m_descriptor < 0 || m_closing)
        return;
    m_closing = true;
    m_reader->setEnabled(false);
    if (m_out.isEmpty())
        closeNow();
    else
        QTimer::singleShot(m_closeGraceMs, this, &PeerSocket::closeNow);
}

void PeerSocket::closeNow()
{
    if (m_descriptor < 0)
        return;
    delete m_reader;
    delete m_writer;
    m_reader = m_writer = nullptr;
    ::close(m_descriptor);
    m_descriptor = -1;
    m_out.clear();
    m_outSent = 0;
    QMetaObject::invokeMethod(this, &PeerSocket::disconnected, Qt::QueuedConnection);
}
