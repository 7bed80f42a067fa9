#include "DatabaseLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// SQLite locks the bytes from 0x40000000 to 0x400001FF of the database file;
// this one is well past them.
constexpr off_t LockedByte = 0x40010000;

} // namespace

DatabaseLock::~DatabaseLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

DatabaseLock::Result DatabaseLock::acquire(const QString& database, QString* message)
{
    const int fd = ::open(QFile::encodeName(database).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *message = QStringLiteral("cannot open the database %1 to lock it: %2")
                       .arg(database, QString::fromLocal8Bit(std::strerror(errno)));
        return Result::Failed;
    }
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = LockedByte;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const bool busy = errno == EAGAIN || errno == EACCES;
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        *message = busy ? QStringLiteral("the database %1 is already served by another zorsrv; "
                                         "stop it first, or give this one a database of its own")
                              .arg(database)
                        : QStringLiteral("cannot lock the database %1: %2").arg(database, reason);
        return busy ? Result::Busy : Result::Failed;
    }
    m_fd = fd;
    return Result::Taken;
}
