#include "InstanceLock.h"

#include "Folders.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

namespace {

std::unique_ptr<QLockFile>& heldLock()
{
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

} // namespace

namespace InstanceLock {

QString LockFilePath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(Folders::executableBaseName() + QStringLiteral(".lock"));
}

bool AnotherInstanceRunning()
{
    std::unique_ptr<QLockFile>& lock = heldLock();
    if (lock && lock->isLocked())
        return false;
    lock = std::make_unique<QLockFile>(LockFilePath());
    // Only a dead holder makes a lock stale, never its age: an instance may
    // run for days.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return false;
    return lock->error() == QLockFile::LockFailedError;
}

void Take()
{
    AnotherInstanceRunning();
}

void Release()
{
    if (std::unique_ptr<QLockFile>& lock = heldLock())
        lock->unlock();
    heldLock().reset();
}

} // namespace InstanceLock
