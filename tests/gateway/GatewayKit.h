#pragma once

// Shared pieces of the gateway tests: a scripted configuration server inside
// the test process (real sockets on 127.0.0.1, served while the gateway waits
// in its event loop), record and list helpers, the language file of the report.

#include "AgentsList.h"
#include "BlockLibrary.h"
#include "Folders.h"
#include "Languages.h"
#include "Passerelle.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace Kit {

namespace L = Layout;
using Ints = QList<qint32>;
using Bytes = QByteArrayList;

inline const QString Failure = QStringLiteral("Erreur de communication");
inline const QString Title = QStringLiteral("Configuration ZOR");
inline constexpr int Rights = L::Agent::DroitModifGroup; // seven, in record order

inline quint8* bytes(const QByteArray& b)
{
    return reinterpret_cast<quint8*>(const_cast<char*>(b.constData()));
}

// count consecutive 32-bit fields from at; setInts writes them.
inline Ints ints(const QByteArray& b, int at, int count = 7)
{
    Ints values;
    for (int i = 0; i < count; ++i)
        values.append(L::readInt(bytes(b), at + 4 * i));
    return values;
}

inline void setInts(QByteArray& b, int at, const Ints& values)
{
    for (int i = 0; i < values.size(); ++i)
        L::writeInt(bytes(b), at + 4 * i, values[i]);
}

// The data part of a record or of the exchange block.
template <typename Record> QByteArray dataOf(const Record& r)
{
    return QByteArray(reinterpret_cast<const char*>(r.data()), qsizetype(r.bytes.size()))
        .mid(L::HeaderSize);
}

// A row of the agents list: columns 2 to 9 from "a|b|...", then column 10.
inline AgentsList::Row row(int agent, const QString& cells, const QString& change = {})
{
    AgentsList::Row r = AgentsList::makeRow(QString::number(agent), QStringLiteral("A"));
    const QStringList parts = (cells + QStringLiteral("||||||||")).split(QLatin1Char('|'));
    std::copy(parts.begin(), parts.begin() + 8, r.cells.begin() + AgentsList::ColModifGroup);
    r.cells[AgentsList::ColChange] = change;
    return r;
}

// Columns 2 to 10 joined by "|".
inline QString cellsOf(const AgentsList::Row& r)
{
    return QStringList(r.cells.begin() + AgentsList::ColModifGroup, r.cells.end()).join(u'|');
}

// The program folder, with language file 0 holding the two texts of the report.
inline bool start(const QString& folder)
{
    Folders::setProgramFolder(folder);
    const QString t =
        QStringLiteral("; language\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=L\r\n[ZORCFG]\r\n") +
        "121=" + Title + "\r\n1285=" + Failure + "\r\n";
    QFile file(folder + QStringLiteral("/Zor_Lg00.txt"));
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(t.utf16()), t.size() * 2) == t.size() * 2;
}

// A fresh start of every test: globals, recorder, language text.
inline void reset(int timeout)
{
    ResetGlobals();
    UiRecorder::install();
    RecvTimeout = timeout;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Languages::LoadLanguageFile();
}

// Listens at once and points TcpPort at itself. Each connection gets its
// greeting (by index, the last one repeats; empty is silence); each whole
// request (512 bytes, or 8704 when its length field says so) is recorded and
// answered.
struct FakeServer
{
    QByteArrayList greetings = {greeting()};
    // To each request in turn, over all connections; an empty one, or none
    // left, is silence.
    QByteArrayList replies;
    bool closeAfterLast = false; // close the connection once the replies are out
    QByteArrayList requests;
    QList<bool> closed; // by connection: the client has closed it
    QTcpServer tcp;     // last: its sockets go first

    FakeServer()
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] { accept(); });
        tcp.listen(QHostAddress::LocalHost, 0);
        Parametres.TcpPort = qint16(tcp.serverPort());
    }
    // The nonce of the greeting is at 128.
    static QByteArray greeting() { return QByteArray(256, 'Z') + QByteArray(256, '\0'); }
    static QByteArray answer(qint32 status, qint32 length, qint32 error,
                             const QByteArray& data = {})
    {
        QByteArray bytes(L::HeaderSize, '\0');
        setInts(bytes, L::Header::Status, {status, length, 0, 0, error});
        return bytes + data;
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = tcp.nextPendingConnection()) {
            const int connection = int(closed.size());
            closed.append(false);
            QObject::connect(socket, &QTcpSocket::disconnected, &tcp,
                             [this, connection] { closed[connection] = true; });
            QObject::connect(socket, &QTcpSocket::readyRead, &tcp,
                             [this, socket] { serve(socket); });
            socket->write(greetings.value(connection, greetings.last()));
        }
    }
    void serve(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        for (;;) {
            const bool block = ints(pending + QByteArray(8, 0), 4, 1)[0] == L::BlockSize;
            const qsizetype size = block ? L::BlockSize : L::HeaderSize;
            if (pending.size() < size)
                return;
            requests.append(pending.left(size));
            pending.remove(0, size);
            socket->write(replies.isEmpty() ? QByteArray() : replies.takeFirst());
            if (closeAfterLast && replies.isEmpty())
                socket->disconnectFromHost();
        }
    }
    QHash<QTcpSocket*, QByteArray> m_pending;
};

} // namespace Kit
