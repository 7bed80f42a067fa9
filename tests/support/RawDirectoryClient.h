#pragma once

#include "DirectoryProtocol.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <utility>

// A blocking client of zorsrv's agent directory for tests: each call waits
// on the socket itself, so it needs no event loop.
class RawDirectoryClient
{
public:
    // One answer: the Agents frame (code 0) with its table, a refusal (its
    // code), or 1 when no whole frame came.
    struct Answer
    {
        qint32 code = 1;
        DirectoryProtocol::Entries agents;
    };

    bool connectTo(quint16 port);
    bool send(const QByteArray& bytes);
    // The next frame as type and payload; type 0 when none came in time.
    std::pair<quint8, QByteArray> frame(int timeoutMs = 10000);
    // The next frame read as an answer; the greeting counts as 0.
    Answer receive(int timeoutMs = 10000);
    bool hello() { return frame().first == DirectoryProtocol::Hello; }
    // Asks for the table and reads the answer.
    Answer list()
    {
        return send(DirectoryProtocol::frame(DirectoryProtocol::List)) ? receive() : Answer{};
    }
    bool waitForClosed(int timeoutMs = 10000);
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_in;
};
