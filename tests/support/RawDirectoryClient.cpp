#include "RawDirectoryClient.h"

#include "RawClient.h"

#include <QDeadlineTimer>

namespace P = DirectoryProtocol;

bool RawDirectoryClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(10000);
}

bool RawDirectoryClient::send(const QByteArray& bytes)
{
    m_socket.write(bytes);
    return m_socket.waitForBytesWritten(10000);
}

std::pair<quint8, QByteArray> RawDirectoryClient::frame(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const P::Scan scan = P::scan(m_in, &P::serverPayloadBound);
        if (scan.status == P::Status::Frame) {
            const QByteArray f = m_in.left(scan.size);
            m_in.remove(0, scan.size);
            return {scan.type, P::payloadOf(f).toByteArray()};
        }
        if (scan.status == P::Status::Invalid ||
            !m_socket.waitForReadyRead(int(deadline.remainingTime())))
            return {0, {}};
        m_in += m_socket.readAll();
    }
}

RawDirectoryClient::Answer RawDirectoryClient::receive(int timeoutMs)
{
    const auto [type, payload] = frame(timeoutMs);
    Answer a;
    if (type == P::Refused)
        a.code = P::readRefusal(payload).value_or(P::RefusalInfo{1, {}}).code;
    else if (type == P::Hello)
        a.code = 0;
    else if (type == P::Agents && P::readAgents(payload, nullptr))
        a = {0, *P::readAgents(payload, nullptr)};
    return a;
}

bool RawDirectoryClient::waitForClosed(int timeoutMs)
{
    return RawClient::waitForClosed(m_socket, timeoutMs);
}
