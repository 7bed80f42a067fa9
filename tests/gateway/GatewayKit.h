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
#include <QHostAddress>
#include <QMap>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>

namespace Kit {

namespace L = Layout;
using Ints = QList<qint32>;

inline const QString Failure = QStringLiteral("Erreur de communication");
inline const QString Title = QStringLiteral("Configuration ZOR");
inline constexpr int Rights = L::Agent::DroitModifGroup; // seven, in record order

inline quint8* bytes(const QByteArray& b)
{
    return reinterpret_cast<quint8*>(const_cast<char*>(b.constData()));
}

inline qint32 intAt(const QByteArray& b, int at)
{
    return L::readInt(bytes(b), at);
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
        QStringLiteral("; language\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=L\r\n[ZORCFG]\r\n121=%1\r\n"
                       "1285=%2\r\n")
            .arg(Title, Failure);
    QFile file(folder + QStringLiteral("/Zor_Lg00.txt"));
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(t.utf16()), t.size() * 2) == t.size() * 2;
}

// A fresh start of every test: globals, recorder, blocks, no session.
inline void reset(int timeout)
{
    Passerelle::CloseSession();
    ResetGlobals();
    UiRecorder::install();
    RecvTimeout = timeout;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Languages::LoadLanguageFile();
    Passerelle::GatewayBlock = {};
    Passerelle::AgentRecord = {};
    Passerelle::SupervisorRecord = {};
}

// Listens at once and points TcpPort at itself. Each connection gets its
// greeting (by index, the last one repeats; empty is silence); each whole
// request (512 bytes, or 8704 when its length field says so) is recorded and
// answered by the handler. By default it keeps records in memory: reads
// answer with the whole record and echo its number, writes replace its data.
struct FakeServer
{
    struct Reply
    {
        QByteArray bytes;
        bool close = false; // close the connection after sending
    };
    using Handler = std::function<Reply(int connection, int index, const QByteArray& request)>;

    QByteArrayList greetings = {greeting()};
    Handler handler = [this](int, int, const QByteArray& request) { return recordReply(request); };
    QByteArrayList requests;
    QList<bool> closed; // by connection: the client has closed it
    QMap<qint32, QByteArray> records;
    QTcpServer tcp; // last: its sockets go first

    FakeServer()
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] { accept(); });
        tcp.listen(QHostAddress::LocalHost, 0);
        Parametres.TcpPort = qint16(tcp.serverPort());
    }
    static QByteArray greeting()
    {
        QByteArray bytes = answer(0, 0, 0).replace(0, 256, QByteArray(256, 'Z'));
        for (int i = 0; i < L::Header::NonceSize; ++i)
            bytes[L::Header::Nonce + i] = char(QRandomGenerator::global()->bounded(256));
        return bytes;
    }
    static QByteArray answer(qint32 status, qint32 length, qint32 error,
                             const QByteArray& data = {}, qint32 record = 0)
    {
        QByteArray bytes(L::HeaderSize, '\0');
        setInts(bytes, L::Header::Record, {record});
        setInts(bytes, L::Header::Status, {status, length, 0, 0, error});
        return bytes + data;
    }
    // Answers every request, over all connections, with the next reply.
    void script(QByteArrayList replies, bool closeAfterLast)
    {
        handler = [replies, closeAfterLast](int, int, const QByteArray&) mutable {
            return replies.isEmpty()
                       ? Reply{}
                       : Reply{replies.takeFirst(), closeAfterLast && replies.isEmpty()};
        };
    }
    // A record never written holds -1 in its "not set" fields.
    QByteArray& record(qint32 n)
    {
        if (!records.contains(n)) {
            records[n] = QByteArray(n == -1 ? L::SupervisorDataSize : L::AgentDataSize, '\0');
            for (int at :
                 n == -1 ? Ints(L::SupervisorUnsetFields.begin(), L::SupervisorUnsetFields.end())
                         : Ints(L::AgentUnsetFields.begin(), L::AgentUnsetFields.end()))
                setInts(records[n], at, {-1});
        }
        return records[n];
    }
    Reply recordReply(const QByteArray& request)
    {
        const qint32 code = intAt(request, L::Header::Request);
        const qint32 n = intAt(request, L::Header::Record);
        if (code == L::RequestWrite)
            record(n) = request.mid(L::HeaderSize, record(n).size());
        const QByteArray data = code == L::RequestRead ? record(n) : QByteArray();
        return {answer(0, qint32(data.size()), 0, data, n)};
    }
    // Reads and writes, without the logins.
    QByteArrayList exchanges() const
    {
        QByteArrayList found;
        for (const QByteArray& request : requests)
            if (intAt(request, L::Header::Request) != L::RequestOpenSession)
                found.append(request);
        return found;
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = tcp.nextPendingConnection()) {
            const int connection = int(closed.size());
            closed.append(false);
            auto pending = std::make_shared<QByteArray>();
            auto count = std::make_shared<int>(0);
            QObject::connect(socket, &QTcpSocket::disconnected, &tcp,
                             [this, connection] { closed[connection] = true; });
            QObject::connect(socket, &QTcpSocket::readyRead, &tcp, [=, this] {
                *pending += socket->readAll();
                for (;;) {
                    const bool block = intAt(*pending + QByteArray(8, 0), 4) == L::BlockSize;
                    const qsizetype size = block ? L::BlockSize : L::HeaderSize;
                    if (pending->size() < size)
                        return;
                    requests.append(pending->left(size));
                    pending->remove(0, size);
                    const Reply reply = handler(connection, (*count)++, requests.last());
                    socket->write(reply.bytes);
                    if (reply.close)
                        socket->disconnectFromHost();
                }
            });
            socket->write(greetings.value(connection, greetings.last()));
        }
    }
};

} // namespace Kit
