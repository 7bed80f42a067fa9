#include "Listener.h"

#include <QRandomGenerator>

namespace {

constexpr quint16 LowestChosenPort = 20000;
constexpr int Tries = 200;

} // namespace

bool Listener::listenForStations(const QHostAddress& address, quint16 port)
{
    if (port != 0)
        return listen(address, port);
    for (int i = 0; i < Tries; ++i) {
        const auto chosen = quint16(QRandomGenerator::global()->bounded(
            int(LowestChosenPort), int(HighestStationPort) + 1));
        if (listen(address, chosen))
            return true;
        if (serverError() != QAbstractSocket::AddressInUseError)
            return false;
    }
    return false;
}
