// A real zorsrv attacked over real sockets on loopback: clients that hold
// their place without doing their part, a client whose requests never stop
// coming, a client that half-closes, a second server on the same database, a
// database removed under the server, files left readable to others, peers
// outside the allowed subnets, ports the stations cannot name, and an audit
// trail without end.
#include "Layout.h"
#include "RawClient.h"
#include "RawDirectoryClient.h"
#include "ZorsrvProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A generous bound for what must happen, and how long a client that does
// its part is watched.
constexpr int DroppedWithinMs = 10000;
constexpr int KeptForMs = 1500;
// Refused connections of a flood, and how much the server may grow meanwhile
// (a kilobyte left behind by each would be more than that).
constexpr int FloodConnections = 5000;
constexpr qint64 FloodGrowthKib = 3000;
// Enough for the server's own files and a few dozen connections.
constexpr int DescriptorLimit = 64;

namespace P = DirectoryProtocol;

// Takes a place on the records port or on the directory's, from the given
// address of this machine: 0 when the server greeted it there and answered
// its login or its list, else the refusal sent instead (such as -4).
qint32 probe(quint16 port, bool directory = false, const QHostAddress& from = {})
{
    RawClient records;
    RawDirectoryClient agents;
    if (!from.isNull())
        (directory ? agents.socket() : records.socket()).bind(from);
    if (!directory)
        return records.connectTo(port) ? records.login() : 1;
    const qint32 greeted = agents.connectTo(port) ? agents.receive().code : 1;
    return greeted != 0 ? greeted : agents.list().code;
}

// A client that holds a place on either port and does as little as the
// attack says, one step every 100 ms.
struct Attacker
{
    explicit Attacker(bool onDirectory) : directory(onDirectory) {}

    bool directory;
    RawClient records;
    RawDirectoryClient agents;

    bool start(quint16 port, bool login)
    {
        if (directory)
            return agents.connectTo(port) && agents.hello() && (!login || agents.list().code == 0);
        // A small window: its unread answers soon wait at the server.
        if (!records.connectTo(port, 10000, 4096) || (login && records.login() != 0))
            return false;
        records.socket().setReadBufferSize(1024); // reads only what it asks for
        return true;
    }

    void step(const QString& attack, int step)
    {
        QTcpSocket& socket = directory ? agents.socket() : records.socket();
        const QByteArray request = directory ? P::frame(P::List) : RawClient::readRequest(0);
        if (attack == QLatin1String("drip")) {
            // One byte at a time of a request, never whole in time.
            socket.write(request.mid(step % request.size(), 1));
            socket.waitForBytesWritten(50);
        } else if (attack == QLatin1String("unread")) {
            // Asks for the supervisor record again and again, reads nothing.
            socket.write(RawClient::readRequest(-1).repeated(256));
            socket.waitForBytesWritten(50);
        } else if (attack == QLatin1String("busy")) {
            // Well within the limits: a whole request and its answer each time.
            if (directory)
                agents.list();
            else
                records.read(0);
        }
    }
};

// A logged-in client that sends read requests without a pause and reads the
// answers as fast as they come, on a thread of its own.
class Flood
{
public:
    ~Flood()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    bool start(quint16 port)
    {
        m_descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QByteArray greeting(Layout::HeaderSize, '\0');
        if (m_descriptor < 0 ||
            ::connect(m_descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::recv(m_descriptor, greeting.data(), std::size_t(greeting.size()), MSG_WAITALL) !=
                greeting.size())
            return false;
        // The login and the first requests go out together: the requests
        // are already waiting when the login is answered.
        m_thread = std::thread([this, login = RawClient::loginRequest(greeting)] {
            const QByteArray requests = RawClient::readRequest(0).repeated(64);
            QByteArray pending = login + requests;
            std::vector<char> buffer(64 * 1024);
            pollfd watched{m_descriptor, POLLIN | POLLOUT, 0};
            while (!m_stopping && ::poll(&watched, 1, 100) >= 0) {
                const ssize_t got = (watched.revents & POLLIN)
                                        ? ::recv(m_descriptor, buffer.data(), buffer.size(), 0)
                                        : 0;
                const ssize_t sent =
                    (watched.revents & POLLOUT)
                        ? ::send(m_descriptor, pending.constData(), std::size_t(pending.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT)
                        : 0;
                if (got < 0 || sent < 0 || (got == 0 && (watched.revents & POLLIN)))
                    return;
                m_received += got;
                pending.remove(0, sent);
                if (pending.isEmpty())
                    pending = requests;
            }
        });
        return true;
    }

    qint64 received() const { return m_received; }

private:
    int m_descriptor = -1;
    std::atomic<bool> m_stopping = false;
    std::atomic<qint64> m_received = 0;
    std::thread m_thread;
};

QString permissions(const QString& path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 0777, 8);
}

} // namespace

