#include "Storage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// SQLite's result codes for a file that is not a database, or a damaged one.
bool isCorruption(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("26") || code == QLatin1String("11");
}

QString describe(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.trimmed();
}

std::optional<std::pair<quint64, quint64>> identityOf(const QString& path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64>(quint64(info.st_dev), quint64(info.st_ino));
}

// A new database is private to the server's user, whatever the umask; its
// WAL and shared-memory files take the database's permissions.
bool createPrivate(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return errno == EEXIST;
    const bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ::close(fd);
    return ok;
}

QVariant textOrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

Storage::Storage(QString connectionName) : m_name(std::move(connectionName)) {}

Storage::~Storage()
{
    m_select.reset();
    m_upsert.reset();
    m_audit.reset();
    m_trim.reset();
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
}

bool Storage::exec(const QString& statement, QString* error)
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (query.exec(statement))
        return true;
    if (error)
        *error = describe(query.lastError());
    return false;
}

Storage::Opened Storage::open(const QString& path, Mode mode)
{
    m_path = path;
    const QFileInfo info(path);
    if (mode == Mode::ReadOnly && !info.exists())
        return {Failure::CannotOpen,
                QStringLiteral("cannot open the database %1: no such file").arg(path)};
    if (info.isDir())
        return {Failure::CannotOpen,
                QStringLiteral("cannot open the database %1: it is a folder").arg(path)};
    if (mode != Mode::ReadOnly && !info.exists() && !createPrivate(path))
        return {Failure::CannotOpen, QStringLiteral("cannot open the database %1: %2")
                                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    if (mode == Mode::Serve) {
        const Opened locked = lock();
        if (locked.failure != Failure::None)
            return locked;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    if (mode == Mode::ReadOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    else
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return {
            Failure::CannotOpen,
            QStringLiteral("cannot open the database %1: %2").arg(path, describe(db.lastError()))};
    m_identity = identityOf(path);
    return mode == Mode::ReadOnly ? checkSchema(true) : createSchema();
}

// One server per database file: see DatabaseLock.
Storage::Opened Storage::lock()
{
    QString message;
    switch (m_lock.acquire(m_path, &message)) {
    case DatabaseLock::Result::Taken:
        return {};
    case DatabaseLock::Result::Busy:
        return {Failure::InUse, message};
    case DatabaseLock::Result::Failed:
        break;
    }
    return {Failure::CannotOpen, message};
}

Storage::Opened Storage::createSchema()
{
    QSqlQuery probe(QSqlDatabase::database(m_name, false));
    if (!probe.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        const QSqlError error = probe.lastError();
        if (isCorruption(error))
            return {Failure::Corrupt,
                    QStringLiteral("the database %1 is corrupt: %2").arg(m_path, describe(error))};
        return {Failure::CannotOpen,
                QStringLiteral("cannot open the database %1: %2").arg(m_path, describe(error))};
    }
    probe.finish();
    const QString integrityResult = integrity();
    if (integrityResult != QLatin1String("ok"))
        return {Failure::Corrupt,
                QStringLiteral("the database %1 is corrupt: %2").arg(m_path, integrityResult)};
    if (isForeign())
        return {Failure::Incompatible,
                QStringLiteral("%1 is not a zorsrv database: it holds other tables").arg(m_path)};
    QString error;
    const bool created =
        exec(QStringLiteral("PRAGMA synchronous=FULL"), &error) &&
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT "
                            "NOT NULL)"),
             &error) &&
        exec(QStringLiteral("INSERT OR IGNORE INTO meta (key, value) VALUES ('schema_version', "
                            "'%1')")
                 .arg(SchemaVersion),
             &error) &&
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS records (number INTEGER PRIMARY KEY, "
                            "data BLOB NOT NULL, updated TEXT NOT NULL)"),
             &error) &&
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS audit (id INTEGER PRIMARY KEY "
                            "AUTOINCREMENT, time TEXT NOT NULL, peer TEXT NOT NULL, record "
                            "INTEGER NOT NULL, before BLOB, after BLOB NOT NULL, client TEXT, "
                            "login TEXT)"),
             &error) &&
        migrate(&error);
    if (!created)
        return {Failure::CannotOpen,
                QStringLiteral("cannot set up the database %1: %2").arg(m_path, error)};
    const Opened schema = checkSchema();
    if (schema.failure != Failure::None)
        return schema;
    if (!prepare())
        return {Failure::CannotOpen,
                QStringLiteral("cannot prepare the statements on %1").arg(m_path)};
    return {};
}

