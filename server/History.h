#pragma once

#include "HistoryProtocol.h"

#include <QByteArray>

class Storage;

// zorsrv's answer to the history request: a page of the audit trail, newest
// first, each row with the fields its write changed, decoded.
namespace History {

// Rows examined for one answer when only the changes of one field are asked
// for: a rare field cannot make one request read the whole trail.
inline constexpr int MaxExamined = 2000;

// The whole answer (header and page), or a refusal when the audit cannot be
// read. The query has passed the session's checks.
QByteArray answer(Storage& storage, const HistoryProtocol::Query& query);

} // namespace History
