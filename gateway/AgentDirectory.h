#pragma once

#include "DirectoryProtocol.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

class QTcpSocket;

// The agent directory's client: the operations the agents list asks of the
// agent automation server, over zorsrv's directory protocol. Each wait lets
// the program's events run and ends at a deadline of RecvTimeout seconds, as
// the gateway's waits do; the window never blocks.
namespace AgentDirectory {

// Error numbers. 462 and 0x80040068 are those the agents list reacts to;
// the others name what a supervisor can check.
inline constexpr qint32 RemoteUnavailable = 462;                 // link lost after OpenLink
inline constexpr qint32 NoAgentTable = qint32(0x80040068);       // the table is empty
inline constexpr qint32 BrokenAnswer = qint32(0x80040069);       // not the directory's protocol
inline constexpr qint32 RefusedByDirectory = qint32(0x8004006A); // a refusal frame
inline constexpr qint32 LinkNotOpen = qint32(0x8004006B);        // no OpenLink before
inline constexpr qint32 InvalidArgument = qint32(0x80070057);    // ServerPort out of range
inline constexpr qint32 ConnectionRefused = qint32(0x800704C9);  // nobody listening
inline constexpr qint32 HostUnreachable = qint32(0x800704D0);    // no route to the machine
inline constexpr qint32 TimedOut = qint32(0x800705B4);           // no greeting in time
inline constexpr qint32 HostNotFound = qint32(0x80072AF9);       // the name does not resolve

struct Error
{
    qint32 number = 0; // 0: no error
    QString description;
    bool failed() const { return number != 0; }
};

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

// Connects to ServerAddress:ServerPort and takes the directory's greeting.
Error OpenLink(Link& link);
// Asks for the agent table: the agents in ascending number order.
Error GetAgentNameList(Link& link, DirectoryProtocol::Entries& agents);
// Closes the link; harmless when it is not open.
void CloseLink(Link& link);

} // namespace AgentDirectory
