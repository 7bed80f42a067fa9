#pragma once

#include "HistoryProtocol.h"

#include <QtGlobal>

// Reading the configuration server's history (HistoryProtocol), for the
// History window and zoradm. Each fetch has a session of its own and a block
// of its own: the transfers' exchange block keeps what they left in it.
// Nothing is reported and nothing ends the program: the caller says what a
// failure means.
namespace HistoryTransfer {

enum class Outcome
{
    Page,    // the server answered with a page
    Refused, // it refused the request or answered something else: it keeps no history
    Failed   // no session (shared-folder mode, no server, a time-out, a refused login)
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    HistoryProtocol::Page page;
    qint16 code = 0; // the gateway's code, or the server's refusal
};

Result Fetch(const HistoryProtocol::Query& query);

// Whether the server answers the history request (in server mode only),
// asked with a one-row page; the answer is kept in ServerAnswers.
bool Probe();
extern bool ServerAnswers;

} // namespace HistoryTransfer
