#include "Session.h"

#include "BlockLibrary.h"
#include "Cp1252.h"
#include "Framing.h"
#include "GatewayCodes.h"
#include "HistoryProtocol.h"
#include "Layout.h"
#include "RecordFields.h"
#include "Records.h"

#include <utility>

Session::Session(QByteArray nonce, int agents) : m_nonce(std::move(nonce)), m_agents(agents) {}

QByteArray Session::greeting() const
{
    return Framing::greeting(m_nonce);
}

Session::Step Session::handle(QByteArrayView message)
{
    if (message.size() != Layout::HeaderSize && message.size() != Layout::BlockSize)
        return {Action::RefuseAndClose, Framing::refusal(Framing::Refusal::BadMessage), 0, 0, {}};
    const auto* header = reinterpret_cast<const quint8*>(message.data());
    const qint32 request = Layout::readInt(header, Layout::Header::Request);
    const qint32 record = Layout::readInt(header, Layout::Header::Record);
    switch (request) {
    case Layout::RequestOpenSession:
        return login(header);
    case Layout::RequestRead:
    case Layout::RequestWrite:
        return recordRequest(request, record, message);
    case HistoryProtocol::Request:
        return history(header);
    default:
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::UnknownRequest, request, record),
                request,
                record,
                {}};
    }
}

Session::Step Session::login(const quint8* header)
{
    const qint32 request = Layout::RequestOpenSession;
    const qint32 application = Layout::readInt(header, Layout::Header::Application);
    // Every attempt spends the nonce: a login can be tried once per greeting.
    const bool fresh = !std::exchange(m_nonceUsed, true);
    if (application != GatewayCodes::ApplicationCode)
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::UnknownApplication, request, 0),
                request,
                0,
                {}};
    if (!fresh || !Klt::loginKeyMatches(header, GatewayCodes::ApplicationKey, m_nonce))
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::BadPassword, request, 0),
                request,
                0,
                {}};
    m_loggedIn = true;
    m_client = HistoryProtocol::clientName(Layout::readInt(header, HistoryProtocol::ClientOffset));
    m_login = Cp1252::toUnicode(
        Klt::conv_t6200_string(header + HistoryProtocol::LoginOffset, HistoryProtocol::LoginWidth));
    for (QChar& c : m_login) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    }
    return {Action::Reply, Framing::answer(request, 0), request, 0, {}};
}

Session::Step Session::recordRequest(qint32 request, qint32 record, QByteArrayView message)
{
    if (!m_loggedIn)
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::BadPassword, request, record),
                request,
                record,
                {}};
    if (!Records::inTable(record, m_agents))
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::TableFull, request, record),
                request,
                record,
                {}};
    if (request == Layout::RequestRead)
        return {Action::Read, {}, request, record, {}};
    if (message.size() != Layout::BlockSize)
        return {Action::Reply,
                Framing::refusal(Framing::Refusal::UnknownRequest, request, record),
                request,
                record,
                {}};
    const QByteArray data =
        message.sliced(Layout::HeaderSize, Records::dataSize(record)).toByteArray();
    return {Action::Write, {}, request, record, data};
}

Session::Step Session::history(const quint8* header)
{
    const qint32 request = HistoryProtocol::Request;
    const HistoryProtocol::Query query = HistoryProtocol::readQuery(header);
    qint32 refusal = 0;
    if (!m_loggedIn)
        refusal = Framing::Refusal::BadPassword;
    else if (query.record != HistoryProtocol::AllRecords &&
             !Records::inTable(query.record, m_agents))
        refusal = Framing::Refusal::TableFull;
    else if (query.rows < 1 ||
             (!query.field.isEmpty() && !RecordFields::isSupervisorField(query.field) &&
              !RecordFields::isAgentField(query.field)))
        refusal = Framing::Refusal::UnknownRequest;
    if (refusal != 0)
        return {Action::Reply,
                Framing::refusal(refusal, request, query.record),
                request,
                query.record,
                {}};
    return {Action::History,
            {},
            request,
            query.record,
            QByteArray(reinterpret_cast<const char*>(header), Layout::HeaderSize)};
}
