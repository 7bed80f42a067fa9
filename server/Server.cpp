#include "Server.h"

#include "Framing.h"
#include "History.h"
#include "Layout.h"
#include "PeerSocket.h"
#include "Records.h"

#include <QRandomGenerator>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdio>
#include <limits>
#include <utility>

namespace {

// Above this many unsent answer bytes a connection's requests wait: a client
// that does not read its answers cannot make the server buffer without end,
// and it is dropped when it does not read them within the stall time-out.
constexpr qint64 MaxUnsentBytes = 64 * 1024;
constexpr qint64 ReadBufferSize = 64 * 1024;
constexpr int ShutdownGraceMs = 5000;

// A client in the middle of a transfer sends its next request as soon as it
// has our answer. When it is the only client, polling its connection for that
// moment spares both sides a sleep and a wake-up, which on a virtual machine
// cost more than the wait. With other clients connected the server does not
// poll: they may have requests waiting. A connection is not polled again once
// a poll came up empty, and one turn polls for at most BriefWaitsPerTurn
// requests, so that a client that never stops sending cannot keep new
// connections and the timers waiting.
constexpr qint64 BriefWaitNs = 50'000;
constexpr int BriefWaitsPerTurn = 16;

QByteArray freshNonce()
{
    std::array<quint32, Layout::Header::NonceSize / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    return QByteArray(reinterpret_cast<const char*>(words.data()), Layout::Header::NonceSize);
}

QString peerOf(const PeerSocket* socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') +
           QString::number(socket->peerPort());
}

// Hands the bytes to the kernel at once instead of on the next turn of the
// event loop: one wake-up less per answer.
void sendNow(PeerSocket* socket, const QByteArray& bytes)
{
    socket->write(bytes);
}

} // namespace

struct Server::Connection
{
    Connection(quint64 connectionId, PeerSocket* s, QTimer* timer, int agents)
        : id(connectionId), socket(s), limitTimer(timer), peer(peerOf(s)),
          session(freshNonce(), agents)
    {}

    quint64 id;
    PeerSocket* socket;
    QTimer* limitTimer;
    qint64 timerDue = -1; // when limitTimer fires, on the server's clock
    QString peer;
    Session session;
    Framing::Reader reader;
    ConnectionLimits::Clock clock;
    bool waiting = false; // a write of this connection awaits its commit
    bool paused = false;  // too many answer bytes unsent: wait for bytesWritten
    bool busy = false;    // process() is running (a flush may call back)
    bool closing = false;
    bool brisk = true; // its requests came while it was polled for them
};

