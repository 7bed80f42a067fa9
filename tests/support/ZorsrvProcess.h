#pragma once

#include <QProcess>
#include <QTemporaryDir>

// A real zorsrv for tests: started on loopback with a port of its own choice
// and an SQLite file in a temporary folder (or a given one), watched until it
// prints its listening line.
class ZorsrvProcess
{
public:
    ZorsrvProcess() : m_database(m_dir.filePath(QStringLiteral("zorsrv.db"))) {}
    ~ZorsrvProcess() { kill(); }

    // An empty path leaves --db out: the server takes its default.
    void setDatabase(const QString& path) { m_database = path; }
    void setEnvironment(const QProcessEnvironment& e) { m_process.setProcessEnvironment(e); }
    // The most descriptors the process may open (soft and hard limit); 0 leaves
    // the limit as it is.
    void setDescriptorLimit(int limit) { m_descriptorLimit = limit; }
    QString databasePath() const { return m_database; }

    // Starts zorsrv with --db, --listen 127.0.0.1:0, --directory 127.0.0.1:0
    // (unless the extra arguments place the directory or turn it off) and the
    // extra arguments, and waits for the listening line. False when it exits or stays silent;
    // errorText() then says why.
    bool start(const QStringList& extraArguments = {}, int timeoutMs = 30000);

    // start() on a free port below 32768, the ports a station file's 16-bit
    // TCP_port can name; a few random ports are tried.
    bool startOnStationPort(const QStringList& extraArguments = {});

    // A loopback port nobody listens on when it is asked for (0 when none
    // could be had): where a station file names a server that is not there.
    static quint16 unusedPort();

    quint16 port() const { return m_port; }
    // The directory's port; 0 when it is off.
    quint16 directoryPort() const { return m_directoryPort; }

    // SIGKILL, then waits for the process to go (nothing when it is not running).
    void kill() { m_process.kill(), m_process.waitForFinished(30000); }
    // SIGTERM, then waits for it to exit; true when it exited normally with 0.
    bool terminate(int timeoutMs = 30000);

    QByteArray standardError() { return m_process.readAllStandardError(); }
    // What the running process has used so far, from /proc; -1 when unknown.
    struct Usage
    {
        double cpuSeconds = -1;
        qint64 residentKib = -1;
    };
    Usage usage() const;
    QString errorText() const { return m_error; }

    // Runs zorsrv to its end with the given arguments (dump, audit, or a start
    // that must fail). Standard output and error are returned separately.
    struct Result
    {
        int exitCode = -1; // also when it had to be killed
        QByteArray out, err;
    };
    static Result run(const QStringList& arguments, int timeoutMs = 30000);
    // `zorsrv agents COMMAND...` on the database (the command split at spaces).
    static Result agents(const QString& database, const QString& command);
    // Imports the CSV text into the database; true when zorsrv took it.
    static bool importAgents(const QString& database, const QByteArray& csv);
    // Every value of the query's rows in order, read through a connection of
    // the test's own; nothing when the database or the query fails.
    static QByteArrayList query(const QString& database, const QString& sql);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_database;
    QString m_error;
    quint16 m_port = 0;
    quint16 m_directoryPort = 0;
    int m_descriptorLimit = 0;
};
