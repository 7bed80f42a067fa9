#include "Session.h"

#include "BlockLibrary.h"
#include "Framing.h"
#include "GatewayCodes.h"
#include "Layout.h"
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
