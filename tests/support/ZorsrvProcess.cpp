#include "ZorsrvProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>

#include <sys/resource.h>
#include <unistd.h>

bool ZorsrvProcess::start(const QStringList& extraArguments, int timeoutMs)
{
    kill();
    m_port = 0;
    m_directoryPort = 0;
    const QStringList database =
        m_database.isEmpty() ? QStringList() : QStringList{"--db", m_database};
    // The directory on a free port too, unless the test says where, or none.
    m_process.setChildProcessModifier([limit = m_descriptorLimit] {
        const rlimit descriptors{rlim_t(limit), rlim_t(limit)};
        if (limit > 0)
            ::setrlimit(RLIMIT_NOFILE, &descriptors);
    });
    const bool directorySet = extraArguments.contains(QStringLiteral("--no-directory")) ||
                              extraArguments.contains(QStringLiteral("--directory"));
    m_process.start(QStringLiteral(ZORSRV_PATH),
                    database + QStringList{"--listen", "127.0.0.1:0"} +
                        (directorySet ? QStringList{} : QStringList{"--directory", "127.0.0.1:0"}) +
                        extraArguments);
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("zorsrv: directory on "))
                m_directoryPort = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
            if (line.startsWith("zorsrv: listening on "))
                return (m_port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt())) != 0;
        }
    }
    m_error = QStringLiteral("zorsrv did not listen: %1 %2")
                  .arg(m_process.errorString(), QString::fromUtf8(standardError()));
    return false;
}

ZorsrvProcess::Usage ZorsrvProcess::usage() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    // From the third field on, after the name in parentheses: user and system
    // time are the 14th and 15th, the resident pages the 24th.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 22)
        return {};
    return {double(f[11].toLongLong() + f[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK)),
            f[21].toLongLong() * ::sysconf(_SC_PAGESIZE) / 1024};
}

bool ZorsrvProcess::terminate(int timeoutMs)
{
    m_process.terminate(); // false below at once when nothing runs
    return m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}

ZorsrvProcess::Result ZorsrvProcess::run(const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(ZORSRV_PATH), arguments);
    const bool ended =
        process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

bool ZorsrvProcess::startOnStationPort(const QStringList& extraArguments)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int port = 20000 + int(QRandomGenerator::global()->bounded(12000));
        const QStringList listen = {QStringLiteral("--listen"),
                                    QStringLiteral("127.0.0.1:%1").arg(port)};
        if (start(extraArguments + listen))
            return true;
    }
    return false;
}

quint16 ZorsrvProcess::unusedPort()
{
    QTcpServer freed;
    if (!freed.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = freed.serverPort();
    freed.close();
    return port;
}

ZorsrvProcess::Result ZorsrvProcess::agents(const QString& database, const QString& command)
{
    QStringList arguments = command.split(u' ');
    arguments.insert(1, database);
    arguments.insert(1, QStringLiteral("--db"));
    return run(QStringList{QStringLiteral("agents")} + arguments);
}

bool ZorsrvProcess::importAgents(const QString& database, const QByteArray& csv)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("agents.csv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size())
        return false;
    file.close();
    return agents(database, QStringLiteral("import --csv ") + file.fileName()).exitCode == 0;
}

QByteArrayList ZorsrvProcess::query(const QString& database, const QString& sql)
{
    QByteArrayList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(database);
        db.open(); // when it fails, the query yields nothing
        QSqlQuery q(db);
        for (q.exec(sql); q.next();)
            for (int i = 0; i < q.record().count(); ++i)
                values << q.value(i).toByteArray();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    return values;
}
