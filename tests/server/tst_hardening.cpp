// A real zorsrv attacked over real sockets on loopback: clients that hold
// their place without doing their part, a client whose requests never stop
// coming, a client that half-closes, a second server on the same database, a
// database removed under the server, files left readable to others, peers
// outside the allowed subnets, ports the stations cannot name, and an audit
// trail without end.
#include "Layout.h"
#include "RawClient.h"
#include "ZorsrvProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A generous bound for what must happen, and how long a client that does
// its part is watched.
constexpr int DroppedWithinMs = 10000;
constexpr int KeptForMs = 1500;

// Logs in on a new connection: 0 when the server had a place for it.
qint32 probe(quint16 port)
{
    RawClient client;
    return client.connectTo(port) ? client.login() : 1;
}

// One step of an attack, every 100 ms.
void attackStep(RawClient& attacker, const QString& attack, int step)
{
    if (attack == QLatin1String("drip")) {
        // One byte at a time of a read request, never whole in time.
        attacker.send(RawClient::readRequest(0).mid(step % Layout::HeaderSize, 1));
    } else if (attack == QLatin1String("unread")) {
        // Asks for the supervisor record again and again, reads nothing.
        QByteArray requests;
        for (int i = 0; i < 256; ++i)
            requests += RawClient::readRequest(-1);
        attacker.socket().write(requests);
        attacker.socket().waitForBytesWritten(50);
    } else if (attack == QLatin1String("busy")) {
        // Well within the limits: a whole request and its answer each time.
        attacker.read(0);
    }
}

// A logged-in client that sends read requests without a pause from one
// thread and reads the answers as fast as they come from another.
class Flood
{
public:
    ~Flood() { stop(); }

    bool start(quint16 port)
    {
        m_descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_descriptor < 0 ||
            ::connect(m_descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;
        const QByteArray greeting = receiveBlock();
        if (greeting.size() != Layout::HeaderSize)
            return false;
        // The login and the first requests go out together: the requests
        // are already waiting when the login is answered.
        m_writer = std::thread([this, login = RawClient::loginRequest(greeting)] {
            QByteArray requests;
            for (int i = 0; i < 64; ++i)
                requests += RawClient::readRequest(0);
            QByteArray bytes = login + requests;
            qsizetype sent = 0;
            while (!m_stopping) {
                const ssize_t now = ::send(m_descriptor, bytes.constData() + sent,
                                           std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
                if (now <= 0)
                    break;
                sent += now;
                if (sent == bytes.size()) {
                    bytes = requests;
                    sent = 0;
                }
            }
        });
        m_reader = std::thread([this] {
            std::vector<char> buffer(64 * 1024);
            ssize_t got = 0;
            while (!m_stopping && (got = ::recv(m_descriptor, buffer.data(), buffer.size(), 0)) > 0)
                m_received += got;
        });
        return true;
    }

    qint64 received() const { return m_received; }

    void stop()
    {
        if (m_descriptor < 0)
            return;
        m_stopping = true;
        ::shutdown(m_descriptor, SHUT_RDWR);
        if (m_writer.joinable())
            m_writer.join();
        if (m_reader.joinable())
            m_reader.join();
        ::close(m_descriptor);
        m_descriptor = -1;
    }

private:
    // One header-sized block, as the server sends its greeting.
    QByteArray receiveBlock()
    {
        QByteArray block(Layout::HeaderSize, '\0');
        qsizetype held = 0;
        ssize_t got = 1;
        while (held < block.size() && got > 0) {
            got = ::recv(m_descriptor, block.data() + held, std::size_t(block.size() - held), 0);
            held += std::max<ssize_t>(got, 0);
        }
        block.truncate(held);
        return block;
    }

    int m_descriptor = -1;
    std::atomic<bool> m_stopping = false;
    std::atomic<qint64> m_received = 0;
    std::thread m_writer;
    std::thread m_reader;
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

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }

    void limits_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("attack");
        QTest::addColumn<bool>("login");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("silent before login")
            << QStringList{"--login-timeout", "0.3"} << "silent" << false << true;
        QTest::newRow("quiet after login")
            << QStringList{"--idle-timeout", "0.3"} << "silent" << true << true;
        QTest::newRow("slow drip")
            << QStringList{"--stall-timeout", "0.5"} << "drip" << true << true;
        QTest::newRow("answers not read")
            << QStringList{"--stall-timeout", "0.5"} << "unread" << true << true;
        QTest::newRow("busy within the limits")
            << QStringList{"--login-timeout", "0.3", "--idle-timeout", "1",
                           "--stall-timeout", "0.5"}
            << "busy" << true << false;
    }

    void limits()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, attack);
        QFETCH(bool, login);
        QFETCH(bool, dropped);
        // One place: the attacker holds it until the server drops it.
        ZorsrvProcess server;
        QVERIFY2(server.start(options + QStringList{"--max-connections", "1"}),
                 qPrintable(server.errorText()));
        RawClient attacker; // a small window: its unread answers soon wait at the server
        QVERIFY(attacker.connectTo(server.port(), 10000, 4096));
        QVERIFY(!login || attacker.login() == 0);
        attacker.socket().setReadBufferSize(1024); // reads only what it asks for
        QElapsedTimer clock;
        clock.start();
        bool freed = false;
        for (int step = 0; !freed && clock.elapsed() < (dropped ? DroppedWithinMs : KeptForMs);
             ++step) {
            attackStep(attacker, attack, step);
            freed = probe(server.port()) == 0;
            QThread::msleep(100);
        }
        QCOMPARE(freed, dropped);
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

    void secondServer()
    {
        const auto r =
            ZorsrvProcess::run({"--db", m_server.databasePath(), "--listen", "127.0.0.1:0"}, 30000);
        QCOMPARE(r.exitCode, 5);
        QVERIFY2(r.err.contains("already served by another zorsrv"), r.err.constData());
        // The first one still serves.
        QCOMPARE(probe(m_server.port()), 0);
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
