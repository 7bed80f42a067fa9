#pragma once

#include "AgentDirectory.h"
#include "DirectoryProtocol.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

class QTcpSocket;

// The agent directory's client: the agent automation server's operations
// over zorsrv's directory protocol. Each wait lets the program's events run
// and ends at a deadline of RecvTimeout seconds, as the gateway's waits do;
// the window never blocks.
namespace DirectoryClient {

using AgentDirectory::Error;

// Error numbers besides AgentDirectory::RemoteUnavailable (462, the link was
// open and the machine can no longer be reached) and NoAgentTable
// (0x80040068, the table cannot be read): each names what a supervisor can
// check.
inline constexpr qint32 BrokenAnswer = qint32(0x80040069u);       // not the directory's protocol
inline constexpr qint32 RefusedByDirectory = qint32(0x8004006Au); // a refusal frame
inline constexpr qint32 LinkNotOpen = qint32(0x8004006Bu);        // no OpenLink before
inline constexpr qint32 InvalidArgument = qint32(0x80070057u);    // ServerPort out of range
inline constexpr qint32 ConnectionRefused = qint32(0x800704C9u);  // nobody listening
inline constexpr qint32 HostUnreachable = qint32(0x800704D0u);    // no route to the machine
inline constexpr qint32 TimedOut = qint32(0x800705B4u);           // no greeting in time
inline constexpr qint32 HostNotFound = qint32(0x80072AF9u);       // the name does not resolve

// One link to the directory, with the three properties the caller writes
// before OpenLink. Extension is kept for the caller; version 1 of the
// protocol does not send it.
struct Link
{
    QString ServerAddress;
    qint32 ServerPort = 0;
    QString Extension;

    QPointer<QTcpSocket> socket; // while the link is open
    QByteArray received;         // bytes of the next frame read so far
};

// Each returns its failure, or an error with number 0.
// Connects to ServerAddress:ServerPort and takes the directory's greeting.
Error OpenLink(Link& link);
// Asks for the agent table: the agents in ascending number order.
Error GetAgentNameList(Link& link, DirectoryProtocol::Entries& agents);
// Closes the link; harmless when it is not open.
void CloseLink(Link& link);

// A new agent automation server object over a link of its own: its
// operations throw the errors above.
AgentDirectory::Connection create();

// Makes this client the program's agent automation server.
void install();

} // namespace DirectoryClient
