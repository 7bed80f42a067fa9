#include "Records.h"

#include "Layout.h"

#include <QString>

namespace Records {

int dataSize(qint32 record)
{
    return record == Layout::SupervisorRecordNumber ? Layout::SupervisorDataSize
                                                    : Layout::AgentDataSize;
}

bool inTable(qint32 record, int agents)
{
    return record == Layout::SupervisorRecordNumber || (record >= 0 && record < agents);
}

QByteArray unset(qint32 record)
{
    QByteArray data(dataSize(record), '\0');
    auto* p = reinterpret_cast<quint8*>(data.data());
    if (record == Layout::SupervisorRecordNumber) {
        for (int offset : Layout::SupervisorUnsetFields)
            Layout::writeInt(p, offset, -1);
    } else {
        for (int offset : Layout::AgentUnsetFields)
            Layout::writeInt(p, offset, -1);
    }
    return data;
}

QString label(qint32 record)
{
    if (record == Layout::SupervisorRecordNumber)
        return QStringLiteral("supervisor");
    return QStringLiteral("agent %1").arg(qint64(record) + 1);
}

} // namespace Records
