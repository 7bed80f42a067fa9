#include "Directory.h"

#include "AgentTable.h"
#include "DirectoryProtocol.h"
#include "PeerSocket.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

#include <cstdio>
#include <limits>
#include <utility>

namespace {

namespace P = DirectoryProtocol;

// An answer goes out in pieces of this size, each once the one before has
// left: a client that does not read holds no more than this in the server.
constexpr qint64 Piece = 64 * 1024;
constexpr qint64 ReadBufferSize = 4 * 1024;
// Requests answered in one go before other connections get their turn.
constexpr int AnswersPerTurn = 16;

} // namespace

Directory::Directory(QString database, Limits limits, QObject* parent)
    : QObject(parent), m_database(std::move(database)),
      m_connection(QStringLiteral("zorsrv-directory")), m_limits(std::move(limits)),
      m_listener(QStringLiteral("directory"))
{
    connect(&m_listener, &Listener::incoming, this, &Directory::accept);
    m_clock.start();
}

Directory::~Directory()
{
    for (const Connection& c : std::as_const(m_connections)) {
        c.socket->abort();
        delete c.socket;
    }
    m_connections.clear();
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString Directory::start(const QHostAddress& address, quint16 port)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_database);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    QString error;
    if (!db.open())
        error = db.lastError().text();
    else if (!AgentTable::ensureSchema(m_connection, &error))
        error = QStringLiteral("cannot set up the agent table: %1").arg(error);
    if (!error.isEmpty())
        return QStringLiteral("the directory cannot open the database %1: %2")
            .arg(m_database, error);
    if (!m_listener.listenOn(address, port))
        return QStringLiteral("cannot listen on %1:%2 for the directory: %3")
            .arg(address.toString())
            .arg(port)
            .arg(m_listener.reason());
    return {};
}

void Directory::accept(qintptr descriptor)
{
    auto* socket = new PeerSocket(descriptor, ReadBufferSize, m_limits.times.messageMs, this);
    // Peers outside the allowed subnets get nothing at all.
    if (!ConnectionLimits::allowed(m_limits.allowed, socket->peerAddress())) {
        delete socket;
        return;
    }
    if (m_stopping) {
        refuseAtOnce(socket, P::Refusal::ServerStop, QStringLiteral("the server is stopping"));
        return;
    }
    if (m_connections.size() >= m_limits.maxConnections ||
        !ConnectionLimits::takePlace(m_peers, socket->peerAddress(), m_limits.maxPerPeer)) {
        refuseAtOnce(socket, P::Refusal::TooManyConnections,
                     QStringLiteral("too many connections"));
        return;
    }
    // A table that cannot be read is refused to the list request (-9).
    const Table* served = table();
    if (served && served->agents == 0) {
        ConnectionLimits::leavePlace(m_peers, socket->peerAddress());
        refuseAtOnce(socket, P::Refusal::EmptyTable,
                     QStringLiteral("the agent table is empty; import the agents with zorsrv "
                                    "agents import"));
        return;
    }
    const quint64 id = m_nextId++;
    Connection& c = m_connections[id];
    c.socket = socket;
    c.timer = new QTimer(socket);
    c.timer->setSingleShot(true);
    c.clock.connectedAt = c.clock.lastMessageAt = m_clock.elapsed();
    connect(c.timer, &QTimer::timeout, this, [this, id] { limitReached(id); });
    connect(socket, &PeerSocket::readyRead, this, [this, id] { process(id); });
    connect(socket, &PeerSocket::bytesWritten, this, [this, id] {
        pump(id);
        process(id);
    });
    connect(socket, &PeerSocket::disconnected, this, [this, id] { drop(id); });
    socket->write(P::frame(P::Hello));
    armTimer(c);
}

