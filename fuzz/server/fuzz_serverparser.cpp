// Feeds arbitrary bytes to zorsrv's own framing reader as a connection
// would receive them, in chunks, and every whole message to a session, checking the
// invariants the server relies on. The same bytes are also read as a page of
// the history (what the tool reads from a server): a page that reads writes
// the same bytes again.
#include "Framing.h"
#include "HistoryProtocol.h"
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
    if (const std::optional<HistoryProtocol::Page> page = HistoryProtocol::decodePage(input)) {
        QByteArrayList rows;
        for (const HistoryProtocol::Row& row : page->rows)
            rows << HistoryProtocol::encodeRow(row);
        check(HistoryProtocol::encodePage(rows, page->more, page->nextTime, page->nextId) == input);
    }
    Session session(QByteArray(32, '\x5A'), 100);
    Framing::Reader reader;
    QByteArray message;
    for (qsizetype offset = 0; offset < input.size(); offset += chunk) {
        reader.pending.append(input.mid(offset, chunk));
        for (;;) {
            const qsizetype before = reader.pending.size();
            const Framing::Status status = Framing::next(reader, message);
            if (status == Framing::Status::Invalid)
                return 0; // the server refuses and closes
            if (status == Framing::Status::Incomplete) {
                // At most the one zero byte after a message is dropped.
                check(before - reader.pending.size() <= 1);
                break;
            }
            check((message.size() == Layout::HeaderSize || message.size() == Layout::BlockSize) &&
                  before - reader.pending.size() - message.size() <= 1 && reader.afterMessage);
            const Session::Step step = session.handle(message);
            switch (step.action) {
            case Session::Action::Read:
                check(Records::inTable(step.record, 100) && session.loggedIn());
                break;
            case Session::Action::Write:
                check(session.loggedIn() && step.data.size() == Records::dataSize(step.record));
                break;
            case Session::Action::History: {
                const HistoryProtocol::Query query = HistoryProtocol::readQuery(
                    reinterpret_cast<const quint8*>(step.data.constData()));
                check(session.loggedIn() && query.rows >= 1 && query.record == step.record &&
                      (query.record == HistoryProtocol::AllRecords ||
                       Records::inTable(query.record, 100)));
                break;
            }
            case Session::Action::Reply:
            case Session::Action::RefuseAndClose:
                check(step.answer.size() == Layout::HeaderSize);
                break;
            }
        }
    }
    return 0;
}
