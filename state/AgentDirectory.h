#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

// The agent automation server: the program of the suite that knows the
// agents' numbers and names. The agents list makes one object of it each time
// it is built, sets the server's address, port and extension, opens the link,
// reads the agents table and closes the link.
//
// An implementation is a set of operations; each either does its work or
// throws AgentDirectory::Error. The build installs its implementation with
// install(); without one, create() fails with NoDirectory, and the agents list
// falls back to its fixed table.
namespace AgentDirectory {

// One element of the agents table.
struct AgentNameEntry
{
    qint32 number = 0;
    QString name;
    QVariant third; // carried, not used by this program
};

// A failure of the server or of its creation: a number and a description.
struct Error
{
    qint32 number = 0;
    QString description;
};

// Numbers the agents list tells apart.
inline constexpr qint32 NoAgentTable = qint32(0x80040068u); // the table cannot be read
inline constexpr qint32 RemoteUnavailable = 462;            // the server's machine is gone
inline constexpr qint32 CannotCreate = 429;                 // no server object can be made

// One server object, as created.
struct Connection
{
    std::function<void(const QString& address)> ServerAddress;
    std::function<void(qint32 port)> ServerPort;
    std::function<void(const QString& extension)> Extension;
    std::function<void()> OpenLink;
    std::function<void()> CloseLink;
    std::function<QList<AgentNameEntry>()> GetAgentNameList;
};

// Makes a new server object, or throws Error.
using Factory = std::function<Connection()>;

// Installs the implementation; an empty factory goes back to none.
void install(Factory factory);

// A new server object from the installed implementation. Without one, throws
// Error{CannotCreate, "no agent directory"}.
Connection create();

} // namespace AgentDirectory
