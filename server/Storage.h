#pragma once

#include "DatabaseLock.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QString>

#include <optional>
#include <utility>

// The SQLite file behind zorsrv (Qt SQL, QSQLITE): the records, a schema
// version and the audit trail of every write. One Storage is one connection
// and must be used from the thread that opened it.
class Storage
{
public:
    // 2: the audit names the writing program and the station's login name, and
    // is indexed by time.
    static constexpr int SchemaVersion = 2;

    enum class Mode
    {
        Serve,   // the server's: create when missing, one server per file (see lock()),
                 // WAL with synchronous=FULL, integrity check
        Update,  // as Serve, without the lock: the admin commands that write
        ReadOnly // an existing file, for the admin commands
    };
    enum class Failure
    {
        None,
        CannotOpen,
        Corrupt,
        Incompatible,
        InUse // Serve: another server serves the file
    };
    struct Opened
    {
        Failure failure = Failure::None;
        QString message; // a sentence for the user, when failure is set
    };

    // How much of the audit trail is kept: rows younger than days, and at
    // most the newest rows of them.
    struct Retention
    {
        int days = 365;
        int rows = 100000;
    };

    struct Write
    {
        qint32 record = 0;
        QByteArray data;
        QString peer;
        QString client; // "ZorCFG", "zoradm", or null when the writer did not say
        QString login;  // the station's login name, or null
    };

    struct AuditRow
    {
        qint64 id = 0;
        QString time;
        QString peer;
        QString client, login; // null for rows of writers that did not say
        qint32 record = 0;
        std::optional<QByteArray> before; // none when the record had never been written
        QByteArray after;
    };

    // Which audit rows a page holds, newest first (by time, then by id).
    // Times are the audit's own texts (ISO 8601 UTC with milliseconds).
    struct AuditFilter
    {
        std::optional<qint32> record;
        std::optional<bool> supervisor; // only the supervisor's rows, or only agents'
        QString since;                  // not older; empty: no bound
        QString until;                  // older only; empty: no bound
        std::optional<std::pair<QString, qint64>> after; // older than this time and id
    };

    explicit Storage(QString connectionName);
    ~Storage();
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    Opened open(const QString& path, Mode mode);

    // Every record ever written, by record number.
    QMap<qint32, QByteArray> records();
    std::optional<QByteArray> record(qint32 number);
    QList<AuditRow> audit();
    // At most limit rows of the filter; nothing, with error set, on failure.
    std::optional<QList<AuditRow>> auditPage(const AuditFilter& filter, int limit, QString* error);

    // Stores every write of the batch, in order, in one transaction, each with
    // its audit row. Returns once the commit is durable; false and error on
    // failure (then nothing of the batch is stored).
    bool commit(const QList<Write>& batch, QString* error);

    // Deletes the audit rows the retention does not keep; the number deleted,
    // or -1 with error set.
    qint64 pruneAudit(const Retention& retention, QString* error);

    // From now on every commit keeps at most the newest `rows` audit rows,
    // in its own transaction (0: no bound).
    void boundAudit(int rows) { m_auditBound = rows; }

    // "ok", or what PRAGMA integrity_check found.
    QString integrity();

private:
    bool exec(const QString& statement, QString* error);
    Opened createSchema();
    Opened checkSchema(bool older = false);
    bool migrate(QString* error);
    bool isForeign();
    bool prepare();
    bool stillAtPath(QString* error) const;
    Opened lock();
    bool trimAudit(QString* error);

    QString m_name;
    QString m_path;
    int m_version = 0; // of the file opened
    // The file opened (device and inode): a commit into a file removed or
    // replaced since would be lost.
    std::optional<std::pair<quint64, quint64>> m_identity;
    std::optional<QSqlQuery> m_select;
    std::optional<QSqlQuery> m_upsert;
    std::optional<QSqlQuery> m_audit;
    std::optional<QSqlQuery> m_trim;
    int m_auditBound = 0;
    qint64 m_trimmedThrough = 0; // audit ids up to this one are deleted
    DatabaseLock m_lock;         // released after the connection is closed
};
