#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class QSocketNotifier;

// One of zorsrv's listening sockets. It hands each accepted connection over
// as a bare non-blocking descriptor, and picks a port the stations can name
// when asked for any. When the process runs out of descriptors (it keeps a
// few for its own files), or the system out of memory for sockets, it says
// so once, stops accepting for a while, tries again at growing intervals,
// and says when it accepts again: the connections waiting meanwhile stay in
// the system's queue.
class Listener : public QObject
{
    Q_OBJECT

public:
    // A station's TCP_port is a 16-bit signed number.
    static constexpr quint16 HighestStationPort = 32767;

    // name says which port it is in the messages ("records", "directory").
    explicit Listener(QString name, QObject* parent = nullptr);
    ~Listener() override;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Listens on the port, or for port 0 on a free one between 20000 and
    // HighestStationPort, drawn at random (a bounded number of tries).
    bool listenForStations(const QHostAddress& address, quint16 port);
    // Listens on the port, or for port 0 on any free one.
    bool listenOn(const QHostAddress& address, quint16 port);
    void close();

    QHostAddress serverAddress() const { return m_socket.serverAddress(); }
    quint16 serverPort() const { return m_socket.serverPort(); }
    QAbstractSocket::SocketError serverError() const { return m_socket.serverError(); }
    // Why listening failed, "the address is already in use" for a taken port.
    QString reason() const;

Q_SIGNALS:
    void incoming(qintptr descriptor);

private:
    void acceptWaiting();
    void shortOf(int error);

    QString m_name;
    QTcpServer m_socket; // binds and listens; the accepting is done here
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_retry;
    int m_retryMs = 0; // 0: accepting normally
    int m_descriptorLimit = 0;
};
