#include "FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace {

#ifdef Q_OS_UNIX

constexpr int TemporaryNameTries = 16;

// The 8-bit name of a file: UTF-8 on these systems, as QFile::encodeName
// gives it, without the detour through the locale's converter.
QByteArray nativeName(const QString& path)
{
    return path.toUtf8();
}

// Closes a descriptor when it goes out of scope.
struct Descriptor
{
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Closes now; false when the close reports an error.
    bool close()
    {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

int openFile(const QByteArray& name, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(name.constData(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte; false with errno set on an error.
bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<std::size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Flushes the bytes and closes; false with errno set on an error.
bool finish(Descriptor& file)
{
    if (::fsync(file.fd) != 0)
        return false;
    return file.close();
}

// Makes the rename that replaced a file in folder last through a power cut.
void syncFolder(const QByteArray& folder)
{
    Descriptor dir(openFile(folder, O_RDONLY | O_DIRECTORY));
    if (dir.fd >= 0)
        ::fsync(dir.fd);
}

QByteArray temporaryName(const QByteArray& folder, const QByteArray& fileName)
{
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = folder + "/." + fileName + '.';
    for (int i = 0; i < 8; ++i)
        name += Letters[QRandomGenerator::global()->bounded(int(sizeof(Letters) - 1))];
    return name;
}

// A new file beside the target that nobody else has opened. A target that
// exists gets its permissions only once its bytes are in, so that the
// temporary file is private until then.
int createTemporary(const QByteArray& folder, const QByteArray& fileName, bool targetExists,
                    QByteArray& name)
{
    for (int i = 0; i < TemporaryNameTries; ++i) {
        name = temporaryName(folder, fileName);
        const int fd =
            openFile(name, O_WRONLY | O_CREAT | O_EXCL, targetExists ? S_IRUSR | S_IWUSR : 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The owner, group and permissions of the file being replaced, given to its
// replacement. Only a privileged process may give a file to another owner or
// to a group it is not a member of: there the replacement stays ours.
bool copyOwnership(int fd, const struct stat& original)
{
    if (::fchown(fd, original.st_uid, original.st_gid) != 0 && errno != EPERM)
        return false;
    return ::fchmod(fd, original.st_mode & 07777) == 0;
}

FileIo::Result overwriteInPlace(const QString& localPath, const QByteArray& bytes)
{
    Descriptor file(openFile(nativeName(localPath), O_WRONLY | O_TRUNC));
    if (file.fd < 0 || !writeAll(file.fd, bytes) || !finish(file))
        return FileIo::failure(errno, localPath);
    return {};
}

FileIo::Result replace(const QString& localPath, const QByteArray& bytes,
                       const struct stat* original)
{
    const QFileInfo info(localPath);
    const QByteArray folder = nativeName(info.absolutePath());
    QByteArray temporary;
    Descriptor file(
        createTemporary(folder, nativeName(info.fileName()), original != nullptr, temporary));
    if (file.fd < 0) {
        if (original && (errno == EACCES || errno == EPERM))
            return overwriteInPlace(localPath, bytes);
        return FileIo::failure(errno, localPath);
    }
    const bool written = (!original || copyOwnership(file.fd, *original)) &&
                         writeAll(file.fd, bytes) && finish(file) &&
                         ::rename(temporary.constData(), nativeName(localPath).constData()) == 0;
    if (!written) {
        const int error = errno;
        ::unlink(temporary.constData());
        return FileIo::failure(error, localPath);
    }
    syncFolder(folder);
    return {};
}

// The file a path names: a symbolic link is followed, so that the file it
// points to is replaced and the link stays.
QString followLinks(const QString& localPath)
{
    const QFileInfo info(localPath);
    if (!info.isSymLink())
        return localPath;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
}

#endif

} // namespace

namespace FileIo {

Result failure(int error, const QString& localPath)
{
    return {error, QDir::toNativeSeparators(localPath), qt_error_string(error)};
}

#ifdef Q_OS_UNIX

Result readAll(const QString& localPath, QByteArray& bytes)
{
    Descriptor file(openFile(nativeName(localPath), O_RDONLY));
    struct stat info = {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0)
        return failure(errno, localPath);
    if (S_ISDIR(info.st_mode))
        return failure(EISDIR, localPath);
    // The size is a hint: the file may grow or shrink while it is read. One
    // byte more than the size is asked for, so that a file read whole ends
    // with a short read and needs no further call to find its end.
    const bool regular = S_ISREG(info.st_mode);
    const qsizetype size = regular ? qsizetype(info.st_size) : 0;
    bytes.resize(size + 1);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(used + 4096);
        const qsizetype asked = bytes.size() - used;
        const ssize_t got = ::read(file.fd, bytes.data() + used, static_cast<std::size_t>(asked));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failure(errno, localPath);
        used += got;
        if (got == 0 || (regular && used >= size && got < asked))
            break;
    }
    bytes.truncate(used);
    return {};
}

Result edit(const QString& path, const std::function<QByteArray(const QByteArray&)>& change)
{
    const QString localPath = followLinks(path);
    const QByteArray name = nativeName(localPath);
    struct stat original = {};
    const bool exists = ::stat(name.constData(), &original) == 0;
    if (!exists && errno != ENOENT)
        return failure(errno, localPath);
    if (!exists) {
        struct stat folder = {};
        const QByteArray folderName = nativeName(QFileInfo(localPath).absolutePath());
        if (::stat(folderName.constData(), &folder) != 0)
            return failure(errno, localPath);
        if (!S_ISDIR(folder.st_mode))
            return failure(ENOTDIR, localPath);
        return replace(localPath, change(QByteArray()), nullptr);
    }
    if (S_ISDIR(original.st_mode))
        return failure(EISDIR, localPath);
    // Windows refuses to write a read-only file. Without write permission for
    // its owner a file counts as read-only here, whoever runs the program.
    if (!(original.st_mode & S_IWUSR))
        return failure(EACCES, localPath);
    QByteArray bytes;
    if (Result read = readAll(localPath, bytes); !read)
        return read;
    return replace(localPath, change(bytes), &original);
}

Result checkEditable(const QString& path)
{
    const QString localPath = followLinks(path);
    const QByteArray name = nativeName(localPath);
    const QByteArray folderName = nativeName(QFileInfo(localPath).absolutePath());
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno != ENOENT)
            return failure(errno, localPath);
        struct stat folder = {};
        if (::stat(folderName.constData(), &folder) != 0)
            return failure(errno, localPath);
        if (!S_ISDIR(folder.st_mode))
            return failure(ENOTDIR, localPath);
        if (::access(folderName.constData(), W_OK | X_OK) != 0)
            return failure(errno, localPath);
        return {};
    }
    if (S_ISDIR(info.st_mode))
        return failure(EISDIR, localPath);
    if (!(info.st_mode & S_IWUSR))
        return failure(EACCES, localPath);
    if (::access(folderName.constData(), W_OK | X_OK) != 0 && ::access(name.constData(), W_OK) != 0)
        return failure(errno, localPath);
    return {};
}

#else

Result checkEditable(const QString& localPath)
{
    const QFileInfo info(localPath);
    if (!info.absoluteDir().exists())
        return {3, QDir::toNativeSeparators(localPath), QStringLiteral("Path not found")};
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return {5, QDir::toNativeSeparators(localPath), QStringLiteral("Access denied")};
    return {};
}

Result readAll(const QString& localPath, QByteArray& bytes)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return {1, QDir::toNativeSeparators(localPath), file.errorString()};
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {1, QDir::toNativeSeparators(localPath), file.errorString()};
    return {};
}

Result edit(const QString& localPath, const std::function<QByteArray(const QByteArray&)>& change)
{
    const QFileInfo info(localPath);
    if (!info.absoluteDir().exists())
        return {3, QDir::toNativeSeparators(localPath), QStringLiteral("Path not found")};
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return {5, QDir::toNativeSeparators(localPath), QStringLiteral("Access denied")};
    QByteArray bytes;
    if (info.exists()) {
        if (Result read = readAll(localPath, bytes); !read)
            return read;
    }
    QSaveFile file(localPath);
    file.setDirectWriteFallback(true);
    const QByteArray changed = change(bytes);
    if (!file.open(QIODevice::WriteOnly) || file.write(changed) != changed.size() || !file.commit())
        return {1, QDir::toNativeSeparators(localPath), file.errorString()};
    return {};
}

#endif

} // namespace FileIo
