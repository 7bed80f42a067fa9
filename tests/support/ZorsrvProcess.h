#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A real zorsrv for tests: started on loopback with a port of its own choice
// and an SQLite file in a temporary folder (or a given one), watched until it
// prints its listening line.
class ZorsrvProcess
{
public:
    ZorsrvProcess();
    ~ZorsrvProcess();
    ZorsrvProcess(const ZorsrvProcess&) = delete;
    ZorsrvProcess& operator=(const ZorsrvProcess&) = delete;

    // The zorsrv executable of this build.
    static QString executable();

    // Uses this database file instead of one in the private temporary folder.
    void setDatabase(const QString& path);
    QString databasePath() const;
    // The private temporary folder (exists for the lifetime of this object).
    QString folder() const;

    // Starts zorsrv with --db, --listen 127.0.0.1:0 and the extra arguments,
    // and waits for the listening line. False when it exits or stays silent;
    // errorText() then says why.
    bool start(const QStringList& extraArguments = {}, int timeoutMs = 30000);
    // Starts again on the same database with the same extra arguments.
    bool restart(int timeoutMs = 30000);

    bool isRunning() const;
    quint16 port() const { return m_port; }

    // SIGKILL, then waits for the process to go.
    void kill();
    // SIGTERM, then waits for it to exit; true when it exited normally with 0.
    bool terminate(int timeoutMs = 30000);
    // SIGINT, then waits as terminate() does.
    bool interrupt(int timeoutMs = 30000);

    int exitCode() const;
    QByteArray standardError();
    QByteArray standardOutput();
    QString errorText() const { return m_error; }

    // Runs zorsrv to its end with the given arguments (dump, audit, or a start
    // that must fail). Standard output and error are returned separately.
    struct Result
    {
        int exitCode = -1;
        bool finished = false;
        QByteArray out;
        QByteArray err;
    };
    static Result run(const QStringList& arguments, int timeoutMs = 30000);

private:
    bool waitForSignalExit(int signal, int timeoutMs);
    void collect();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_database;
    QStringList m_extra;
    QByteArray m_out;
    QByteArray m_err;
    QString m_error;
    quint16 m_port = 0;
};
