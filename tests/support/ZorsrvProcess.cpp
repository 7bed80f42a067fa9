#include "ZorsrvProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>

#include <csignal>

ZorsrvProcess::ZorsrvProcess() : m_dir(std::make_unique<QTemporaryDir>())
{
    m_database = QDir(m_dir->path()).filePath(QStringLiteral("zorsrv.db"));
}

ZorsrvProcess::~ZorsrvProcess()
{
    if (isRunning())
        kill();
}

QString ZorsrvProcess::executable()
{
    return QStringLiteral(ZORSRV_PATH);
}

void ZorsrvProcess::setDatabase(const QString& path)
{
    m_database = path;
}

QString ZorsrvProcess::databasePath() const
{
    return m_database;
}

QString ZorsrvProcess::folder() const
{
    return m_dir->path();
}

bool ZorsrvProcess::start(const QStringList& extraArguments, int timeoutMs)
{
    if (isRunning())
        kill();
    m_extra = extraArguments;
    m_out.clear();
    m_err.clear();
    m_error.clear();
    m_port = 0;
    m_process = std::make_unique<QProcess>();
    QStringList arguments{QStringLiteral("--db"), m_database, QStringLiteral("--listen"),
                          QStringLiteral("127.0.0.1:0")};
    arguments += m_extra;
    m_process->start(executable(), arguments);
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("zorsrv did not start: ") + m_process->errorString();
        return false;
    }
    static const QRegularExpression listening(QStringLiteral("^zorsrv: listening on (.+):(\\d+)$"));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process->canReadLine()) {
            const QByteArray line = m_process->readLine().trimmed();
            m_out += line + '\n';
            const auto match = listening.match(QString::fromUtf8(line));
            if (match.hasMatch()) {
                m_port = quint16(match.captured(2).toUInt());
                return true;
            }
        }
        if (m_process->state() == QProcess::NotRunning) {
            collect();
            m_error = QStringLiteral("zorsrv exited before listening: ") + QString::fromUtf8(m_err);
            return false;
        }
        m_process->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
    }
    collect();
    m_error = QStringLiteral("zorsrv printed no listening line: ") + QString::fromUtf8(m_err);
    return false;
}

bool ZorsrvProcess::restart(int timeoutMs)
{
    if (isRunning())
        kill();
    return start(m_extra, timeoutMs);
}

bool ZorsrvProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ZorsrvProcess::kill()
{
    if (!isRunning())
        return;
    m_process->kill();
    m_process->waitForFinished(30000);
    collect();
}

bool ZorsrvProcess::waitForSignalExit(int signal, int timeoutMs)
{
    if (!isRunning())
        return false;
    ::kill(pid_t(m_process->processId()), signal);
    const bool finished = m_process->waitForFinished(timeoutMs);
    collect();
    return finished && m_process->exitStatus() == QProcess::NormalExit &&
           m_process->exitCode() == 0;
}

bool ZorsrvProcess::terminate(int timeoutMs)
{
    return waitForSignalExit(SIGTERM, timeoutMs);
}

bool ZorsrvProcess::interrupt(int timeoutMs)
{
    return waitForSignalExit(SIGINT, timeoutMs);
}

int ZorsrvProcess::exitCode() const
{
    return m_process ? m_process->exitCode() : -1;
}

void ZorsrvProcess::collect()
{
    if (!m_process)
        return;
    m_out += m_process->readAllStandardOutput();
    m_err += m_process->readAllStandardError();
}

QByteArray ZorsrvProcess::standardError()
{
    collect();
    return m_err;
}

QByteArray ZorsrvProcess::standardOutput()
{
    collect();
    return m_out;
}

ZorsrvProcess::Result ZorsrvProcess::run(const QStringList& arguments, int timeoutMs)
{
    Result result;
    QProcess process;
    process.start(executable(), arguments);
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
