#include "RawClient.h"

#include "BlockLibrary.h"
#include "Layout.h"

#include <QHostAddress>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray message(QByteArray m, qint32 request, qint32 record)
{
    auto* p = reinterpret_cast<quint8*>(m.data());
    Layout::writeInt(p, Layout::Header::Magic, qint32(Layout::Magic));
    Layout::writeInt(p, Layout::Header::Length, int(m.size()));
    Layout::writeInt(p, Layout::Header::Request, request);
    Layout::writeInt(p, Layout::Header::Record, record);
    return m;
}

} // namespace

bool RawClient::connectTo(quint16 port, int timeoutMs, int receiveBuffer)
{
    if (receiveBuffer > 0) {
        // Set before the connection is made, so that the window stays small.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 ||
            ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            !m_socket.setSocketDescriptor(fd)) {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
    } else {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
    }
    if (!m_socket.waitForConnected(timeoutMs))
        return false;
    m_greeting = receiveBytes(Layout::HeaderSize, QDeadlineTimer(timeoutMs));
    return m_greeting.size() == Layout::HeaderSize;
}

QByteArray RawClient::loginRequest(QByteArrayView greeting, qint32 application, QByteArrayView key)
{
    // The greeting's nonce stays in place; the key is enciphered with it.
    QByteArray m = message(greeting.toByteArray().leftJustified(Layout::HeaderSize, '\0', true),
                           Layout::RequestOpenSession, 0);
    auto* p = reinterpret_cast<quint8*>(m.data());
    Layout::writeInt(p, Layout::Header::Application, application);
    Klt::klt_cript(key, p + Layout::Header::Key);
    return m;
}

QByteArray RawClient::readRequest(qint32 record)
{
    return message(QByteArray(Layout::HeaderSize, '\0'), Layout::RequestRead, record);
}

QByteArray RawClient::writeRequest(qint32 record, QByteArrayView data)
{
    // The data area is cut or filled with zero bytes to its full size.
    const QByteArray block = QByteArray(Layout::HeaderSize, '\0') + data.toByteArray();
    return message(block.leftJustified(Layout::BlockSize, '\0', true), Layout::RequestWrite,
                   record);
}

QByteArray RawClient::historyRequest(const HistoryProtocol::Query& query)
{
    QByteArray m(Layout::HeaderSize, '\0');
    HistoryProtocol::writeQuery(reinterpret_cast<quint8*>(m.data()), query);
    return message(m, HistoryProtocol::Request, query.record);
}

bool RawClient::send(QByteArrayView data)
{
    bool sent = m_socket.state() == QAbstractSocket::ConnectedState &&
                m_socket.write(data.data(), data.size()) == data.size();
    while (sent && m_socket.bytesToWrite() > 0)
        sent = m_socket.waitForBytesWritten(10000);
    return sent;
}

// Exactly count bytes, or fewer when the deadline passes or the peer closes.
QByteArray RawClient::receiveBytes(int count, const QDeadlineTimer& deadline)
{
    QByteArray result = m_socket.read(count);
    while (result.size() < count && m_socket.waitForReadyRead(int(deadline.remainingTime())))
        result += m_socket.read(count - result.size());
    return result;
}

RawClient::Answer RawClient::receive(int timeoutMs)
{
    Answer answer;
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray header = receiveBytes(Layout::HeaderSize, deadline);
    if (header.size() < Layout::HeaderSize)
        return answer;
    const auto* h = reinterpret_cast<const quint8*>(header.constData());
    answer.status = Layout::readInt(h, Layout::Header::Status);
    answer.error = Layout::readInt(h, Layout::Header::Error);
    answer.record = Layout::readInt(h, Layout::Header::Record);
    const int length = std::max(0, Layout::readInt(h, Layout::Header::DataLength));
    answer.data = receiveBytes(length, deadline);
    answer.complete = answer.data.size() == length;
    return answer;
}

bool RawClient::waitForClosed(QTcpSocket& socket, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
        socket.readAll();
        socket.waitForReadyRead(int(deadline.remainingTime()));
    }
    return socket.state() == QAbstractSocket::UnconnectedState;
}
