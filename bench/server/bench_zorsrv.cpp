// Full agent-store transfers per second through a real zorsrv (connect, login,
// read one agent record, write it back, close) with 1, 8 and 64 concurrent
// clients, against bare SQLite commits of one row each with the same
// settings (WAL, synchronous=FULL) in the same folder. Then the cost of the
// audit bound: the transfers of 8 clients through a server that keeps at
// most 1000 audit rows, so that each commit deletes as many as it adds,
// against a server whose bound is never reached.
#include "Layout.h"
#include "RawClient.h"
#include "ZorsrvProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Each client count runs in slices that alternate with bare commits, so that
// both see the same disk: the flush time drifts with other work on the machine.
constexpr int Slices = 4;
constexpr int SliceMs = 600;
constexpr int Agents = 9999;
constexpr int BoundRows = 1000;
constexpr int BoundClients = 8;
constexpr int BoundSlices = 12;

// One client repeating the transfer of the tool's agent store, driven by the
// event loop so that many run side by side in one thread.
class Transfer : public QObject
{
public:
    Transfer(quint16 port, int agent, const QElapsedTimer& clock, qint64 endMs)
        : m_port(port), m_agent(agent), m_clock(clock), m_endMs(endMs)
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { received(); });
        connect(
            &m_socket, &QTcpSocket::disconnected, this, [this] { begin(); }, Qt::QueuedConnection);
    }

    void begin()
    {
        if (m_clock.elapsed() >= m_endMs) {
            m_done = true;
            return;
        }
        m_buffer.clear();
        m_step = Step::Greeting;
        m_socket.connectToHost(QHostAddress::LocalHost, m_port);
    }

    bool done() const { return m_done; }
    qint64 completed() const { return m_completed; }
    qint64 failures() const { return m_failures; }

private:
    enum class Step
    {
        Greeting,
        Login,
        Read,
        Write,
        Closing
    };

    int expected() const
    {
        if (m_step == Step::Read)
            return Layout::AgentRecordSize;
        return Layout::HeaderSize;
    }

    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    void received()
    {
        m_buffer += m_socket.readAll();
        while (m_step != Step::Closing && m_buffer.size() >= expected()) {
            const QByteArray message = m_buffer.left(expected());
            m_buffer.remove(0, expected());
            advance(message);
        }
    }

    void advance(const QByteArray& message)
    {
        const auto* h = reinterpret_cast<const quint8*>(message.constData());
        if (m_step != Step::Greeting &&
            Layout::readInt(h, Layout::Header::Status) == Layout::StatusRefused) {
            ++m_failures;
            m_step = Step::Closing;
            m_socket.disconnectFromHost();
            return;
        }
        switch (m_step) {
        case Step::Greeting:
            m_step = Step::Login;
            send(RawClient::loginRequest(message));
            break;
        case Step::Login:
            m_step = Step::Read;
            send(RawClient::readRequest(m_agent));
            break;
        case Step::Read: {
            QByteArray data = message.mid(Layout::HeaderSize);
            Layout::writeInt(reinterpret_cast<quint8*>(data.data()), Layout::Agent::Droit_Stat,
                             qint32(m_completed & 1));
            m_step = Step::Write;
            send(RawClient::writeRequest(m_agent, data));
            break;
        }
        case Step::Write:
            ++m_completed;
            m_step = Step::Closing;
            m_socket.disconnectFromHost();
            break;
        case Step::Closing:
            break;
        }
    }

    QTcpSocket m_socket;
    quint16 m_port;
    int m_agent;
    const QElapsedTimer& m_clock;
    qint64 m_endMs;
    QByteArray m_buffer;
    Step m_step = Step::Greeting;
    qint64 m_completed = 0;
    qint64 m_failures = 0;
    bool m_done = false;
};

