#include "DatabaseLock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

DatabaseLock::~DatabaseLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock; the file stays for the next server
}

DatabaseLock::Result DatabaseLock::acquire(const QString& database, QString* message)
{
    // One lock file whatever path names the database.
    const QFileInfo info(database);
    const QString canonical = info.canonicalFilePath();
    const QString path = (canonical.isEmpty() ? info.absoluteFilePath() : canonical) + ".lock";
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        *message = QStringLiteral("cannot open the database %1: cannot create its lock file %2: %3")
                       .arg(database, path, systemError());
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        const QString reason = systemError();
        char pid[32] = {};
        const ssize_t got = ::pread(fd, pid, sizeof pid - 1, 0);
        ::close(fd);
        if (!busy) {
            *message = QStringLiteral("cannot lock %1: %2").arg(path, reason);
            return Result::Failed;
        }
        const QByteArray holder = QByteArray(pid, std::max<ssize_t>(0, got)).trimmed();
        *message = QStringLiteral("the database %1 is already served by another zorsrv%2; "
                                  "stop it first, or give this one a database of its own")
                       .arg(database,
                            holder.isEmpty()
                                ? QString()
                                : QStringLiteral(" (process %1)").arg(QString::fromLatin1(holder)));
        return Result::Busy;
    }
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    // The process id only helps the message of a second server.
    [[maybe_unused]] const bool written =
        ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.constData(), std::size_t(pid.size()), 0) > 0;
    m_fd = fd;
    return Result::Taken;
}
