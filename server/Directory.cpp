#include "Directory.h"

#include "AgentTable.h"
#include "DirectoryProtocol.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTimer>
#include <QVariant>

#include <cstdio>
#include <utility>

namespace {

namespace P = DirectoryProtocol;

// An answer goes out in pieces of this size, each once the one before has
// left: a client that does not read holds no more than this in the server.
constexpr qint64 Piece = 64 * 1024;
constexpr qint64 ReadBufferSize = 4 * 1024;

} // namespace

Directory::Directory(QString database, Limits limits, QObject* parent)
    : QObject(parent), m_database(std::move(database)),
      m_connection(QStringLiteral("zorsrv-directory")), m_limits(limits)
{
    m_listener.setMaxPendingConnections(1024);
    m_listener.setListenBacklogSize(1024);
    connect(&m_listener, &QTcpServer::pendingConnectionAvailable, this, &Directory::accept);
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
    if (!m_listener.listen(address, port)) {
        const QString reason = m_listener.serverError() == QAbstractSocket::AddressInUseError
                                   ? QStringLiteral("the address is already in use")
                                   : m_listener.errorString();
        return QStringLiteral("cannot listen on %1:%2 for the directory: %3")
            .arg(address.toString())
            .arg(port)
            .arg(reason);
    }
    return {};
}

void Directory::accept()
{
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        // Peers outside the allowed subnets get nothing at all.
        if (!ConnectionLimits::allowed(m_limits.allowed, socket->peerAddress())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (m_stopping || m_connections.size() >= m_limits.maxConnections) {
            refuse(socket, m_stopping ? P::Refusal::ServerStop : P::Refusal::TooManyConnections,
                   m_stopping ? QStringLiteral("the server is stopping")
                              : QStringLiteral("too many connections"));
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        socket->setReadBufferSize(ReadBufferSize);
        const quint64 id = m_nextId++;
        Connection& c = m_connections[id];
        c.socket = socket;
        c.timer = new QTimer(socket);
        c.timer->setSingleShot(true);
        c.timer->setInterval(m_limits.stallTimeoutMs);
        connect(c.timer, &QTimer::timeout, this, [this, id] { stalled(id); });
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { process(id); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, id] {
            const auto found = m_connections.find(id);
            if (found == m_connections.end() || found->closing)
                return;
            found->timer->start(); // progress
            pump(*found);
            if (found->out.isEmpty())
                process(id);
        });
        connect(
            socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); },
            Qt::QueuedConnection);
        socket->write(P::frame(P::Hello));
        c.timer->start();
    }
}

void Directory::refuse(QTcpSocket* socket, qint32 code, const QString& reason)
{
    socket->write(P::refusal(code, reason));
    socket->flush();
    socket->disconnectFromHost();
}

void Directory::process(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    Connection& c = *found;
    while (!c.closing && c.out.isEmpty()) {
        const QByteArray incoming = c.socket->read(ReadBufferSize - c.in.size());
        if (!incoming.isEmpty())
            c.timer->start(); // progress
        c.in += incoming;
        const P::Scan scan = P::scan(c.in, &P::clientPayloadBound);
        if (scan.status == P::Status::Incomplete)
            return;
        c.closing = scan.status == P::Status::Invalid || scan.version != P::Version;
        if (scan.status == P::Status::Invalid) {
            refuse(c.socket, scan.unexpected ? P::Refusal::UnknownRequest : P::Refusal::BadMessage,
                   scan.reason);
        } else if (scan.version != P::Version) {
            refuse(c.socket, P::Refusal::BadVersion,
                   QStringLiteral("this server speaks version %1").arg(P::Version));
        } else if (const std::optional<QByteArray> bytes = answer()) {
            c.in.remove(0, scan.size);
            c.out = *bytes;
            c.sent = 0;
            pump(c);
        } else {
            c.closing = true;
            refuse(c.socket, P::Refusal::StorageFailure,
                   QStringLiteral("the table cannot be read"));
        }
        if (c.closing)
            c.timer->stop();
    }
}

// Hands the next piece of the answer to the socket once the last has left.
void Directory::pump(Connection& c)
{
    if (c.out.isEmpty() || c.socket->bytesToWrite() > 0)
        return;
    if (c.sent >= c.out.size()) {
        c.out.clear();
        return;
    }
    const qint64 size = std::min<qint64>(Piece, c.out.size() - c.sent);
    c.socket->write(c.out.constData() + c.sent, size);
    c.sent += size;
}

void Directory::stalled(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end() || found->closing)
        return;
    found->closing = true;
    if (found->out.isEmpty())
        refuse(found->socket, P::Refusal::Stalled, QStringLiteral("no progress in time"));
    else
        found->socket->abort(); // in the middle of an answer: no room for a refusal
}

void Directory::drop(quint64 id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    found->socket->deleteLater();
    m_connections.erase(found);
}

std::optional<QByteArray> Directory::answer()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return std::nullopt;
    const qint64 version = query.value(0).toLongLong();
    query.finish();
    if (m_cachedVersion == version)
        return m_cached;
    QString error;
    int skipped = 0;
    const std::optional<P::Entries> entries = AgentTable::read(m_connection, &error, &skipped);
    if (!entries) {
        std::fprintf(stderr, "zorsrv: the directory cannot read the agent table: %s\n",
                     qPrintable(error));
        return std::nullopt;
    }
    if (skipped > 0)
        std::fprintf(stderr,
                     "zorsrv: %d rows of the agent table break its bounds and are not "
                     "served\n",
                     skipped);
    m_cached = P::agents(*entries);
    m_cachedVersion = version;
    return m_cached;
}

void Directory::shutdown()
{
    m_stopping = true;
    m_listener.close();
    for (Connection& c : m_connections) {
        if (c.closing)
            continue;
        c.closing = true;
        c.timer->stop();
        if (c.out.isEmpty())
            refuse(c.socket, P::Refusal::ServerStop, QStringLiteral("the server is stopping"));
        else
            c.socket->abort();
    }
}
