#pragma once

#include <QString>

// An exclusive lock on the database file itself, held while a server serves
// it: two servers on one database would each keep their own copy of the
// records and give different answers. The lock belongs to the file, not to
// a name: a hard link, a symbolic link or another path to the same file
// finds it taken. It is an open-file-description lock on one byte beyond
// the bytes SQLite locks, so SQLite's own locks and other connections to
// the file (the admin commands) are not disturbed. The system releases it
// when the process ends, however it ends.
class DatabaseLock
{
public:
    enum class Result
    {
        Taken,
        Busy,  // another zorsrv holds it
        Failed // the file cannot be opened or locked
    };

    DatabaseLock() = default;
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // Locks the existing database file; message says why when the result is
    // not Taken.
    Result acquire(const QString& database, QString* message);

private:
    int m_fd = -1;
};
