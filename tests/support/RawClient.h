#pragma once

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
        qint32 status = 0;
        qint32 error = 0;
        qint32 record = 0;
        bool refused() const { return complete && status == 2; }
        // 0 when accepted, the refusal code, or 1 when no whole answer came.
        qint32 code() const { return !complete ? 1 : refused() ? error : 0; }
    };

    // Connects and takes the 512-byte greeting.
    bool connectTo(quint16 port, int timeoutMs = 10000);
    QByteArray greeting() const { return m_greeting; }

    // Whole messages, with the magic and the length field set.
    static QByteArray loginRequest(QByteArrayView greeting, qint32 application = 2,
                                   QByteArrayView key = "5204");
    static QByteArray readRequest(qint32 record);
    static QByteArray writeRequest(qint32 record, QByteArrayView data);

    bool send(QByteArrayView bytes);
    Answer receive(int timeoutMs = 10000);
    // Logs in with the greeting's nonce; the result is the code() of the
    // answer that arrives (a refusal sent before the login, such as -4, too).
    qint32 login(qint32 application = 2, QByteArrayView key = "5204");
    Answer read(qint32 record);
    Answer write(qint32 record, QByteArrayView data);

    // True when the server closes the connection within the time.
    bool waitForClosed(int timeoutMs = 10000);
    QTcpSocket& socket() { return m_socket; }

private:
    QByteArray receiveBytes(int count, const QDeadlineTimer& deadline);

    QTcpSocket m_socket;
    QByteArray m_greeting;
};
