#pragma once

#include "HistoryProtocol.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

// A blocking client of zorsrv's protocol for tests and benchmarks: each call
// waits on the socket itself, so it needs no event loop.
class RawClient
{
public:
    struct Answer
    {
        bool complete = false; // a whole header and its data arrived
        QByteArray data;
        qint32 status = 0, error = 0, record = 0;
        // 0 when accepted, the refusal code, or 1 when no whole answer came.
        qint32 code() const { return !complete ? 1 : status == 2 ? error : 0; }
    };

    // Connects and takes the 512-byte greeting. A receiveBuffer above 0 fixes
    // the system's receive buffer of the connection to about that size.
    bool connectTo(quint16 port, int timeoutMs = 10000, int receiveBuffer = 0);
    QByteArray greeting() const { return m_greeting; }

    // Whole messages, with the magic and the length field set.
    static QByteArray loginRequest(QByteArrayView greeting, qint32 application = 2,
                                   QByteArrayView key = "5204");
    static QByteArray readRequest(qint32 record);
    static QByteArray writeRequest(qint32 record, QByteArrayView data);
    static QByteArray historyRequest(const HistoryProtocol::Query& query);

    bool send(QByteArrayView bytes);
    Answer receive(int timeoutMs = 10000);
    // Logs in with the greeting's nonce; the result is the code() of the
    // answer that arrives (a refusal sent before the login, such as -4, too,
    // since a refusal may be waiting even when the send fails).
    qint32 login() { return send(loginRequest(m_greeting)), receive().code(); }
    Answer read(qint32 record) { return send(readRequest(record)) ? receive() : Answer{}; }
    Answer write(qint32 record, QByteArrayView data)
    {
        return send(writeRequest(record, data)) ? receive() : Answer{};
    }

    // True when the server closes the connection within the time; what
    // arrives meanwhile is dropped.
    bool waitForClosed(int timeoutMs = 10000) { return waitForClosed(m_socket, timeoutMs); }
    static bool waitForClosed(QTcpSocket& socket, int timeoutMs = 10000);
    QTcpSocket& socket() { return m_socket; }

private:
    QByteArray receiveBytes(int count, const QDeadlineTimer& deadline);

    QTcpSocket m_socket;
    QByteArray m_greeting;
};
