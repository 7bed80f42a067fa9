#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QTcpSocket>

// A blocking client of zorsrv's protocol for tests and benchmarks: each call
// sends or waits on the socket itself, so it needs no event loop.
class RawClient
{
public:
    struct Answer
    {
        bool complete = false; // a whole header and its data arrived
        QByteArray header;
        QByteArray data;
        qint32 status = 0;
        qint32 dataLength = 0;
        qint32 error = 0;
        qint32 record = 0;
        bool refused() const { return complete && status == 2; }
    };

    // Connects and takes the 512-byte greeting.
    bool connectTo(quint16 port, int timeoutMs = 10000);
    // Connects without waiting for anything.
    bool connectOnly(quint16 port, int timeoutMs = 10000);
    QByteArray greeting() const { return m_greeting; }
    QByteArray nonce() const;

    // Message builders. Each returns a whole message with the magic and the
    // length field set.
    static QByteArray loginRequest(QByteArrayView greeting, qint32 application = 2,
                                   QByteArrayView key = "5204");
    static QByteArray readRequest(qint32 record);
    static QByteArray writeRequest(qint32 record, QByteArrayView data);

    bool send(QByteArrayView bytes);
    // Waits for exactly count bytes (less when the wait ends first).
    QByteArray receiveBytes(int count, int timeoutMs = 10000);
    Answer receive(int timeoutMs = 10000);

    // Logs in with the greeting's nonce: 0 on acceptance, the refusal code
    // (also one sent before the login, such as -4), or 1 when no answer came.
    qint32 login(qint32 application = 2, QByteArrayView key = "5204");
    Answer read(qint32 record);
    Answer write(qint32 record, QByteArrayView data);

    // True when the server closes the connection within the time.
    bool waitForClosed(int timeoutMs = 10000);
    void close();
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_greeting;
};
