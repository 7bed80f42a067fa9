#include "RawClient.h"

#include "BlockLibrary.h"
#include "Layout.h"

#include <QDeadlineTimer>
#include <QHostAddress>

namespace {

quint8* bytes(QByteArray& array)
{
    return reinterpret_cast<quint8*>(array.data());
}

QByteArray message(int size, qint32 request, qint32 record)
{
    QByteArray m(size, '\0');
    Layout::writeInt(bytes(m), Layout::Header::Magic, qint32(Layout::Magic));
    Layout::writeInt(bytes(m), Layout::Header::Length, size);
    Layout::writeInt(bytes(m), Layout::Header::Request, request);
    Layout::writeInt(bytes(m), Layout::Header::Record, record);
    return m;
}

} // namespace

bool RawClient::connectOnly(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(timeoutMs);
}

bool RawClient::connectTo(quint16 port, int timeoutMs)
{
    if (!connectOnly(port, timeoutMs))
        return false;
    m_greeting = receiveBytes(Layout::HeaderSize, timeoutMs);
    return m_greeting.size() == Layout::HeaderSize;
}

QByteArray RawClient::nonce() const
{
    return m_greeting.mid(Layout::Header::Nonce, Layout::Header::NonceSize);
}

QByteArray RawClient::loginRequest(QByteArrayView greeting, qint32 application, QByteArrayView key)
{
    QByteArray m = greeting.toByteArray().leftJustified(Layout::HeaderSize, '\0', true);
    Layout::writeInt(bytes(m), Layout::Header::Magic, qint32(Layout::Magic));
    Layout::writeInt(bytes(m), Layout::Header::Length, Layout::HeaderSize);
    Layout::writeInt(bytes(m), Layout::Header::Request, Layout::RequestOpenSession);
    Layout::writeInt(bytes(m), Layout::Header::Application, application);
    Klt::klt_cript(key, bytes(m) + Layout::Header::Key);
    return m;
}

QByteArray RawClient::readRequest(qint32 record)
{
    return message(Layout::HeaderSize, Layout::RequestRead, record);
}

QByteArray RawClient::writeRequest(qint32 record, QByteArrayView data)
{
    QByteArray m = message(Layout::BlockSize, Layout::RequestWrite, record);
    const qsizetype n = std::min<qsizetype>(data.size(), Layout::DataSize);
    m.replace(Layout::HeaderSize, n, data.first(n).toByteArray());
    return m;
}

bool RawClient::send(QByteArrayView data)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return false;
    m_socket.write(data.data(), data.size());
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(10000))
            return false;
    }
    return true;
}

QByteArray RawClient::receiveBytes(int count, int timeoutMs)
{
    QByteArray result;
    const QDeadlineTimer deadline(timeoutMs);
    while (result.size() < count) {
        result += m_socket.read(count - result.size());
        if (result.size() >= count || deadline.hasExpired())
            break;
        if (m_socket.bytesAvailable() == 0 &&
            !m_socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    result += m_socket.read(count - result.size());
    return result;
}

RawClient::Answer RawClient::receive(int timeoutMs)
{
    Answer answer;
    const QDeadlineTimer deadline(timeoutMs);
    answer.header = receiveBytes(Layout::HeaderSize, timeoutMs);
    if (answer.header.size() < Layout::HeaderSize)
        return answer;
    const quint8* h = bytes(answer.header);
    answer.status = Layout::readInt(h, Layout::Header::Status);
    answer.dataLength = Layout::readInt(h, Layout::Header::DataLength);
    answer.error = Layout::readInt(h, Layout::Header::Error);
    answer.record = Layout::readInt(h, Layout::Header::Record);
    if (answer.dataLength > 0) {
        answer.data =
            receiveBytes(answer.dataLength, int(std::max<qint64>(1, deadline.remainingTime())));
        answer.complete = answer.data.size() == answer.dataLength;
    } else {
        answer.complete = true;
    }
    return answer;
}

qint32 RawClient::login(qint32 application, QByteArrayView key)
{
    // A refusal may already be waiting (and the connection closed): the
    // answer that arrives is the result either way.
    send(loginRequest(m_greeting, application, key));
    const Answer answer = receive();
    if (!answer.complete)
        return 1;
    return answer.status == Layout::StatusRefused ? answer.error : 0;
}

RawClient::Answer RawClient::read(qint32 record)
{
    if (!send(readRequest(record)))
        return {};
    return receive();
}

RawClient::Answer RawClient::write(qint32 record, QByteArrayView data)
{
    if (!send(writeRequest(record, data)))
        return {};
    return receive();
}

bool RawClient::waitForClosed(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.readAll();
        if (deadline.hasExpired())
            return false;
        m_socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

void RawClient::close()
{
    m_socket.abort();
}
