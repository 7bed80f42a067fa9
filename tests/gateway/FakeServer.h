#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A scripted configuration server inside the test process, on 127.0.0.1 with
// real sockets. It runs on the test's thread: its sockets are served while
// the gateway waits in its event loop.
//
// Each connection gets a greeting (nothing when empty), then every whole
// request (its length field says 512 or 8704) is recorded and answered by the
// handler; the reply's bytes go out in the given pieces, then the connection
// may be closed.
class FakeServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        QByteArray bytes;
        bool close = false; // close the connection after sending
        int pieceSize = 0;  // 0: all at once; else pieces of this size
        int delayMs = 0;    // wait this long before the first byte
    };
    // connection index (from 0), request index within it, the request.
    using Handler = std::function<Reply(int connection, int request, const QByteArray& bytes)>;

    FakeServer();
    ~FakeServer() override;

    bool listen();
    quint16 port() const;

    // The greeting of each connection, by index; later connections take the
    // last one. An empty greeting is silence.
    void setGreetings(const QList<QByteArray>& greetings) { m_greetings = greetings; }
    // Closes each new connection right after its greeting.
    void setCloseAfterGreeting(bool close) { m_closeAfterGreeting = close; }
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Replies in order for every request of every connection; once they run
    // out, requests go unanswered.
    void setReplies(const QList<Reply>& replies);

    int connectionCount() const { return m_connections; }
    const QList<QByteArray>& requests() const { return m_requests; }
    // Requests per connection.
    QList<QByteArray> requestsOf(int connection) const;
    // True once the client has closed the given connection.
    bool closedByClient(int connection) const;

    // Helpers to build server messages.
    static QByteArray greeting(quint8 fill = 0x5A);
    static QByteArray answer(qint32 status, qint32 dataLength, qint32 error,
                             const QByteArray& data = {}, qint32 record = 0);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket, int connection);
    void sendReply(QTcpSocket* socket, const Reply& reply);

    QTcpServer m_server;
    QList<QByteArray> m_greetings;
    bool m_closeAfterGreeting = false;
    Handler m_handler;
    QList<Reply> m_replies;
    int m_connections = 0;
    QList<QByteArray> m_requests;
    QList<int> m_requestConnection;
    QList<QByteArray> m_pending;
    QList<bool> m_clientClosed;
    QList<QTcpSocket*> m_sockets;
};