// A connection that gets its refusal and nothing else; it is not counted.
void Directory::refuseAtOnce(PeerSocket* socket, qint32 code, const QString& reason)
{
    connect(socket, &PeerSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(P::refusal(code, reason));
    socket->disconnectFromHost();
}

void Directory::process(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    Connection& c = *found;
    for (int answers = 0; !c.closing && c.out.isEmpty(); ++answers) {
        if (answers == AnswersPerTurn) {
            QMetaObject::invokeMethod(
                this, [this, id] { process(id); }, Qt::QueuedConnection);
            return;
        }
        // A client's frame is a header alone: with that many bytes held
        // there is a frame, or a header to refuse.
        if (c.in.size() < P::HeaderSize)
            c.in += c.socket->readAll();
        const P::Scan scan = P::scan(c.in, &P::clientPayloadBound);
        if (scan.status == P::Status::Incomplete)
            break;
        c.clock.lastMessageAt = m_clock.elapsed();
        c.clock.messageStartedAt = -1;
        c.clock.loggedIn = true;
        const Table* served = nullptr;
        if (scan.status == P::Status::Invalid)
            finish(c, scan.unexpected ? P::Refusal::UnknownRequest : P::Refusal::BadMessage,
                   scan.reason);
        else if (scan.version != P::Version)
            finish(c, P::Refusal::BadVersion,
                   QStringLiteral("this server speaks version %1").arg(P::Version));
        else if (!(served = table()))
            finish(c, P::Refusal::StorageFailure, QStringLiteral("the table cannot be read"));
        if (c.closing)
            return;
        c.in.remove(0, scan.size);
        c.out = served->frame;
        c.sent = 0;
        pump(id);
    }
    if (c.closing)
        return;
    if (c.in.isEmpty())
        c.clock.messageStartedAt = -1;
    else if (c.clock.messageStartedAt < 0)
        c.clock.messageStartedAt = m_clock.elapsed();
    // A client that has sent its last byte has had every whole request
    // answered once nothing is left to send.
    if (c.socket->atEnd() && c.out.isEmpty()) {
        c.closing = true;
        c.timer->stop();
        c.socket->disconnectFromHost();
        return;
    }
    armTimer(c);
}

// Hands the next pieces of the answer to the socket as the last have left;
// meanwhile the client has the stall time-out to take each.
void Directory::pump(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || found->closing)
        return;
    Connection& c = *found;
    while (!c.out.isEmpty() && c.socket->bytesToWrite() == 0) {
        if (c.sent >= c.out.size()) {
            c.out.clear();
            c.clock.lastMessageAt = m_clock.elapsed(); // idle from the end of the answer
            break;
        }
        const qint64 size = std::min<qint64>(Piece, c.out.size() - c.sent);
        c.socket->write(QByteArrayView(c.out).sliced(c.sent, size));
        c.sent += size;
    }
    c.clock.pausedAt = c.out.isEmpty() ? -1 : m_clock.elapsed();
    armTimer(c);
}

void Directory::armTimer(Connection& c)
{
    if (c.closing || m_stopping) {
        c.timer->stop();
        return;
    }
    const ConnectionLimits::Check check =
        ConnectionLimits::check(m_limits.times, c.clock, m_clock.elapsed());
    c.timer->start(int(std::min<qint64>(check.nextMs, std::numeric_limits<int>::max())));
}

void Directory::limitReached(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || found->closing)
        return;
    Connection& c = *found;
    const ConnectionLimits::Check check =
        ConnectionLimits::check(m_limits.times, c.clock, m_clock.elapsed());
    if (check.passed == ConnectionLimits::Limit::None) {
        armTimer(c);
    } else if (!c.out.isEmpty()) {
        c.closing = true; // in the middle of an answer: no room for a refusal
        c.socket->abort();
    } else {
        finish(c, P::Refusal::Stalled, QStringLiteral("no progress in time"));
    }
}

void Directory::finish(Connection& c, qint32 code, const QString& reason)
{
    c.closing = true;
    c.timer->stop();
    c.socket->write(P::refusal(code, reason));
    c.socket->disconnectFromHost();
}

void Directory::drop(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    ConnectionLimits::leavePlace(m_peers, found->socket->peerAddress());
    found->socket->deleteLater();
    m_connections.erase(found);
}

const Directory::Table* Directory::table()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return nullptr;
    const qint64 version = query.value(0).toLongLong();
    query.finish();
    if (m_cachedVersion == version)
        return &m_cached;
    QString error;
    int skipped = 0;
    const std::optional<P::Entries> entries = AgentTable::read(m_connection, &error, &skipped);
    if (!entries) {
        std::fprintf(stderr, "zorsrv: the directory cannot read the agent table: %s\n",
                     qPrintable(error));
        return nullptr;
    }
    if (skipped > 0)
        std::fprintf(stderr,
                     "zorsrv: %d rows of the agent table break its bounds and are not "
                     "served\n",
                     skipped);
    m_cached = {P::agents(*entries), entries->size()};
    m_cachedVersion = version;
    return &m_cached;
}

void Directory::shutdown()
{
    m_stopping = true;
    m_listener.close();
    for (Connection& c : m_connections) {
        if (c.closing)
            continue;
        if (c.out.isEmpty()) {
            finish(c, P::Refusal::ServerStop, QStringLiteral("the server is stopping"));
        } else {
            c.closing = true;
            c.timer->stop();
            c.socket->abort();
        }
    }
}
