#pragma once

#include <QtGlobal>

// The facts of the gateway protocol that both ends share: the application's
// login and the error codes a server refuses a request with.
namespace GatewayCodes {

// The login of this tool: its key text, enciphered into the login header,
// and its application code.
inline constexpr const char* ApplicationKey = "5204";
inline constexpr qint32 ApplicationCode = 2;

// The error codes of a refusal (status 2 at offset 256, the code at offset
// 272). The tool names the first six in its failure message; any other code
// is a refusal all the same.
namespace Refusal {
inline constexpr qint32 TableFull = -1;          // record number beyond the table
inline constexpr qint32 Stalled = -2;            // client stopped in the middle of a message
inline constexpr qint32 ServerStop = -3;         // server shutting down
inline constexpr qint32 TooManyConnections = -4; // connection limit reached
inline constexpr qint32 BadPassword = -5;        // bad login, or a request before login
inline constexpr qint32 UnknownApplication = -6; // login with an application code other than 2
inline constexpr qint32 BadMessage = -7;         // bytes that are not a message; then closed
inline constexpr qint32 UnknownRequest = -8;     // unknown request code, or a write without data
inline constexpr qint32 StorageFailure = -9;     // the write could not be committed
} // namespace Refusal

} // namespace GatewayCodes
