#pragma once

#include <QHostAddress>
#include <QTcpServer>

// zorsrv's listening socket. It hands each accepted connection over as a bare
// descriptor, and picks a port the stations can name when asked for any.
class Listener : public QTcpServer
{
    Q_OBJECT

public:
    // A station's TCP_port is a 16-bit signed number.
    static constexpr quint16 HighestStationPort = 32767;

    using QTcpServer::QTcpServer;

    // Listens on the port, or for port 0 on a free one between 20000 and
    // HighestStationPort, drawn at random (a bounded number of tries).
    bool listenForStations(const QHostAddress& address, quint16 port);

Q_SIGNALS:
    void incoming(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { Q_EMIT incoming(descriptor); }
};
