#pragma once

#include "AgentsList.h"
#include "Layout.h"

// The steps the four transfers share: opening a session with the application
// key, one request and its answer, reading an agent's record.
namespace RemoteExchange {

// OpenSession with the application key and code; a failure is reported.
// True when the session is open. After a local time-out the report has shown
// the connection dialog; valide (when given) receives its answer.
bool OpenOrReport(bool* valide = nullptr);

// Sends the first length bytes of the exchange block and takes the answer
// into it; each failure is reported. True when a whole answer arrived. After
// a local time-out the answer is not there and nothing of the block may be
// used as if it were; valide (when given) receives the dialog's answer.
bool Exchange(int length, bool* valide = nullptr);

// The record number of a row: its agent number minus 1.
qint32 RecordNumberOf(const AgentsList::Row& row);

// Reads the row's agent record into AgentRecord: cleared header, request 400,
// the record number, the exchange (a failure is reported), 976 bytes copied.
// After a local time-out the transfer goes on with its next step, as every
// transfer does: the block is copied as it is, and the next send fails with
// NotConnected (the wait dropped the connection), which ends the program.
void ReadAgentRecord(const AgentsList::Row& row);

} // namespace RemoteExchange
