// The agent directory's client.
//
// Which failure gets which number:
// - before the link is open: the socket's own reason (connection refused,
//   name not found, machine unreachable), a time-out waiting for the
//   greeting, a refusal frame, or bytes that are not the greeting (the
//   address and port of something else);
// - once the link is open: a connection that closes or fails, or an answer
//   that does not come within the time-out, is 462, the machine can no longer
//   be reached; a refusal frame and a broken answer keep their numbers, but
//   a table the directory cannot read (refusal -9) and an empty one are
//   0x80040068. A fresh directory without agents refuses the link itself.
// Any failure of GetAgentNameList closes the link. The descriptions are
// texts of the current language; the details they quote (the protocol's
// reasons, the directory's own words, the system's) are not.

#include "DirectoryClient.h"

#include "SettingsMessages.h"
#include "Variables.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <memory>
#include <utility>

namespace DirectoryClient {

namespace {

namespace P = DirectoryProtocol;
using SettingsMessages::text;

constexpr qint64 ReadPiece = 64 * 1024;

enum class Outcome
{
    Frame,
    TimedOut,
    Closed,
    Invalid
};

struct Received
{
    Outcome outcome = Outcome::TimedOut;
    P::Scan scan;
    QByteArray frame;
};

QString where(const Link& link)
{
    return QStringLiteral("%1:%2").arg(link.ServerAddress).arg(link.ServerPort);
}

// Lets the program's events run until done() is true or the deadline has
// passed; sleeps in the event loop in between, waking for the socket, the
// deadline or any other event.
template <typename Done> bool waitUntil(Done done, const QDeadlineTimer& deadline)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        wake.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Reads the next frame of the link, bounded by what a server may send.
Received readFrame(Link& link, const QDeadlineTimer& deadline)
{
    Received r;
    QTcpSocket* socket = link.socket;
    const auto settled = [&] {
        // Everything the socket holds now, as far as the frame goes: the
        // socket may have taken in more than one piece on a single wake-up,
        // and nothing wakes the wait for bytes already taken in.
        while (r.scan.status == P::Status::Incomplete && socket->bytesAvailable() > 0) {
            const qsizetype held = link.received.size();
            link.received.resize(held + std::min(socket->bytesAvailable(), ReadPiece));
            const qint64 got =
                socket->read(link.received.data() + held, link.received.size() - held);
            link.received.resize(held + std::max<qint64>(got, 0));
            r.scan = P::scan(link.received, &P::serverPayloadBound);
        }
        return r.scan.status != P::Status::Incomplete ||
               (socket->state() == QAbstractSocket::UnconnectedState &&
                socket->bytesAvailable() == 0);
    };
    r.scan = P::scan(link.received, &P::serverPayloadBound);
    if (!waitUntil(settled, deadline))
        return r;
    if (r.scan.status == P::Status::Invalid) {
        r.outcome = Outcome::Invalid;
    } else if (r.scan.status == P::Status::Frame) {
        r.outcome = Outcome::Frame;
        r.frame = std::exchange(link.received, link.received.sliced(r.scan.size));
        r.frame.truncate(r.scan.size);
    } else {
        r.outcome = Outcome::Closed;
    }
    return r;
}

Error broken(const Link& link, const QString& reason)
{
    return {BrokenAnswer, text(1355, {where(link), reason})};
}

// The error of a frame that is not the one expected: a refusal, another
// version, or another type.
Error unexpected(const Link& link, const Received& r)
{
    if (r.scan.type == P::Refused) {
        const std::optional<P::RefusalInfo> refusal = P::readRefusal(P::payloadOf(r.frame));
        if (refusal)
            return {refusal->code == P::Refusal::StorageFailure ? AgentDirectory::NoAgentTable
                                                                : RefusedByDirectory,
                    text(1356, {where(link), refusal->reason, QString::number(refusal->code)})};
    }
    return broken(link,
                  text(1361, {QString::number(r.scan.type), QString::number(r.scan.version)}));
}

Error socketError(const Link& link, QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {ConnectionRefused, text(1350, {where(link)})};
    case QAbstractSocket::HostNotFoundError:
        return {HostNotFound, text(1351, {link.ServerAddress})};
    default:
        return {HostUnreachable, text(1352, {where(link), link.socket->errorString()})};
    }
}

Error lost(const Link& link)
{
    return {AgentDirectory::RemoteUnavailable, text(1353, {where(link)})};
}

QDeadlineTimer deadline()
{
    return QDeadlineTimer(std::chrono::seconds(std::max<qint64>(1, RecvTimeout)));
}

} // namespace

