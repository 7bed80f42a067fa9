#pragma once

#include "ConnectionLimits.h"
#include "Listener.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

class PeerSocket;
class QTimer;

// Where the agent directory listens. Without an address of its own it
// listens on the records' address, on the stations' VS_port.
struct DirectoryOptions
{
    bool enabled = true;
    std::optional<QHostAddress> address;
    quint16 port = 20772;
};

// zorsrv's agent directory: serves the agent table, read-only, over the
// framed protocol of DirectoryProtocol on a listening address of its own.
// It reads the table through a connection of its own and reads it again
// whenever the database has changed since its last read, so changes made by
// the admin commands are served at once. While the table is empty it
// refuses every connection, saying so, instead of greeting it.
class Directory : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        // The records' time limits: login is the time to the first list
        // request, idle the time between two, message the time from a
        // request's first byte to its last and the time a client has to
        // take the next part of an answer.
        ConnectionLimits::Settings times;
        int maxConnections = 1000;
        int maxPerPeer = 100;
        QList<ConnectionLimits::Subnet> allowed; // empty: every peer
    };

    Directory(QString database, Limits limits, QObject* parent = nullptr);
    ~Directory() override;

    // Opens the table and listens; an empty text, or why it cannot.
    QString start(const QHostAddress& address, quint16 port);
    QHostAddress address() const { return m_listener.serverAddress(); }
    quint16 port() const { return m_listener.serverPort(); }

    // Stops listening and refuses every client with -3.
    void shutdown();

private:
    struct Connection
    {
        PeerSocket* socket = nullptr;
        QTimer* timer = nullptr;
        ConnectionLimits::Clock clock;
        QByteArray in;
        QByteArray out; // the answer being sent (shared between connections)
        qsizetype sent = 0;
        bool closing = false;
    };

    // The table as it is served: the Agents frame and how many agents it holds.
    struct Table
    {
        QByteArray frame;
        qsizetype agents = 0;
    };

    void accept(qintptr descriptor);
    void refuseAtOnce(PeerSocket* socket, qint32 code, const QString& reason);
    void process(quint64 id);
    void pump(quint64 id);
    void armTimer(Connection& c);
    void limitReached(quint64 id);
    void finish(Connection& c, qint32 code, const QString& reason);
    void drop(quint64 id);
    const Table* table();

    QString m_database;
    QString m_connection;
    Limits m_limits;
    Listener m_listener;
    QElapsedTimer m_clock; // the connections' time
    QHash<quint64, Connection> m_connections;
    ConnectionLimits::PeerPlaces m_peers;
    quint64 m_nextId = 1;
    bool m_stopping = false;
    std::optional<qint64> m_cachedVersion; // data_version of the cached table
    Table m_cached;
};
