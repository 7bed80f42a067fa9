#pragma once

#include "AdminCommandLine.h"
#include "HistoryProtocol.h"

#include <QString>

#include <optional>

// zoradm history: the configuration server's history of writes, newest
// first, as text or as JSON.
namespace AdminHistory {

// The query of the command line's --agent, --since and --until; nothing, with
// the reason, when one of them is not valid.
std::optional<HistoryProtocol::Query> QueryOf(const AdminCommandLine::Options& options,
                                              QString* error);

// Prints every row of the query, fetching page after page. An exit code.
int Run(const HistoryProtocol::Query& query, bool json);

// A row as one line and one indented line per change, and as a JSON object.
QString Text(const HistoryProtocol::Row& row);
QString Json(const HistoryProtocol::Row& row);

} // namespace AdminHistory