Error OpenLink(Link& link)
{
    CloseLink(link);
    if (link.ServerPort < 1 || link.ServerPort > 65535)
        return {InvalidArgument, text(1357, {QString::number(link.ServerPort)})};
    link.socket = new QTcpSocket(QCoreApplication::instance());
    link.socket->connectToHost(link.ServerAddress, quint16(link.ServerPort));
    const Received r = readFrame(link, deadline());
    Error error;
    if (r.outcome == Outcome::TimedOut)
        error = {TimedOut,
                 text(1354, {where(link), QString::number(std::max<int>(1, RecvTimeout))})};
    else if (r.outcome == Outcome::Closed &&
             link.socket->error() != QAbstractSocket::RemoteHostClosedError)
        error = socketError(link, link.socket->error());
    else if (r.outcome == Outcome::Closed)
        error = broken(link, text(1360));
    else if (r.outcome == Outcome::Invalid)
        error = broken(link, r.scan.reason);
    else if (r.scan.type != P::Hello)
        error = unexpected(link, r);
    if (error.number != 0)
        CloseLink(link);
    return error;
}

Error GetAgentNameList(Link& link, DirectoryProtocol::Entries& agents)
{
    agents.clear();
    if (!link.socket)
        return {LinkNotOpen, text(1358)};
    Error error;
    if (link.socket->state() != QAbstractSocket::ConnectedState ||
        link.socket->write(P::frame(P::List)) < 0) {
        error = lost(link);
    } else {
        const Received r = readFrame(link, deadline());
        QString reason;
        std::optional<P::Entries> table;
        if (r.outcome == Outcome::TimedOut || r.outcome == Outcome::Closed)
            error = lost(link);
        else if (r.outcome == Outcome::Invalid)
            error = broken(link, r.scan.reason);
        else if (r.scan.type != P::Agents || r.scan.version != P::Version)
            error = unexpected(link, r);
        else if (!(table = P::readAgents(P::payloadOf(r.frame), &reason)))
            error = broken(link, reason);
        else if (table->isEmpty())
            error = {AgentDirectory::NoAgentTable, text(1359, {where(link)})};
        else
            agents = *table;
    }
    if (error.number != 0)
        CloseLink(link);
    return error;
}

AgentDirectory::Connection create()
{
    const auto link = std::make_shared<Link>();
    const auto check = [](const Error& error) {
        if (error.number != 0)
            throw error;
    };
    AgentDirectory::Connection c;
    c.ServerAddress = [link](const QString& address) { link->ServerAddress = address; };
    c.ServerPort = [link](qint32 port) { link->ServerPort = port; };
    c.Extension = [link](const QString& extension) { link->Extension = extension; };
    c.OpenLink = [link, check] { check(OpenLink(*link)); };
    c.CloseLink = [link] { CloseLink(*link); };
    c.GetAgentNameList = [link, check] {
        DirectoryProtocol::Entries agents;
        check(GetAgentNameList(*link, agents));
        QList<AgentDirectory::AgentNameEntry> table;
        table.reserve(agents.size());
        for (const DirectoryProtocol::Entry& e : std::as_const(agents))
            table.append({e.number, e.name, e.group});
        return table;
    };
    return c;
}

void install()
{
    AgentDirectory::install(&create);
}

void CloseLink(Link& link)
{
    if (link.socket) {
        link.socket->abort();
        link.socket->deleteLater();
    }
    link.socket = nullptr;
    link.received.clear();
}

} // namespace DirectoryClient