// Runs the transfers for one slice; adds the transfers and the seconds taken.
void runTransfers(quint16 port, int clients, qint64* transfers, double* seconds, qint64* failures)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Transfer>> pool;
    for (int i = 0; i < clients; ++i)
        pool.push_back(std::make_unique<Transfer>(port, (i * 97) % Agents, clock, SliceMs));
    for (auto& t : pool)
        t->begin();
    QTimer poll;
    QEventLoop loop;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        for (auto& t : pool) {
            if (!t->done())
                return;
        }
        loop.quit();
    });
    poll.start(10);
    loop.exec();
    *seconds += double(clock.nsecsElapsed()) / 1e9;
    for (auto& t : pool) {
        *transfers += t->completed();
        *failures += t->failures();
    }
}

// Bare commits: one row per transaction, on a connection kept open.
class BareCommits
{
public:
    explicit BareCommits(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("b"));
        db.setDatabaseName(path);
        if (!db.open())
            return;
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, data BLOB NOT NULL)"));
        m_insert.emplace(db);
        m_ok =
            m_insert->prepare(QStringLiteral("INSERT OR REPLACE INTO t (id, data) VALUES (?, ?)"));
    }

    ~BareCommits()
    {
        m_insert.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("b"));
    }

    // Commits for ms milliseconds; adds the commits and the seconds taken.
    void run(qint64 ms, qint64* commits, double* seconds)
    {
        const QByteArray row(Layout::AgentDataSize, 'r');
        QElapsedTimer clock;
        clock.start();
        while (m_ok && clock.elapsed() < ms) {
            m_insert->addBindValue(qint64(m_next++ % Agents));
            m_insert->addBindValue(row);
            if (!m_insert->exec())
                m_ok = false;
            else
                ++*commits;
        }
        *seconds += double(clock.nsecsElapsed()) / 1e9;
    }

private:
    std::optional<QSqlQuery> m_insert;
    qint64 m_next = 0;
    bool m_ok = false;
};

// The load of fault_kill9.sh: each client writes its own agent record (index
// = record number) over and over, its sequence number in the password field
// as "seq-N", and one line "ack RECORD N" is printed per acknowledged write.
// Runs until the server goes away.
int writeUntilKilled(quint16 port, int clients)
{
    std::vector<std::unique_ptr<RawClient>> pool;
    std::vector<qint64> sequence;
    for (int c = 0; c < clients; ++c) {
        pool.push_back(std::make_unique<RawClient>());
        if (!pool.back()->connectTo(port) || pool.back()->login() != 0)
            return 1;
        const QByteArray current = pool.back()->read(c).data;
        const QByteArray text =
            current.mid(Layout::Agent::Password, Layout::Agent::PasswordWidth).split('\0').front();
        sequence.push_back(text.startsWith("seq-") ? text.mid(4).toLongLong() : 0);
    }
    for (;;) {
        for (int c = 0; c < clients; ++c) {
            QByteArray data(Layout::AgentDataSize, '\0');
            const QByteArray text = "seq-" + QByteArray::number(++sequence[std::size_t(c)]);
            data.replace(Layout::Agent::Password, text.size(), text);
            if (!pool[std::size_t(c)]->send(RawClient::writeRequest(c, data)))
                return 0;
        }
        for (int c = 0; c < clients; ++c) {
            const RawClient::Answer answer = pool[std::size_t(c)]->receive();
            if (!answer.complete || answer.status == Layout::StatusRefused)
                return 0;
            std::printf("ack %d %lld\n", c, static_cast<long long>(sequence[std::size_t(c)]));
        }
        std::fflush(stdout);
    }
}

