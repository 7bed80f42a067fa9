#pragma once

// A configuration server for tests that keeps its records in memory, on top
// of FakeServer, and helpers to look into records and agents list rows.

#include "AgentsList.h"
#include "BlockLibrary.h"
#include "FakeServer.h"
#include "Layout.h"
#include "Passerelle.h"

#include <QMap>
#include <QStringList>

namespace TestRecords {

namespace L = Layout;
using Reply = FakeServer::Reply;

inline const QString X = QStringLiteral("X");

inline qint32 intAt(const QByteArray& bytes, int offset)
{
    return L::readInt(reinterpret_cast<const quint8*>(bytes.constData()), offset);
}

inline void setInt(QByteArray& bytes, int offset, qint32 value)
{
    L::writeInt(reinterpret_cast<quint8*>(bytes.data()), offset, value);
}

// Records by number, as a configuration server keeps them: reads answer with
// the whole record and echo its number, writes replace its data part.
class RecordServer
{
public:
    RecordServer()
    {
        m_server.setGreetings({FakeServer::greeting()});
        m_server.setHandler([this](int connection, int index, const QByteArray& request) {
            return handle(connection, index, request);
        });
    }

    bool listen() { return m_server.listen(); }
    FakeServer& server() { return m_server; }

    static int sizeOf(qint32 record)
    {
        return record == L::SupervisorRecordNumber ? L::SupervisorDataSize : L::AgentDataSize;
    }

    // A record never written: its "not set" fields hold -1.
    static QByteArray fresh(qint32 record)
    {
        QByteArray data(sizeOf(record), '\0');
        if (record == L::SupervisorRecordNumber) {
            for (int offset : L::SupervisorUnsetFields)
                setInt(data, offset, -1);
        } else {
            for (int offset : L::AgentUnsetFields)
                setInt(data, offset, -1);
        }
        return data;
    }

    QByteArray& record(qint32 number)
    {
        if (!m_records.contains(number))
            m_records.insert(number, fresh(number));
        return m_records[number];
    }
    bool has(qint32 number) const { return m_records.contains(number); }

    // Requests of this many (counting the login) go unanswered.
    void silentFrom(int connection, int request)
    {
        m_silentConnection = connection;
        m_silentRequest = request;
    }

    // Reads and writes of all connections, without the logins.
    QList<QByteArray> exchanges() const
    {
        QList<QByteArray> found;
        for (const QByteArray& request : m_server.requests()) {
            if (intAt(request, L::Header::Request) != L::RequestOpenSession)
                found.append(request);
        }
        return found;
    }

private:
    Reply handle(int connection, int index, const QByteArray& request)
    {
        if (connection == m_silentConnection && index >= m_silentRequest)
            return {};
        const qint32 code = intAt(request, L::Header::Request);
        const qint32 number = intAt(request, L::Header::Record);
        if (code == L::RequestRead) {
            const QByteArray data = record(number);
            return {FakeServer::answer(0, qint32(data.size()), 0, data, number)};
        }
        if (code == L::RequestWrite) {
            record(number) = request.mid(L::HeaderSize, sizeOf(number));
            return {FakeServer::answer(0, 0, 0, {}, number)};
        }
        return {FakeServer::answer(0, 0, 0)};
    }

    FakeServer m_server;
    QMap<qint32, QByteArray> m_records;
    int m_silentConnection = -1;
    int m_silentRequest = 0;
};

inline AgentsList::Rows rowsOf(const QStringList& numbers)
{
    AgentsList::Rows rows;
    for (const QString& number : numbers)
        rows.push_back(AgentsList::makeRow(number, QStringLiteral("Agent ") + number));
    return rows;
}

// Columns 2 to 10 of a row joined by "|".
inline QString cellsOf(const AgentsList::Row& row)
{
    QStringList cells;
    for (int c = AgentsList::ColModifGroup; c <= AgentsList::ColChange; ++c)
        cells.append(row.cells[std::size_t(c)]);
    return cells.join(QLatin1Char('|'));
}

inline QList<qint32> rightsOf(const QByteArray& data)
{
    QList<qint32> rights;
    for (int i = 0; i < L::Agent::RightsCount; ++i)
        rights.append(intAt(data, L::Agent::DroitModifGroup + 4 * i));
    return rights;
}

inline void setRights(QByteArray& data, const QList<qint32>& rights)
{
    for (int i = 0; i < L::Agent::RightsCount; ++i)
        setInt(data, L::Agent::DroitModifGroup + 4 * i, rights.at(i));
}

inline void setTextField(QByteArray& data, int offset, int width, QByteArrayView text)
{
    Klt::conv_string_t6200(text, width, reinterpret_cast<quint8*>(data.data()) + offset);
}

inline QByteArray textField(const QByteArray& data, int offset, int width)
{
    return Klt::conv_t6200_string(reinterpret_cast<const quint8*>(data.constData()) + offset,
                                  width);
}

inline QByteArray supervisorData()
{
    return QByteArray(
        reinterpret_cast<const char*>(Passerelle::SupervisorRecord.data() + L::HeaderSize),
        L::SupervisorDataSize);
}

inline QByteArray agentData()
{
    return QByteArray(reinterpret_cast<const char*>(Passerelle::AgentRecord.data() + L::HeaderSize),
                      L::AgentDataSize);
}

} // namespace TestRecords
