#pragma once

#include "Layout.h"
#include "Variables.h"

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

// A server's greeting; its nonce is at 128.
inline const QByteArray Greeting = QByteArray(256, 'Z') + QByteArray(256, '\0');

// An answer header with its status, data length and error fields, then the data.
inline QByteArray answer(qint32 status, qint32 length, qint32 error, const QByteArray& data = {})
{
    QByteArray bytes(Layout::HeaderSize, '\0');
    auto* p = reinterpret_cast<quint8*>(bytes.data());
    Layout::writeInt(p, Layout::Header::Status, status);
    Layout::writeInt(p, Layout::Header::DataLength, length);
    Layout::writeInt(p, Layout::Header::Error, error);
    return bytes + data;
}

// A scripted server in the test process, served while the gateway waits in
// its event loop. It listens at once and points TcpPort at itself. Each
// connection gets its greeting (by index, the last one repeats; empty is
// silence); each whole request (512 bytes, or 8704 when its length field
// says so) is recorded and answered.
struct FakeServer
{
    QByteArrayList greetings = {Greeting};
    // To each request in turn, over all connections; an empty one, or none
    // left, is silence.
    QByteArrayList replies;
    bool closeAfterLast = false; // close the connection once the replies are out
    bool floodAfterLast = false; // or send bytes without end, 4 MB queued at most
    QByteArrayList requests;
    int connections = 0, closings = 0; // the client's connections and its closes
    qint64 flooded = 0;                // bytes of the flood handed to the system
    QTcpServer tcp;                    // last: its sockets go first

    FakeServer()
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] { accept(); });
        tcp.listen(QHostAddress::LocalHost, 0);
        Parametres.TcpPort = qint16(tcp.serverPort());
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = tcp.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, &tcp, [this] { ++closings; });
            QObject::connect(socket, &QTcpSocket::readyRead, &tcp,
                             [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::bytesWritten, &tcp,
                             [this, socket](qint64 written) { flood(socket, written); });
            socket->write(greetings.value(connections++, greetings.last()));
        }
    }
    void serve(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        for (;;) {
            const bool block = pending.size() >= 8 &&
                               Layout::readInt(reinterpret_cast<const quint8*>(pending.constData()),
                                               4) == Layout::BlockSize;
            const qsizetype size = block ? Layout::BlockSize : Layout::HeaderSize;
            if (pending.size() < size)
                return;
            requests.append(pending.left(size));
            pending.remove(0, size);
            socket->write(replies.isEmpty() ? QByteArray() : replies.takeFirst());
            if (closeAfterLast && replies.isEmpty())
                socket->disconnectFromHost();
            m_flooding = floodAfterLast && replies.isEmpty();
        }
    }
    void flood(QTcpSocket* socket, qint64 written)
    {
        flooded += m_flooding ? written : 0;
        if (m_flooding && socket->state() == QAbstractSocket::ConnectedState &&
            socket->bytesToWrite() < 4 * 1024 * 1024)
            socket->write(QByteArray(256 * 1024, 'F'));
    }
    QHash<QTcpSocket*, QByteArray> m_pending;
    bool m_flooding = false;
};
