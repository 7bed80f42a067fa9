#include "ConnectionLimits.h"

#include <algorithm>
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

namespace {

QHostAddress plain(const QHostAddress& peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : peer;
}

} // namespace

bool allowed(const QList<Subnet>& subnets, const QHostAddress& peer)
{
    if (subnets.isEmpty())
        return true;
    const QHostAddress address = plain(peer);
    for (const Subnet& s : subnets) {
        if (address.isInSubnet(s))
            return true;
    }
    return false;
}

int defaultPerPeer(int maxConnections)
{
    return std::max(1, maxConnections / 10 + (maxConnections % 10 != 0 ? 1 : 0));
}

bool takePlace(PeerPlaces& places, const QHostAddress& peer, int maxPerPeer)
{
    const QString key = plain(peer).toString();
    if (places.value(key) >= maxPerPeer)
        return false;
    ++places[key];
    return true;
}

void leavePlace(PeerPlaces& places, const QHostAddress& peer)
{
    const auto found = places.find(plain(peer).toString());
    if (found != places.end() && --*found <= 0)
        places.erase(found);
}

} // namespace ConnectionLimits