class TestHardening : public QObject
{
    Q_OBJECT

    ZorsrvProcess m_server;

    static void addPorts()
    {
        QTest::addColumn<bool>("directory"); // the directory's port, else the records'
        QTest::newRow("records") << false;
        QTest::newRow("directory") << true;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }

    void limits_data()
    {
        QTest::addColumn<bool>("directory"); // the directory's port, else the records'
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("attack");
        QTest::addColumn<bool>("login"); // logs in, or on the directory lists once, first
        QTest::addColumn<bool>("dropped");
        const QStringList busy = {"--login-timeout", "0.3", "--idle-timeout", "1",
                                  "--stall-timeout", "0.5"};
        for (const bool directory : {false, true}) {
            const char* port = directory ? "directory" : "records";
            QTest::addRow("%s: silent before login", port)
                << directory << QStringList{"--login-timeout", "0.3"} << "silent" << false << true;
            QTest::addRow("%s: quiet after login", port)
                << directory << QStringList{"--idle-timeout", "0.3"} << "silent" << true << true;
            QTest::addRow("%s: slow drip", port)
                << directory << QStringList{"--stall-timeout", "0.5"} << "drip" << true << true;
            QTest::addRow("%s: busy within the limits", port)
                << directory << busy << "busy" << true << false;
        }
        QTest::newRow("records: answers not read")
            << false << QStringList{"--stall-timeout", "0.5"} << "unread" << true << true;
    }