Server::Server(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_listener(QStringLiteral("records"))
{
    if (m_options.maxPerPeer <= 0)
        m_options.maxPerPeer = ConnectionLimits::defaultPerPeer(m_options.maxConnections);
    m_storageContext = new QObject;
    m_storageContext->moveToThread(&m_storageThread);
    m_storageThread.setObjectName(QStringLiteral("zorsrv storage"));
    m_storageThread.start();
    connect(&m_listener, &Listener::incoming, this, &Server::accept);
    m_clock.start();
}

Server::~Server()
{
    for (Connection* c : std::as_const(m_connections)) {
        c->socket->abort();
        delete c->socket;
        delete c;
    }
    m_connections.clear();
    QMetaObject::invokeMethod(
        m_storageContext, [this] { m_storage.reset(); }, Qt::BlockingQueuedConnection);
    m_storageThread.quit();
    m_storageThread.wait();
    delete m_storageContext;
}

template <typename F> void Server::onStorageThread(F&& work)
{
    QMetaObject::invokeMethod(m_storageContext, std::forward<F>(work), Qt::QueuedConnection);
}

Server::Started Server::start()
{
    Storage::Opened opened;
    QHash<qint32, QByteArray> records;
    QMetaObject::invokeMethod(
        m_storageContext,
        [&] {
            m_storage = std::make_unique<Storage>(QStringLiteral("zorsrv"));
            opened = m_storage->open(m_options.database, Storage::Mode::Serve);
            if (opened.failure != Storage::Failure::None) {
                m_storage.reset();
                return;
            }
            m_storage->boundAudit(m_options.retention.rows);
            pruneAudit();
            const QMap<qint32, QByteArray> stored = m_storage->records();
            for (auto it = stored.begin(); it != stored.end(); ++it)
                records.insert(it.key(), it.value());
        },
        Qt::BlockingQueuedConnection);
    switch (opened.failure) {
    case Storage::Failure::None:
        break;
    case Storage::Failure::CannotOpen:
        return {Failure::CannotOpen, opened.message};
    case Storage::Failure::Corrupt:
        return {Failure::Corrupt, opened.message};
    case Storage::Failure::Incompatible:
        return {Failure::Incompatible, opened.message};
    case Storage::Failure::InUse:
        return {Failure::InUse, opened.message};
    }
    m_records = std::move(records);
    auto* daily = new QTimer(this);
    connect(daily, &QTimer::timeout, this, [this] { onStorageThread([this] { pruneAudit(); }); });
    daily->start(std::chrono::hours(24));
    if (!m_listener.listenForStations(m_options.address, m_options.port))
        return {Failure::CannotListen, QStringLiteral("cannot listen on %1:%2: %3")
                                           .arg(m_options.address.toString())
                                           .arg(m_options.port)
                                           .arg(m_listener.reason())};
    return {};
}

// On the storage thread.
void Server::pruneAudit()
{
    QString error;
    if (m_storage && m_storage->pruneAudit(m_options.retention, &error) < 0)
        std::fprintf(stderr, "zorsrv: cannot prune the audit: %s\n", qPrintable(error));
}

void Server::accept(qintptr descriptor)
{
    auto* socket = new PeerSocket(descriptor, ReadBufferSize, m_options.stallTimeoutMs, this);
    // Peers outside the allowed subnets get nothing, not even a greeting.
    if (!ConnectionLimits::allowed(m_options.allowed, socket->peerAddress())) {
        delete socket;
        return;
    }
    if (m_stopping) {
        refuseAtOnce(socket, Framing::refusal(Framing::Refusal::ServerStop));
        return;
    }
    if (m_connections.size() >= m_options.maxConnections ||
        !ConnectionLimits::takePlace(m_peers, socket->peerAddress(), m_options.maxPerPeer)) {
        refuseAtOnce(socket, Framing::greeting(freshNonce()) +
                                 Framing::refusal(Framing::Refusal::TooManyConnections));
        return;
    }
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    auto* c = new Connection(m_nextId++, socket, timer, m_options.agents);
    c->clock.connectedAt = c->clock.lastMessageAt = m_clock.elapsed();
    m_connections.insert(c->id, c);
    const quint64 id = c->id;
    connect(timer, &QTimer::timeout, this, [this, id] { limitReached(id); });
    connect(socket, &PeerSocket::readyRead, this, [this, id] {
        if (Connection* found = m_connections.value(id))
            process(*found);
    });
    connect(socket, &PeerSocket::bytesWritten, this, [this, id] {
        Connection* found = m_connections.value(id);
        if (found && found->paused && found->socket->bytesToWrite() <= MaxUnsentBytes) {
            found->paused = false;
            found->clock.pausedAt = -1;
            process(*found);
        }
    });
    connect(socket, &PeerSocket::disconnected, this, [this, id] { drop(id); });
    sendNow(socket, c->session.greeting());
    armTimer(*c);
}

// A connection that gets its refusal and nothing else; it is not counted.
void Server::refuseAtOnce(PeerSocket* socket, const QByteArray& refusal)
{
    connect(socket, &PeerSocket::disconnected, socket, &QObject::deleteLater);
    sendNow(socket, refusal);
    socket->disconnectFromHost();
}

void Server::process(Connection& c)
{
    if (c.busy)
        return;
    c.busy = true;
    QByteArray message;
    int briefWaits = 0;
    while (!c.waiting && !c.closing && !m_stopping) {
        if (c.socket->bytesToWrite() > MaxUnsentBytes) {
            c.paused = true;
            c.clock.pausedAt = m_clock.elapsed();
            break;
        }
        const Framing::Status status = Framing::next(c.reader, message);
        if (status == Framing::Status::Invalid) {
            refuseAndClose(c, Framing::Refusal::BadMessage);
            break;
        }
        if (status == Framing::Status::Incomplete) {
            if (c.socket->bytesAvailable() == 0 && !awaitNext(c, briefWaits))
                break;
            c.reader.pending.append(c.socket->readAll());
            continue;
        }
        c.clock.lastMessageAt = m_clock.elapsed();
        c.clock.messageStartedAt = -1;
        handleMessage(c, message);
        c.clock.loggedIn = c.session.loggedIn();
    }
    if (c.reader.pending.isEmpty())
        c.clock.messageStartedAt = -1;
    else if (c.clock.messageStartedAt < 0)
        c.clock.messageStartedAt = m_clock.elapsed();
    c.busy = false;
    finishReading(c);
    armTimer(c);
}

bool Server::awaitNext(Connection& c, int& briefWaits)
{
    if (!c.brisk || briefWaits >= BriefWaitsPerTurn || m_connections.size() > 1)
        return false;
    ++briefWaits;
    c.brisk = c.socket->pollBriefly(BriefWaitNs);
    return c.brisk;
}

// A client that has shut its sending side has had every whole request
// answered once nothing of it is left to read or to commit: close.
void Server::finishReading(Connection& c)
{
    if (c.socket->atEnd() && !c.waiting && !c.closing && !c.paused && !m_stopping) {
        c.closing = true;
        c.socket->disconnectFromHost();
    }
}

void Server::handleMessage(Connection& c, QByteArrayView message)
{
    const Session::Step step = c.session.handle(message);
    switch (step.action) {
    case Session::Action::Reply:
        sendNow(c.socket, step.answer);
        break;
    case Session::Action::Read: {
        const auto stored = m_records.constFind(step.record);
        sendNow(c.socket, Framing::answer(
                              step.request, step.record,
                              stored != m_records.cend() ? *stored : Records::unset(step.record)));
        break;
    }
    case Session::Action::Write:
        queueWrite(c, step);
        break;
    case Session::Action::History:
        answerHistory(c, step.data);
        break;
    case Session::Action::RefuseAndClose:
        c.closing = true;
        sendNow(c.socket, step.answer);
        c.socket->disconnectFromHost();
        break;
    }
}

void Server::armTimer(Connection& c)
{
    if (c.waiting || c.closing || m_stopping) {
        c.limitTimer->stop();
        c.timerDue = -1;
        return;
    }
    const qint64 now = m_clock.elapsed();
    const ConnectionLimits::Check check = ConnectionLimits::check(
        {m_options.loginTimeoutMs, m_options.idleTimeoutMs, m_options.stallTimeoutMs}, c.clock,
        now);
    // A timer due earlier than needed fires, finds nothing and is armed again:
    // most messages move the deadline later and cost no new timer.
    const qint64 due = now + check.nextMs;
    if (c.limitTimer->isActive() && c.timerDue <= due)
        return;
    c.timerDue = due;
    c.limitTimer->start(int(std::min<qint64>(check.nextMs, std::numeric_limits<int>::max())));
}

void Server::limitReached(quint64 id)
{
    Connection* c = m_connections.value(id);
    if (!c)
        return;
    c->timerDue = -1;
    if (c->waiting || c->closing || m_stopping)
        return;
    const ConnectionLimits::Check check = ConnectionLimits::check(
        {m_options.loginTimeoutMs, m_options.idleTimeoutMs, m_options.stallTimeoutMs}, c->clock,
        m_clock.elapsed());
    if (check.passed == ConnectionLimits::Limit::None) {
        armTimer(*c);
    } else if (c->paused) {
        c->closing = true; // it reads nothing: a refusal would only wait as well
        c->socket->abort();
    } else {
        refuseAndClose(*c, Framing::Refusal::Stalled);
    }
}

void Server::refuseAndClose(Connection& c, qint32 code)
{
    c.closing = true;
    c.limitTimer->stop();
    sendNow(c.socket, Framing::refusal(code));
    c.socket->disconnectFromHost();
}

void Server::drop(quint64 id)
{
    Connection* c = m_connections.take(id);
    if (!c)
        return;
    ConnectionLimits::leavePlace(m_peers, c->socket->peerAddress());
    c->socket->deleteLater();
    delete c;
    if (m_refused && m_connections.isEmpty())
        QMetaObject::invokeMethod(this, &Server::stopped, Qt::QueuedConnection);
}

void Server::queueWrite(Connection& c, const Session::Step& step)
{
    c.waiting = true;
    m_queued.append({c.id, step.record, step.data, c.peer, c.session.client(), c.session.login()});
    // Writes that arrive in this turn of the event loop, or while a commit is
    // in progress, go into the next commit together.
    if (!m_flushScheduled && !m_committing) {
        m_flushScheduled = true;
        QMetaObject::invokeMethod(this, &Server::flushWrites, Qt::QueuedConnection);
    }
}

// The audit is read on the storage thread, between commits; the connection
// waits for its answer as it waits for a commit.
void Server::answerHistory(Connection& c, const QByteArray& request)
{
    c.waiting = true;
    const HistoryProtocol::Query query =
        HistoryProtocol::readQuery(reinterpret_cast<const quint8*>(request.constData()));
    const quint64 id = c.id;
    onStorageThread([this, id, query] {
        const QByteArray answer = History::answer(*m_storage, query);
        QMetaObject::invokeMethod(
            this,
            [this, id, answer] {
                Connection* found = m_connections.value(id);
                if (!found)
                    return;
                found->waiting = false;
                if (!found->closing && !m_stopping)
                    sendNow(found->socket, answer);
                process(*found);
            },
            Qt::QueuedConnection);
    });
}

void Server::flushWrites()
{
    m_flushScheduled = false;
    if (m_committing || m_queued.isEmpty())
        return;
    m_committing = true;
    QList<PendingWrite> batch = std::exchange(m_queued, {});
    QList<Storage::Write> writes;
    writes.reserve(batch.size());
    for (const PendingWrite& w : std::as_const(batch))
        writes.append({w.record, w.data, w.peer, w.client, w.login});
    onStorageThread([this, batch = std::move(batch), writes = std::move(writes)] {
        QList<Outcome> outcomes(writes.size());
        QString error;
        const bool ok = m_storage->commit(writes, &error);
        for (Outcome& o : outcomes)
            o = {ok, error};
        int commits = ok ? 1 : 0;
        // One bad write must not sink the others of its group: on failure
        // each is tried again in a commit of its own.
        if (!ok && writes.size() > 1) {
            for (qsizetype i = 0; i < writes.size(); ++i) {
                outcomes[i].ok = m_storage->commit({writes[i]}, &outcomes[i].error);
                commits += outcomes[i].ok ? 1 : 0;
            }
        }
        QMetaObject::invokeMethod(
            this, [this, batch, outcomes, commits] { committed(batch, outcomes, commits); },
            Qt::QueuedConnection);
    });
}

void Server::committed(const QList<PendingWrite>& batch, const QList<Outcome>& outcomes,
                       int commits)
{
    m_committing = false;
    m_commits += commits;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const PendingWrite& w = batch[i];
        if (outcomes[i].ok) {
            m_records.insert(w.record, w.data);
            ++m_writesCommitted;
        } else {
            std::fprintf(stderr, "zorsrv: the write of record %d from %s failed: %s\n",
                         int(w.record), qPrintable(w.peer), qPrintable(outcomes[i].error));
        }
    }
    QList<quint64> answered;
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const PendingWrite& w = batch[i];
        Connection* c = m_connections.value(w.connection);
        if (!c)
            continue;
        c->waiting = false;
        sendNow(c->socket, outcomes[i].ok ? Framing::answer(Layout::RequestWrite, w.record)
                                          : Framing::refusal(Framing::Refusal::StorageFailure,
                                                             Layout::RequestWrite, w.record));
        answered.append(w.connection);
    }
    for (quint64 id : std::as_const(answered)) {
        if (Connection* c = m_connections.value(id))
            process(*c);
    }
    if (!m_queued.isEmpty())
        flushWrites();
    else if (m_stopping)
        finishShutdown();
}

void Server::shutdown()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_listener.close();
    if (m_committing)
        return; // committed() carries on
    if (!m_queued.isEmpty()) {
        flushWrites();
        return;
    }
    finishShutdown();
}

void Server::finishShutdown()
{
    if (m_refused)
        return;
    m_refused = true;
    if (m_connections.isEmpty()) {
        QMetaObject::invokeMethod(this, &Server::stopped, Qt::QueuedConnection);
        return;
    }
    const QList<Connection*> open = m_connections.values();
    for (Connection* c : open) {
        c->closing = true;
        c->limitTimer->stop();
        sendNow(c->socket, Framing::refusal(Framing::Refusal::ServerStop));
        c->socket->disconnectFromHost();
    }
    // A client that reads nothing cannot hold the shutdown up for ever.
    QTimer::singleShot(ShutdownGraceMs, this, [this] {
        const QList<Connection*> left = m_connections.values();
        for (Connection* c : left)
            c->socket->abort();
    });
}