// Brings a file of schema version 1 to the current one, in one transaction,
// and makes the indexes of the history's pages. A newer version is left for
// checkSchema to refuse.
bool Storage::migrate(QString* error)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'schema_version'")) ||
        !query.next()) {
        *error = describe(query.lastError());
        return false;
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (version == 1) {
        const bool migrated =
            db.transaction() &&
            exec(QStringLiteral("ALTER TABLE audit ADD COLUMN client TEXT"), error) &&
            exec(QStringLiteral("ALTER TABLE audit ADD COLUMN login TEXT"), error) &&
            exec(QStringLiteral("UPDATE meta SET value = '2' WHERE key = 'schema_version'"),
                 error) &&
            db.commit();
        if (!migrated) {
            if (error->isEmpty())
                *error = describe(db.lastError());
            db.rollback();
            return false;
        }
    } else if (version != SchemaVersion) {
        return true;
    }
    return exec(QStringLiteral("CREATE INDEX IF NOT EXISTS audit_time ON audit (time)"), error) &&
           exec(QStringLiteral("CREATE INDEX IF NOT EXISTS audit_record_time ON audit (record, "
                               "time)"),
                error);
}

// A file with tables but without zorsrv's meta table belongs to something else.
bool Storage::isForeign()
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                   "name NOT LIKE 'sqlite_%'")))
        return false;
    bool tables = false;
    while (query.next()) {
        if (query.value(0).toString() == QLatin1String("meta"))
            return false;
        tables = true;
    }
    return tables;
}

Storage::Opened Storage::checkSchema(bool older)
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'schema_version'"))) {
        const QSqlError error = query.lastError();
        if (isCorruption(error))
            return {Failure::Corrupt,
                    QStringLiteral("the database %1 is corrupt: %2").arg(m_path, describe(error))};
        return {Failure::Incompatible,
                QStringLiteral("%1 is not a zorsrv database: %2").arg(m_path, describe(error))};
    }
    if (!query.next())
        return {Failure::Incompatible,
                QStringLiteral("%1 is not a zorsrv database: no schema version").arg(m_path)};
    const int version = query.value(0).toInt();
    m_version = version;
    if (version != SchemaVersion && !(older && version >= 1 && version < SchemaVersion))
        return {Failure::Incompatible,
                QStringLiteral("the database %1 has schema version %2; this zorsrv knows %3")
                    .arg(m_path)
                    .arg(version)
                    .arg(SchemaVersion)};
    return {};
}

bool Storage::prepare()
{
    const QSqlDatabase db = QSqlDatabase::database(m_name, false);
    m_select.emplace(db);
    m_upsert.emplace(db);
    m_audit.emplace(db);
    m_trim.emplace(db);
    return m_trim->prepare(QStringLiteral("DELETE FROM audit WHERE id <= ?")) &&
           m_select->prepare(QStringLiteral("SELECT data FROM records WHERE number = ?")) &&
           m_upsert->prepare(QStringLiteral("INSERT INTO records (number, data, updated) VALUES "
                                            "(?, ?, ?) ON CONFLICT(number) DO UPDATE SET data = "
                                            "excluded.data, updated = excluded.updated")) &&
           m_audit->prepare(QStringLiteral("INSERT INTO audit (time, peer, record, before, after, "
                                           "client, login) VALUES (?, ?, ?, ?, ?, ?, ?)"));
}

QString Storage::integrity()
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
        return describe(query.lastError());
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    return lines.isEmpty() ? QStringLiteral("no answer") : lines.join(QStringLiteral("; "));
}

QMap<qint32, QByteArray> Storage::records()
{
    QMap<qint32, QByteArray> result;
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT number, data FROM records ORDER BY number")))
        return result;
    while (query.next())
        result.insert(query.value(0).toInt(), query.value(1).toByteArray());
    return result;
}

std::optional<QByteArray> Storage::record(qint32 number)
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.prepare(QStringLiteral("SELECT data FROM records WHERE number = ?"));
    query.addBindValue(number);
    if (query.exec() && query.next())
        return query.value(0).toByteArray();
    return std::nullopt;
}

namespace {

// The columns every audit read takes, in the order auditRow reads them.
QString auditColumns(int version)
{
    return version >= 2 ? QStringLiteral("id, time, peer, client, login, record, before, after")
                        : QStringLiteral("id, time, peer, NULL, NULL, record, before, after");
}

Storage::AuditRow auditRow(const QSqlQuery& query)
{
    Storage::AuditRow row;
    row.id = query.value(0).toLongLong();
    row.time = query.value(1).toString();
    row.peer = query.value(2).toString();
    row.client = query.value(3).toString();
    row.login = query.value(4).toString();
    row.record = query.value(5).toInt();
    if (!query.value(6).isNull())
        row.before = query.value(6).toByteArray();
    row.after = query.value(7).toByteArray();
    return row;
}

} // namespace

QList<Storage::AuditRow> Storage::audit()
{
    QList<AuditRow> rows;
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT %1 FROM audit ORDER BY id").arg(auditColumns(m_version))))
        return rows;
    while (query.next())
        rows.append(auditRow(query));
    return rows;
}

