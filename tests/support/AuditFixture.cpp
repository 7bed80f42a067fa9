#include "AuditFixture.h"

#include "Layout.h"
#include "Records.h"
#include "Storage.h"
#include "ZorsrvProcess.h"

namespace AuditFixture {

bool write(const QString& database, int count, int agents, const QDateTime& first)
{
    {
        Storage storage(QStringLiteral("audit-fixture"));
        if (storage.open(database, Storage::Mode::Serve).failure != Storage::Failure::None)
            return false;
        QList<Storage::Write> writes;
        for (int i = 0; i < count; ++i) {
            const qint32 record = i % agents;
            QByteArray data = Records::unset(record);
            auto* bytes = reinterpret_cast<quint8*>(data.data());
            Layout::writeInt(bytes, Layout::Agent::Droit_Modif_Fiche, (i / agents) % 3);
            Layout::writeInt(bytes, Layout::Agent::Droit_Stat, (i / agents) % 2);
            const bool bob = i % 2 == 0;
            writes.append({record, data,
                           bob ? QStringLiteral("10.1.2.3:4000") : QStringLiteral("10.9.9.9:5000"),
                           bob ? QStringLiteral("ZorCFG") : QString(),
                           bob ? QStringLiteral("bob") : QString()});
        }
        QString error;
        if (!storage.commit(writes, &error))
            return false;
    }
    const QString start = first.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ZorsrvProcess::query(database, QStringLiteral("UPDATE audit SET time = strftime('%Y-%m-%dT%H:"
                                                  "%M:%fZ', '%1', '+' || (id - 1) || ' minutes')")
                                       .arg(start));
    return ZorsrvProcess::query(database, QStringLiteral("SELECT count(*) FROM audit")) ==
           QByteArrayList{QByteArray::number(count)};
}

} // namespace AuditFixture
