#include "FakeServer.h"

#include "Layout.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

FakeServer::FakeServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeServer::onNewConnection);
}

FakeServer::~FakeServer()
{
    for (QTcpSocket* socket : std::as_const(m_sockets)) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

bool FakeServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 FakeServer::port() const
{
    return m_server.serverPort();
}

void FakeServer::setReplies(const QList<Reply>& replies)
{
    m_replies = replies;
    m_handler = [this](int, int, const QByteArray&) {
        return m_replies.isEmpty() ? Reply{} : m_replies.takeFirst();
    };
}

QList<QByteArray> FakeServer::requestsOf(int connection) const
{
    QList<QByteArray> found;
    for (qsizetype i = 0; i < m_requests.size(); ++i) {
        if (m_requestConnection.at(i) == connection)
            found.append(m_requests.at(i));
    }
    return found;
}

bool FakeServer::closedByClient(int connection) const
{
    return connection < m_clientClosed.size() && m_clientClosed.at(connection);
}

QByteArray FakeServer::greeting(quint8 fill)
{
    QByteArray bytes(Layout::HeaderSize, char(fill));
    auto* header = reinterpret_cast<quint8*>(bytes.data());
    for (int i = 0; i < Layout::Header::NonceSize; ++i)
        header[Layout::Header::Nonce + i] = quint8(QRandomGenerator::global()->bounded(256));
    // An answer-looking greeting must not count as a login answer.
    Layout::writeInt(header, Layout::Header::Status, 0);
    Layout::writeInt(header, Layout::Header::DataLength, 0);
    return bytes;
}

QByteArray FakeServer::answer(qint32 status, qint32 dataLength, qint32 error,
                              const QByteArray& data, qint32 record)
{
    QByteArray bytes(Layout::HeaderSize, '\0');
    auto* header = reinterpret_cast<quint8*>(bytes.data());
    Layout::writeInt(header, Layout::Header::Record, record);
    Layout::writeInt(header, Layout::Header::Status, status);
    Layout::writeInt(header, Layout::Header::DataLength, dataLength);
    Layout::writeInt(header, Layout::Header::Error, error);
    return bytes + data;
}

void FakeServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const int connection = m_connections++;
        socket->setParent(nullptr);
        m_sockets.append(socket);
        m_pending.append(QByteArray());
        m_clientClosed.append(false);
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, connection] { onReadyRead(socket, connection); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, connection] { m_clientClosed[connection] = true; });
        const QByteArray greet =
            m_greetings.isEmpty()
                ? QByteArray()
                : m_greetings.at(std::min<qsizetype>(connection, m_greetings.size() - 1));
        if (!greet.isEmpty()) {
            socket->write(greet);
            socket->flush();
        }
        if (m_closeAfterGreeting)
            socket->disconnectFromHost();
    }
}

void FakeServer::onReadyRead(QTcpSocket* socket, int connection)
{
    QByteArray& pending = m_pending[connection];
    pending += socket->readAll();
    for (;;) {
        if (pending.size() < 8)
            return;
        const qint32 length =
            Layout::readInt(reinterpret_cast<const quint8*>(pending.constData()), 4);
        const qsizetype size = length == Layout::BlockSize ? Layout::BlockSize : Layout::HeaderSize;
        if (pending.size() < size)
            return;
        const QByteArray request = pending.left(size);
        pending.remove(0, size);
        const int index = int(requestsOf(connection).size());
        m_requests.append(request);
        m_requestConnection.append(connection);
        if (m_handler)
            sendReply(socket, m_handler(connection, index, request));
    }
}

void FakeServer::sendReply(QTcpSocket* socket, const Reply& reply)
{
    if (reply.delayMs > 0) {
        Reply later = reply;
        later.delayMs = 0;
        QTimer::singleShot(reply.delayMs, socket,
                           [this, socket, later] { sendReply(socket, later); });
        return;
    }
    if (reply.pieceSize <= 0) {
        socket->write(reply.bytes);
        socket->flush();
        if (reply.close)
            socket->disconnectFromHost();
        return;
    }
    // Pieces a few milliseconds apart, so that they arrive separately.
    int delay = 0;
    for (qsizetype at = 0; at < reply.bytes.size(); at += reply.pieceSize) {
        const QByteArray piece = reply.bytes.mid(at, reply.pieceSize);
        QTimer::singleShot(delay, socket, [socket, piece] {
            socket->write(piece);
            socket->flush();
        });
        delay += 5;
    }
    if (reply.close)
        QTimer::singleShot(delay, socket, [socket] { socket->disconnectFromHost(); });
}
