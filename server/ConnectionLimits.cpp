#include "ConnectionLimits.h"

#include <array>
#include <utility>

namespace ConnectionLimits {

Check check(const Settings& settings, const Clock& clock, qint64 now)
{
    // Each limit with its deadline; -1 for the ones that do not apply.
    const std::array<std::pair<Limit, qint64>, 4> deadlines = {{
        {Limit::Login, clock.loggedIn ? -1 : clock.connectedAt + settings.loginMs},
        {Limit::Idle, clock.lastMessageAt + settings.idleMs},
        {Limit::Message,
         clock.messageStartedAt < 0 ? -1 : clock.messageStartedAt + settings.messageMs},
        {Limit::Reading, clock.pausedAt < 0 ? -1 : clock.pausedAt + settings.messageMs},
    }};
    std::pair<Limit, qint64> first = {Limit::None, -1};
    for (const auto& d : deadlines) {
        if (d.second >= 0 && (first.second < 0 || d.second < first.second))
            first = d;
    }
    if (first.second >= 0 && first.second <= now)
        return {first.first, 0};
    return {Limit::None, first.second - now};
}

std::optional<Subnet> parseSubnet(const QString& text)
{
    if (!text.contains(QLatin1Char('/'))) {
        // A bare address stands for itself.
        QHostAddress address;
        if (!address.setAddress(text))
            return std::nullopt;
        return Subnet{address, address.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
    }
    const Subnet subnet = QHostAddress::parseSubnet(text);
    if (subnet.first.isNull())
        return std::nullopt;
    return subnet;
}

bool allowed(const QList<Subnet>& subnets, const QHostAddress& peer)
{
    if (subnets.isEmpty())
        return true;
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    const QHostAddress address = isV4 ? QHostAddress(v4) : peer;
    for (const Subnet& s : subnets) {
        if (address.isInSubnet(s))
            return true;
    }
    return false;
}

} // namespace ConnectionLimits