    void limits()
    {
        QFETCH(bool, directory);
        QFETCH(QStringList, options);
        QFETCH(QString, attack);
        QFETCH(bool, login);
        QFETCH(bool, dropped);
        // One place: the attacker holds it until the server drops it.
        ZorsrvProcess server;
        QVERIFY2(server.start(options + QStringList{"--max-connections", "1"}),
                 qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        const quint16 port = directory ? server.directoryPort() : server.port();
        Attacker attacker(directory);
        QVERIFY(attacker.start(port, login));
        QElapsedTimer clock;
        clock.start();
        bool freed = false;
        for (int step = 0; !freed && clock.elapsed() < (dropped ? DroppedWithinMs : KeptForMs);
             ++step) {
            attacker.step(attack, step);
            freed = probe(port, directory) == 0;
            QThread::msleep(100);
        }
        QCOMPARE(freed, dropped);
    }

    // A peer that connects again and again while every place is taken costs
    // the server nothing that stays.
    void connectFlood_data() { addPorts(); }

    void connectFlood()
    {
        QFETCH(bool, directory);
        ZorsrvProcess server;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Freed memory is used again at once, as without the sanitizer.
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":quarantine_size_mb=0");
        server.setEnvironment(environment);
        QVERIFY2(server.start({"--max-connections", "1"}), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        const quint16 port = directory ? server.directoryPort() : server.port();
        Attacker holder(directory);
        QVERIFY(holder.start(port, false));
        const auto flood = [port, directory](int connections) {
            int refused = 0;
            for (int i = 0; i < connections; ++i)
                refused += probe(port, directory) == -4;
            return refused;
        };
        QCOMPARE(flood(1000), 1000); // the server's pools are warm
        const qint64 before = server.usage().residentKib;
        QCOMPARE(flood(FloodConnections), FloodConnections);
        const qint64 grown = server.usage().residentKib - before;
        QVERIFY2(grown < FloodGrowthKib, qPrintable(QString::number(grown)));
    }

    void flood()
    {
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        Flood flood;
        QVERIFY(flood.start(server.port()));
        // Answers flow: the server is busy with the flood.
        QTRY_VERIFY_WITH_TIMEOUT(flood.received() > 100 * Layout::HeaderSize, DroppedWithinMs);
        // Another client is still greeted and served meanwhile, and the
        // flood still gets its answers.
        QCOMPARE(probe(server.port()), 0);
        const qint64 before = flood.received();
        QTRY_VERIFY_WITH_TIMEOUT(flood.received() > before, DroppedWithinMs);
    }

    void halfClose()
    {
        RawClient client;
        QVERIFY(client.connectTo(m_server.port()) && client.login() == 0);
        const QByteArray data(464, char(0x42));
        QVERIFY(client.send(RawClient::writeRequest(7, data) + RawClient::readRequest(7)));
        // The client sends nothing more, and still reads both answers.
        QCOMPARE(::shutdown(int(client.socket().socketDescriptor()), SHUT_WR), 0);
        QCOMPARE(client.receive().code(), 0);
        QCOMPARE(client.receive().data, data);
        QVERIFY(client.waitForClosed());
    }

    // The database is locked itself, whatever names it and whatever is
    // removed beside it.
    void secondServer_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("same path") << "same";
        QTest::newRow("a symbolic link") << "symlink";
        QTest::newRow("a hard link") << "link";
        QTest::newRow("a lock file beside it removed") << "removed";
    }

    void secondServer()
    {
        QFETCH(QString, how);
        const QString db = m_server.databasePath();
        const QString other = db + QStringLiteral("-") + how;
        QFile::remove(other);
        if (how == QLatin1String("symlink"))
            QVERIFY(QFile::link(db, other));
        else if (how == QLatin1String("link"))
            QCOMPARE(
                ::link(QFile::encodeName(db).constData(), QFile::encodeName(other).constData()), 0);
        else if (how == QLatin1String("removed"))
            QFile::remove(db + QStringLiteral(".lock"));
        const QString path =
            how == QLatin1String("same") || how == QLatin1String("removed") ? db : other;
        const auto r =
            ZorsrvProcess::run({"--db", path, "--listen", "127.0.0.1:0", "--no-directory"});
        QFile::remove(other);
        QCOMPARE(r.exitCode, 5);
        QVERIFY2(r.err.contains("already served by another zorsrv"), r.err.constData());
        // The first one still serves.
        QCOMPARE(probe(m_server.port()), 0);
    }