std::optional<QList<Storage::AuditRow>> Storage::auditPage(const AuditFilter& filter, int limit,
                                                           QString* error)
{
    // Plain SQL, newest first along the indexes on time and on (record, time).
    QStringList conditions;
    QVariantList values;
    if (filter.record) {
        conditions << QStringLiteral("record = ?");
        values << *filter.record;
    }
    if (filter.supervisor)
        conditions << (*filter.supervisor ? QStringLiteral("record = -1")
                                          : QStringLiteral("record >= 0"));
    if (!filter.since.isEmpty()) {
        conditions << QStringLiteral("time >= ?");
        values << filter.since;
    }
    if (!filter.until.isEmpty()) {
        conditions << QStringLiteral("time < ?");
        values << filter.until;
    }
    if (filter.after) {
        conditions << QStringLiteral("(time, id) < (?, ?)");
        values << filter.after->first << filter.after->second;
    }
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM audit%2 ORDER BY time DESC, id DESC LIMIT ?")
                      .arg(auditColumns(m_version),
                           conditions.isEmpty() ? QString()
                                                : QStringLiteral(" WHERE ") +
                                                      conditions.join(QStringLiteral(" AND "))));
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    query.addBindValue(limit);
    if (!query.exec()) {
        *error = describe(query.lastError());
        return std::nullopt;
    }
    QList<AuditRow> rows;
    while (query.next())
        rows.append(auditRow(query));
    return rows;
}

bool Storage::stillAtPath(QString* error) const
{
    if (m_identity && identityOf(m_path) == m_identity)
        return true;
    *error = QStringLiteral("the database file %1 was removed or replaced after zorsrv opened it; "
                            "nothing more is stored until zorsrv is restarted")
                 .arg(m_path);
    return false;
}

qint64 Storage::pruneAudit(const Retention& retention, QString* error)
{
    const QString cutoff = QDateTime::currentDateTimeUtc()
                               .addDays(-qint64(retention.days))
                               .toString(Qt::ISODateWithMs);
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.prepare(QStringLiteral("DELETE FROM audit WHERE time < ? OR id IN (SELECT id FROM audit "
                                 "ORDER BY id DESC LIMIT -1 OFFSET ?)"));
    query.addBindValue(cutoff);
    query.addBindValue(retention.rows);
    if (!query.exec()) {
        *error = describe(query.lastError());
        return -1;
    }
    return query.numRowsAffected();
}

// Ids only grow, so the rows beyond the bound are those with an id at most the
// bound below the newest: deleting them costs what they are, whatever the
// rows kept. A sixteenth of the bound (at most 256 rows) goes ahead of time,
// so that most commits delete nothing and those that do free whole pages.
// Rows deleted meanwhile by another connection only leave fewer.
bool Storage::trimAudit(QString* error)
{
    if (m_auditBound <= 0)
        return true;
    const qint64 beyond = m_audit->lastInsertId().toLongLong() - m_auditBound;
    if (beyond <= m_trimmedThrough)
        return true;
    const qint64 through = beyond + std::min(m_auditBound / 16, 256);
    m_trim->bindValue(0, through);
    if (!m_trim->exec()) {
        *error = describe(m_trim->lastError());
        return false;
    }
    m_trimmedThrough = through;
    return true;
}

bool Storage::commit(const QList<Write>& batch, QString* error)
{
    if (!stillAtPath(error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.transaction()) {
        *error = describe(db.lastError());
        return false;
    }
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (const Write& write : batch) {
        // Bound by position: a failed statement leaves nothing to pile up.
        m_select->bindValue(0, write.record);
        if (!m_select->exec()) {
            *error = describe(m_select->lastError());
            db.rollback();
            return false;
        }
        const QVariant before =
            m_select->next() ? m_select->value(0) : QVariant(QMetaType::fromType<QByteArray>());
        m_select->finish();
        m_upsert->bindValue(0, write.record);
        m_upsert->bindValue(1, write.data);
        m_upsert->bindValue(2, now);
        m_audit->bindValue(0, now);
        m_audit->bindValue(1, write.peer);
        m_audit->bindValue(2, write.record);
        m_audit->bindValue(3, before);
        m_audit->bindValue(4, write.data);
        m_audit->bindValue(5, textOrNull(write.client));
        m_audit->bindValue(6, textOrNull(write.login));
        if (!m_upsert->exec() || !m_audit->exec()) {
            *error = describe(m_upsert->lastError().isValid() ? m_upsert->lastError()
                                                              : m_audit->lastError());
            db.rollback();
            return false;
        }
    }
    const bool trimmed = trimAudit(error);
    if (!trimmed || !db.commit()) {
        if (trimmed)
            *error = describe(db.lastError());
        db.rollback();
        m_trimmedThrough = 0; // what was deleted is back
        return false;
    }
    return true;
}
