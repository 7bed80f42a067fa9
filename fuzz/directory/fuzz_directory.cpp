// Feeds arbitrary bytes to the agent directory's readers: as a stream of
// frames received in chunks by a server or by a client, and as a CSV file of
// the agents commands. Whatever a reader accepts must write back to the same
// bytes (frames) or read back to the same agents (CSV).
#include "AgentAdmin.h"
#include "DirectoryProtocol.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace P = DirectoryProtocol;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkFrame(const QByteArray& frame, const P::Scan& scan)
{
    check(scan.size >= P::HeaderSize && scan.size == frame.size());
    const QByteArrayView payload = P::payloadOf(frame);
    if (scan.type == P::Agents) {
        QString reason;
        const std::optional<P::Entries> entries = P::readAgents(payload, &reason);
        check(entries.has_value() == reason.isEmpty());
        // The encoding is canonical: what reads back writes the same bytes.
        if (entries && scan.version == P::Version)
            check(P::agents(*entries) == frame);
    } else if (scan.type == P::Refused) {
        const std::optional<P::RefusalInfo> refusal = P::readRefusal(payload);
        check(refusal.has_value() == (payload.size() >= 4));
    }
}

// The stream as one side reads it, in chunks of the given size.
void readStream(QByteArrayView input, qsizetype chunk, qint64 (*bound)(quint8))
{
    QByteArray pending;
    for (qsizetype offset = 0; offset < input.size(); offset += chunk) {
        pending.append(input.sliced(offset, std::min(chunk, input.size() - offset)));
        for (;;) {
            const P::Scan scan = P::scan(pending, bound);
            if (scan.status == P::Status::Invalid) {
                check(!scan.reason.isEmpty());
                return; // the reader closes the connection
            }
            if (scan.status == P::Status::Incomplete)
                break;
            check(bound(scan.type) >= scan.size - P::HeaderSize);
            checkFrame(pending.left(scan.size), scan);
            pending.remove(0, scan.size);
        }
    }
}

void readCsv(QByteArrayView input)
{
    const AgentAdmin::Csv csv = AgentAdmin::readCsv(input);
    check(csv.entries.has_value() == csv.error.isEmpty());
    if (!csv.entries)
        return;
    for (const P::Entry& e : *csv.entries)
        check(P::checkEntry(e).isEmpty());
    const AgentAdmin::Csv again = AgentAdmin::readCsv(AgentAdmin::writeCsv(*csv.entries));
    check(again.entries == csv.entries);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the reader and the chunk size.
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype chunk = (data[0] >> 2) * 7 + 1;
    switch (data[0] & 3) {
    case 0:
        readStream(input, chunk, &P::clientPayloadBound);
        break;
    case 1:
    case 2:
        readStream(input, chunk, &P::serverPayloadBound);
        break;
    default:
        readCsv(input);
        break;
    }
    return 0;
}
