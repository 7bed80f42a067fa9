#include "ZorsrvProcess.h"

#include <QDeadlineTimer>

bool ZorsrvProcess::start(const QStringList& extraArguments, int timeoutMs)
{
    kill();
    m_extra = extraArguments;
    m_port = 0;
    m_process.start(QStringLiteral(ZORSRV_PATH),
                    QStringList{"--db", m_database, "--listen", "127.0.0.1:0"} + m_extra);
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("zorsrv: listening on ")) {
                m_port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
                return true;
            }
        }
    }
    m_error = QStringLiteral("zorsrv did not listen: %1 %2")
                  .arg(m_process.errorString(), QString::fromUtf8(standardError()));
    return false;
}

void ZorsrvProcess::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(30000);
}

bool ZorsrvProcess::terminate(int timeoutMs)
{
    if (!isRunning())
        return false;
    m_process.terminate();
    return m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}

ZorsrvProcess::Result ZorsrvProcess::run(const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(ZORSRV_PATH), arguments);
    Result result;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