// Transfers per second with the audit bound on, and on a server whose bound is
// never reached, in alternating slices after both have written more than the
// bound; adds the refused transfers.
std::pair<double, double> auditBoundRates(const QTemporaryDir& folder, qint64* failures)
{
    ZorsrvProcess bounded, unbounded;
    bounded.setDatabase(folder.filePath(QStringLiteral("bounded.db")));
    unbounded.setDatabase(folder.filePath(QStringLiteral("unbounded.db")));
    if (!bounded.start({"--audit-rows", QString::number(BoundRows)}) || !unbounded.start())
        return {0, 0};
    for (ZorsrvProcess* server : {&bounded, &unbounded}) {
        qint64 written = 0;
        double unused = 0;
        while (written <= 2 * BoundRows)
            runTransfers(server->port(), BoundClients, &written, &unused, failures);
    }
    qint64 transfers[2] = {0, 0};
    double seconds[2] = {0, 0};
    // Each goes first in every other slice: a disk that slows down or speeds
    // up over the run counts the same for both.
    for (int slice = 0; slice < BoundSlices; ++slice) {
        for (int i = 0; i < 2; ++i) {
            const int which = (slice + i) % 2;
            runTransfers((which == 0 ? bounded : unbounded).port(), BoundClients, &transfers[which],
                         &seconds[which], failures);
        }
    }
    const QByteArrayList rows =
        ZorsrvProcess::query(bounded.databasePath(), QStringLiteral("SELECT count(*) FROM audit"));
    std::printf("audit bound %d: %s rows after %lld transfers\n", BoundRows,
                rows.value(0, "?").constData(), static_cast<long long>(transfers[0]));
    return {double(transfers[0]) / seconds[0], double(transfers[1]) / seconds[1]};
}

} // namespace

int main(int argc, char* argv[])
{
    // The clients use Qt's own event dispatcher, as zorsrv does.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArrayView(argv[1]) == "--writer")
        return writeUntilKilled(quint16(QByteArray(argv[2]).toUInt()), QByteArray(argv[3]).toInt());
    QTemporaryDir folder(QDir::current().filePath(QStringLiteral("bench_zorsrv-XXXXXX")));
    BareCommits bare(folder.filePath(QStringLiteral("bare.db")));
    ZorsrvProcess server;
    server.setDatabase(folder.filePath(QStringLiteral("zorsrv.db")));
    // Every client comes from this machine's address.
    if (!server.start({"--max-per-peer", "1000"})) {
        std::printf("zorsrv did not start: %s\n", qPrintable(server.errorText()));
        return 1;
    }
#if defined(__SANITIZE_ADDRESS__)
    std::printf("note: built with AddressSanitizer, which slows zorsrv several times; "
                "the target is meant for a Release build\n");
#endif
    std::printf("bare commits: WAL, synchronous=FULL, one %d-byte row per commit; "
                "%d slices of %d ms alternating with the transfers\n",
                Layout::AgentDataSize, Slices, SliceMs);
    double ratio64 = 0;
    qint64 failures = 0;
    for (int clients : {1, 8, 64}) {
        qint64 transfers = 0;
        qint64 commits = 0;
        double transferSeconds = 0;
        double commitSeconds = 0;
        for (int slice = 0; slice < Slices; ++slice) {
            bare.run(SliceMs, &commits, &commitSeconds);
            runTransfers(server.port(), clients, &transfers, &transferSeconds, &failures);
        }
        const double transferRate = double(transfers) / transferSeconds;
        const double commitRate = double(commits) / commitSeconds;
        const double ratio = commitRate > 0 ? transferRate / commitRate : 0;
        std::printf("%2d clients: %.0f agent-store transfers/s, bare commits %.0f/s, ratio %.2f\n",
                    clients, transferRate, commitRate, ratio);
        std::fflush(stdout);
        if (clients == 64)
            ratio64 = ratio;
    }
    server.terminate();
    for (const QByteArray& line : server.standardError().split('\n')) {
        if (line.contains("commits"))
            std::printf("%s\n", line.constData());
    }
    if (failures > 0)
        std::printf("refused transfers: %lld\n", static_cast<long long>(failures));
    std::printf("RESULT zorsrv_store ratio=%.2f target>=2\n", failures > 0 ? 0.0 : ratio64);
    failures = 0;
    const auto [boundRate, unboundRate] = auditBoundRates(folder, &failures);
    std::printf("%d clients: %.0f transfers/s with at most %d audit rows, %.0f/s without "
                "reaching the bound\n",
                BoundClients, boundRate, BoundRows, unboundRate);
    if (failures > 0)
        std::printf("refused transfers: %lld\n", static_cast<long long>(failures));
    std::printf("RESULT zorsrv_audit_bound ratio=%.2f target>=0.9\n",
                failures > 0 || unboundRate <= 0 ? 0.0 : boundRate / unboundRate);
    std::fflush(stdout);
    return 0;
}