    // One peer cannot take every place: past its share it is refused with
    // -4 and another peer is still served, until every place is taken.
    void perPeer_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("share");
        QTest::addColumn<bool>("otherServed");
        for (const bool directory : {false, true}) {
            const char* port = directory ? "directory" : "records";
            QTest::addRow("%s: --max-per-peer 3", port)
                << directory << QStringList{"--max-per-peer", "3"} << 3 << true;
            QTest::addRow("%s: a tenth of --max-connections", port)
                << directory << QStringList{"--max-connections", "20"} << 2 << true;
        }
        QTest::newRow("directory: every place taken")
            << true << QStringList{"--max-connections", "2", "--max-per-peer", "5"} << 2 << false;
    }

    void perPeer()
    {
        QFETCH(bool, directory);
        QFETCH(QStringList, options);
        QFETCH(int, share);
        QFETCH(bool, otherServed);
        ZorsrvProcess server;
        QVERIFY2(server.start(options), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        const quint16 port = directory ? server.directoryPort() : server.port();
        std::vector<std::unique_ptr<Attacker>> held;
        for (int i = 0; i < share; ++i) {
            held.push_back(std::make_unique<Attacker>(directory));
            QVERIFY(held.back()->start(port, true));
        }
        QCOMPARE(probe(port, directory), -4);
        // From another address of the machine.
        QCOMPARE(probe(port, directory, QHostAddress(QStringLiteral("127.0.0.2"))),
                 otherServed ? 0 : -4);
    }

    // Out of descriptors, a listener says so, and accepts again once
    // connections have closed.
    void outOfDescriptors_data() { addPorts(); }

    void outOfDescriptors()
    {
        QFETCH(bool, directory);
        ZorsrvProcess server;
        server.setDescriptorLimit(DescriptorLimit);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        const quint16 port = directory ? server.directoryPort() : server.port();
        std::vector<std::unique_ptr<QTcpSocket>> held(DescriptorLimit);
        for (auto& socket : held) {
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(socket->waitForConnected(10000));
        }
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += server.standardError()).contains("out of descriptors"),
                                 DroppedWithinMs);
        // It waits meanwhile instead of trying without a pause.
        const double before = server.usage().cpuSeconds;
        QThread::msleep(1000);
        const double used = server.usage().cpuSeconds - before;
        QVERIFY2(used < 0.2, qPrintable(QString::number(used)));
        held.clear();
        QCOMPARE(probe(port, directory), 0);
    }

    void databaseGone_data()
    {
        QTest::addColumn<bool>("replaced"); // by another file, else removed
        QTest::newRow("removed") << false;
        QTest::newRow("replaced") << true;
    }

    void databaseGone()
    {
        QFETCH(bool, replaced);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(server.port()) && client.login() == 0);
        QCOMPARE(client.write(0, QByteArray(464, 'a')).code(), 0);
        const QString path = server.databasePath();
        QVERIFY(QFile::remove(path));
        if (replaced) {
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("not the database") > 0);
        }
        QCOMPARE(client.write(0, QByteArray(464, 'b')).code(), -9);
        QVERIFY(server.terminate());
        QVERIFY(server.standardError().contains("was removed or replaced"));
    }

    void privateFiles()
    {
        QTemporaryDir data;
        const mode_t before = ::umask(0);
        ZorsrvProcess server;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        server.setDatabase({}); // the default, in the per-user data folder
        server.setEnvironment(environment);
        const bool started = server.start();
        ::umask(before);
        QVERIFY2(started, qPrintable(server.errorText()));
        RawClient client; // a write makes the WAL
        QVERIFY(client.connectTo(server.port()) && client.login() == 0);
        QCOMPARE(client.write(0, QByteArray(464, 'a')).code(), 0);
        const QString folder = data.filePath(QStringLiteral("zorsrv"));
        const QString db = folder + QStringLiteral("/zorsrv.db");
        const QStringList found = {permissions(folder), permissions(db), permissions(db + "-wal"),
                                   permissions(db + "-shm")};
        QCOMPARE(found, QStringList({"700", "600", "600", "600"}));
    }

    void allow_data()
    {
        QTest::addColumn<QStringList>("subnets");
        QTest::addColumn<bool>("greeted");
        QTest::newRow("other network") << QStringList{"10.0.0.0/8"} << false;
        QTest::newRow("other address") << QStringList{"127.0.0.2"} << false;
        QTest::newRow("loopback network") << QStringList{"10.0.0.0/8", "127.0.0.0/8"} << true;
        QTest::newRow("this address") << QStringList{"127.0.0.1/32"} << true;
    }

    void allow()
    {
        QFETCH(QStringList, subnets);
        QFETCH(bool, greeted);
        QStringList options;
        for (const QString& subnet : subnets)
            options << QStringLiteral("--allow") << subnet;
        ZorsrvProcess server;
        QVERIFY2(server.start(options), qPrintable(server.errorText()));
        RawClient client;
        QCOMPARE(client.connectTo(server.port()), greeted);
        QCOMPARE(client.greeting().size(), greeted ? Layout::HeaderSize : 0);
        QCOMPARE(client.waitForClosed(greeted ? 0 : DroppedWithinMs), !greeted);
    }

    void ports()
    {
        // Any port: one the stations can name.
        QVERIFY(m_server.port() <= 32767);
        // A port above: served, with a warning.
        QTcpServer high;
        while (high.listen(QHostAddress::LocalHost) && high.serverPort() <= 32767)
            high.close();
        const quint16 port = high.serverPort();
        high.close();
        ZorsrvProcess server;
        QVERIFY2(server.start({"--listen", QStringLiteral("127.0.0.1:%1").arg(port)}),
                 qPrintable(server.errorText()));
        QCOMPARE(server.port(), port);
        QVERIFY(server.standardError().contains("warning: port"));
    }

    void prune_data()
    {
        QTest::addColumn<QStringList>("retention");
        QTest::addColumn<int>("kept"); // of the old row and three new ones
        QTest::newRow("defaults") << QStringList{} << 3;
        QTest::newRow("two rows") << QStringList{"--audit-rows", "2"} << 2;
        QTest::newRow("ten thousand days") << QStringList{"--audit-days", "10000"} << 4;
    }

    void prune()
    {
        QFETCH(QStringList, retention);
        QFETCH(int, kept);
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(server.port()) && client.login() == 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(client.write(i, QByteArray(464, char('a' + i))).code(), 0);
        server.kill();
        // Older than the others, by time and by number.
        ZorsrvProcess::query(server.databasePath(),
                             "INSERT INTO audit (id, time, peer, record, after) VALUES "
                             "(0, '2000-01-01T00:00:00.000Z', 'old', 0, x'00')");
        const auto r = ZorsrvProcess::run(
            QStringList{"audit", "--prune", "--db", server.databasePath()} + retention);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains(QByteArray::number(4 - kept) + " audit rows deleted"),
                 r.out.constData());
        const auto audit = ZorsrvProcess::run({"audit", "--db", server.databasePath()});
        QVERIFY2(audit.out.contains("\n" + QByteArray::number(kept) + " audit rows\n"),
                 audit.out.constData());
    }
    // The server keeps the audit within --audit-rows as it writes, also
    // when rows go meanwhile through another connection.
    void auditBound_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("meanwhile");   // run after the first six writes
        QTest::addColumn<QByteArrayList>("kept"); // records of the rows left, of writes to 0 to 11
        QTest::newRow("defaults") << QStringList{} << QString()
                                  << QByteArrayList{"0", "1", "2", "3", "4",  "5",
                                                    "6", "7", "8", "9", "10", "11"};
        QTest::newRow("five rows") << QStringList{"--audit-rows", "5"} << QString()
                                   << QByteArrayList{"7", "8", "9", "10", "11"};
        QTest::newRow("ten rows, some deleted meanwhile")
            << QStringList{"--audit-rows", "10"} << "DELETE FROM audit WHERE record < 4"
            << QByteArrayList{"4", "5", "6", "7", "8", "9", "10", "11"};
    }

    void auditBound()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, meanwhile);
        QFETCH(QByteArrayList, kept);
        ZorsrvProcess server;
        QVERIFY2(server.start(options), qPrintable(server.errorText()));
        RawClient client;
        QVERIFY(client.connectTo(server.port()) && client.login() == 0);
        for (int i = 0; i < 12; ++i) {
            if (i == 6 && !meanwhile.isEmpty())
                ZorsrvProcess::query(server.databasePath(), meanwhile);
            QCOMPARE(client.write(i, QByteArray(464, char('a' + i))).code(), 0);
        }
        QCOMPARE(
            ZorsrvProcess::query(server.databasePath(), "SELECT record FROM audit ORDER BY id"),
            kept);
    }
};

QTEST_GUILESS_MAIN(TestHardening)
#include "tst_hardening.moc"
