#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

#include <optional>

// Who may hold one of the server's places, and for how long without doing
// its part: log in, send whole messages, read its answers.
namespace ConnectionLimits {

struct Settings
{
    int loginMs = 30000;   // from the greeting to an accepted login
    int idleMs = 120000;   // between two whole messages
    int messageMs = 10000; // from a message's first byte to its last; also the
                           // time a client whose answers pile up has to read them
};

// What the server knows of one connection, in milliseconds of a monotonic clock.
struct Clock
{
    qint64 connectedAt = 0;
    qint64 lastMessageAt = 0;     // the last whole message, or the greeting
    qint64 messageStartedAt = -1; // the first byte of a message not yet whole
    qint64 pausedAt = -1;         // since when unread answers stop its requests
    bool loggedIn = false;
};

enum class Limit
{
    None,
    Login,
    Idle,
    Message,
    Reading
};

struct Check
{
    Limit passed = Limit::None; // the first limit the connection has passed
    qint64 nextMs = 0;          // otherwise the time until the next limit
};

Check check(const Settings& settings, const Clock& clock, qint64 now);

// A subnet of --allow: "ADDR/PREFIX", or a bare address for itself alone.
using Subnet = QPair<QHostAddress, int>;
std::optional<Subnet> parseSubnet(const QString& text);

// True when no subnet is given, or when the peer is in one of them. An IPv4
// peer seen through an IPv6 socket counts as its IPv4 address.
bool allowed(const QList<Subnet>& subnets, const QHostAddress& peer);

// The places each peer address holds, so that one address cannot hold them
// all (--max-per-peer). An IPv4 peer seen through an IPv6 socket is its IPv4
// address.
using PeerPlaces = QHash<QString, int>;

// --max-per-peer when it is not given: a tenth of the connections, rounded up.
int defaultPerPeer(int maxConnections);
// Takes a place for the peer; false when it holds maxPerPeer already.
bool takePlace(PeerPlaces& places, const QHostAddress& peer, int maxPerPeer);
// Gives back a place takePlace() gave.
void leavePlace(PeerPlaces& places, const QHostAddress& peer);

} // namespace ConnectionLimits
