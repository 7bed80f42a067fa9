#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// The protocol state of one connection, apart from sockets and storage: it
// turns each whole client message into what the server must do next.
class Session
{
public:
    enum class Action
    {
        Reply,         // send answer, carry on
        Read,          // send the record's data (answer is empty)
        Write,         // store data into record, answer once it is committed
        History,       // answer with a page of the audit trail
        RefuseAndClose // send answer, then close the connection
    };

    struct Step
    {
        Action action = Action::Reply;
        QByteArray answer; // the bytes to send, for Reply and RefuseAndClose
        qint32 request = 0;
        qint32 record = 0;
        // The record's data part, for Write; the request's header, which
        // HistoryProtocol::readQuery reads, for History.
        QByteArray data;
    };

    // nonce: the 32 bytes this connection's greeting carries.
    Session(QByteArray nonce, int agents);

    QByteArray greeting() const;
    bool loggedIn() const { return m_loggedIn; }
    // What the login said of the writer: "ZorCFG", "zoradm" or nothing, and
    // the station's login name (control characters shown as "?").
    QString client() const { return m_client; }
    QString login() const { return m_login; }

    // One whole message, as Framing::scan() delimited it.
    Step handle(QByteArrayView message);

private:
    Step login(const quint8* header);
    Step recordRequest(qint32 request, qint32 record, QByteArrayView message);
    Step history(const quint8* header);

    QByteArray m_nonce;
    int m_agents;
    bool m_nonceUsed = false;
    bool m_loggedIn = false;
    QString m_client, m_login;
};
