#pragma once

#include <QString>

// An exclusive lock on a file beside the database ("<database>.lock"), held
// for the server's life: two servers on one database would each keep their
// own copy of the records and give different answers. The system releases
// the lock when the process ends, however it ends.
class DatabaseLock
{
public:
    enum class Result
    {
        Taken,
        Busy,  // another zorsrv holds it
        Failed // the lock file cannot be created or locked
    };

    DatabaseLock() = default;
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // message says why, when the result is not Taken.
    Result acquire(const QString& database, QString* message);

private:
    int m_fd = -1;
};
