#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The records zorsrv keeps: record -1 is the supervisor settings record,
// record n >= 0 the rights record of agent n + 1.
namespace Records {

inline constexpr int DefaultAgents = 9999;

// The size of the record's data part: 292 for the supervisor, 464 for an agent.
int dataSize(qint32 record);

// Whether the record number exists in a table of that many agents.
bool inTable(qint32 record, int agents);

// The data part of a record never written: -1 in every 32-bit field that the
// client validates or replaces, zero bytes everywhere else.
QByteArray unset(qint32 record);

// "supervisor" or "agent N".
QString label(qint32 record);

} // namespace Records
