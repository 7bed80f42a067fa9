#include "HistoryTransfer.h"

#include "GatewayCodes.h"
#include "Layout.h"
#include "Passerelle.h"
#include "Variables.h"

#include <algorithm>

namespace HistoryTransfer {

bool ServerAnswers = false;

Result Fetch(const HistoryProtocol::Query& query)
{
    Result result;
    if (Parametres.TcpPort == 0)
        return result;
    result.code =
        Passerelle::OpenSession(GatewayCodes::ApplicationKey, GatewayCodes::ApplicationCode);
    if (result.code == Passerelle::Success) {
        GatewayBlockBytes block;
        HistoryProtocol::writeQuery(block.data(), query);
        result.code = Passerelle::SendBlock(block, Layout::HeaderSize);
        if (result.code == Passerelle::Success)
            result.code = Passerelle::ReceiveBlock(block, Layout::BlockSize);
        const qint32 length = std::clamp(Layout::readInt(block.data(), Layout::Header::DataLength),
                                         0, Layout::DataSize);
        const std::optional<HistoryProtocol::Page> page =
            result.code == Passerelle::Success ? HistoryProtocol::decodePage(QByteArrayView(
                                                     block.data() + Layout::HeaderSize, length))
                                               : std::nullopt;
        if (page)
            result = {Outcome::Page, *page, result.code};
        else if (result.code == Passerelle::Success || result.code < 0)
            result.outcome = Outcome::Refused;
    }
    Passerelle::CloseSession();
    return result;
}

bool Probe()
{
    HistoryProtocol::Query query;
    query.rows = 1;
    ServerAnswers = Parametres.TcpPort != 0 && Fetch(query).outcome == Outcome::Page;
    return ServerAnswers;
}

} // namespace HistoryTransfer
