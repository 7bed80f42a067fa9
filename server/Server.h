#pragma once

#include "ConnectionLimits.h"
#include "Listener.h"
#include "Session.h"
#include "Storage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class PeerSocket;
class QTimer;

// zorsrv's network side: greets, frames, answers, and hands the writes to a
// storage thread that commits them in groups. Everything here runs on one
// event loop; a write is answered only once the commit that holds it is done.
class Server : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString database;
        QHostAddress address = QHostAddress::LocalHost;
        quint16 port = 32000;
        int agents = 9999;
        int stallTimeoutMs = 10000; // from a message's first byte to its last
        int loginTimeoutMs = 30000;
        int idleTimeoutMs = 120000;
        int maxConnections = 1000;
        int maxPerPeer = 0; // 0: ConnectionLimits::defaultPerPeer(maxConnections)
        QList<ConnectionLimits::Subnet> allowed; // empty: every peer
        Storage::Retention retention;            // of the audit trail
    };

    enum class Failure
    {
        None,
        CannotOpen,
        Corrupt,
        Incompatible,
        InUse, // another zorsrv serves the database
        CannotListen
    };
    struct Started
    {
        Failure failure = Failure::None;
        QString message;
    };

    explicit Server(Options options, QObject* parent = nullptr);
    ~Server() override;

    // Opens the database, loads the records and starts listening.
    Started start();
    QHostAddress address() const { return m_listener.serverAddress(); }
    quint16 port() const { return m_listener.serverPort(); }
    int connectionCount() const { return int(m_connections.size()); }
    // Writes committed so far, and the commits that held them.
    qint64 writesCommitted() const { return m_writesCommitted; }
    qint64 commits() const { return m_commits; }

    // Stops listening, commits and answers the writes already received, then
    // refuses every client with -3, closes them and emits stopped().
    void shutdown();

Q_SIGNALS:
    void stopped();

private:
    struct Connection;
    struct PendingWrite
    {
        quint64 connection = 0;
        qint32 record = 0;
        QByteArray data;
        QString peer;
        QString client, login;
    };

    void accept(qintptr descriptor);
    void refuseAtOnce(PeerSocket* socket, const QByteArray& refusal);
    void process(Connection& c);
    bool awaitNext(Connection& c, int& briefWaits);
    void handleMessage(Connection& c, QByteArrayView message);
    void armTimer(Connection& c);
    void limitReached(quint64 id);
    void finishReading(Connection& c);
    void refuseAndClose(Connection& c, qint32 code);
    void drop(quint64 id);
    void queueWrite(Connection& c, const Session::Step& step);
    void answerHistory(Connection& c, const QByteArray& request);
    void flushWrites();
    struct Outcome
    {
        bool ok = false;
        QString error;
    };
    void committed(const QList<PendingWrite>& batch, const QList<Outcome>& outcomes, int commits);
    void finishShutdown();
    void pruneAudit();

    template <typename F> void onStorageThread(F&& work);

    Options m_options;
    Listener m_listener;
    QElapsedTimer m_clock; // the connections' time
    QThread m_storageThread;
    QObject* m_storageContext = nullptr;
    std::unique_ptr<Storage> m_storage;  // used on the storage thread only
    QHash<qint32, QByteArray> m_records; // the acknowledged contents
    QHash<quint64, Connection*> m_connections;
    ConnectionLimits::PeerPlaces m_peers;
    quint64 m_nextId = 1;
    QList<PendingWrite> m_queued;
    bool m_flushScheduled = false;
    bool m_committing = false;
    bool m_stopping = false;
    bool m_refused = false;
    qint64 m_writesCommitted = 0;
    qint64 m_commits = 0;
};
