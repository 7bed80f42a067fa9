#pragma once

#include "ConnectionLimits.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <optional>

class QTcpSocket;
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
// the admin commands are served at once.
class Directory : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int stallTimeoutMs = 10000; // no progress for this long: refused and closed
        int maxConnections = 1000;
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
        QTcpSocket* socket = nullptr;
        QTimer* timer = nullptr;
        QByteArray in;
        QByteArray out; // the answer being sent (shared between connections)
        qsizetype sent = 0;
        bool closing = false;
    };

    void accept();
    void refuse(QTcpSocket* socket, qint32 code, const QString& reason = {});
    void process(quint64 id);
    void pump(Connection& c);
    void stalled(quint64 id);
    void drop(quint64 id);
    std::optional<QByteArray> answer();

    QString m_database;
    QString m_connection;
    Limits m_limits;
    QTcpServer m_listener;
    QHash<quint64, Connection> m_connections;
    quint64 m_nextId = 1;
    bool m_stopping = false;
    std::optional<qint64> m_cachedVersion; // data_version of the cached answer
    QByteArray m_cached;
};
