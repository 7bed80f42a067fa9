// Feeds arbitrary bytes to zorsrv's framing as a connection would receive
// them, in chunks, and every whole message to a session, checking the
// invariants the server relies on.
#include "Framing.h"
#include "Layout.h"
#include "Records.h"
#include "Session.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, so messages split at many places.
    const qsizetype chunk = data[0] * 37 + 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    Session session(QByteArray(32, '\x5A'), 100);
    QByteArray pending;
    bool afterMessage = false;
    for (qsizetype offset = 0; offset < input.size(); offset += chunk) {
        pending.append(input.mid(offset, chunk));
        for (;;) {
            const Framing::Scan scan = Framing::scan(pending, afterMessage);
            check((scan.skip == 0 || scan.skip == 1) && scan.skip <= pending.size());
            if (scan.skip > 0 || !pending.isEmpty())
                afterMessage = false;
            pending.remove(0, scan.skip);
            if (scan.status == Framing::Status::Invalid)
                return 0; // the server refuses and closes
            if (scan.status == Framing::Status::Incomplete)
                break;
            check((scan.size == Layout::HeaderSize || scan.size == Layout::BlockSize) &&
                  scan.size <= pending.size());
            const QByteArray message = pending.left(scan.size);
            pending.remove(0, scan.size);
            afterMessage = true;
            const Session::Step step = session.handle(message);
            switch (step.action) {
            case Session::Action::Read:
                check(Records::inTable(step.record, 100) && session.loggedIn());
                break;
            case Session::Action::Write:
                check(session.loggedIn() && step.data.size() == Records::dataSize(step.record));
                break;
            case Session::Action::Reply:
            case Session::Action::RefuseAndClose:
                check(step.answer.size() == Layout::HeaderSize);
                break;
            }
        }
    }
    return 0;
}
