#include "RemoteExchange.h"

#include "BlockLibrary.h"
#include "Conversions.h"
#include "Cp1252.h"
#include "GatewayCodes.h"
#include "Layout.h"
#include "Passerelle.h"
#include "Variables.h"

#include <algorithm>
#include <limits>

namespace RemoteExchange {

bool OpenOrReport(bool* valide)
{
    const qint16 code =
        Passerelle::OpenSession(GatewayCodes::ApplicationKey, GatewayCodes::ApplicationCode);
    if (code == Passerelle::Success)
        return true;
    const bool answer = Passerelle::ReportGatewayError(code);
    if (valide)
        *valide = answer;
    return false;
}

bool Exchange(int length, bool* valide)
{
    GatewayBlockBytes& block = Passerelle::GatewayBlock;
    qint16 code = Passerelle::SendBlock(block, length);
    if (code == Passerelle::Success)
        code = Passerelle::ReceiveBlock(block, Layout::BlockSize);
    if (code == Passerelle::Success)
        return true;
    const bool answer = Passerelle::ReportGatewayError(code);
    if (valide)
        *valide = answer;
    return false;
}

qint32 RecordNumberOf(const AgentsList::Row& row)
{
    // The leading number of the text, as the list shows it; a number too
    // large for a record number is held at the limit.
    const double number = Conversions::Val(Cp1252::fromUnicode(row.cells[AgentsList::ColNumber]));
    constexpr double low = std::numeric_limits<qint32>::min();
    constexpr double high = std::numeric_limits<qint32>::max();
    return Conversions::toInt32(std::clamp(number - 1, low, high));
}

void ReadAgentRecord(const AgentsList::Row& row)
{
    quint8* header = Passerelle::GatewayBlock.data();
    Klt::Clear_Bloc_Entete(header);
    Layout::writeInt(header, Layout::Header::Request, Layout::RequestRead);
    Layout::writeInt(header, Layout::Header::Record, RecordNumberOf(row));
    Exchange(Layout::HeaderSize);
    Klt::copy_mem(header, Layout::AgentRecordSize, Passerelle::AgentRecord.data());
}

} // namespace RemoteExchange
