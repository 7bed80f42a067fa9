// The agent directory's client: against a real zorsrv on loopback, and
// against scripted servers in the test process (served while the client
// waits in its event loop) for the answers zorsrv never gives.
#include "DirectoryClient.h"
#include "Folders.h"
#include "Languages.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

namespace P = DirectoryProtocol;
namespace D = DirectoryClient;

namespace {

D::Link linkTo(quint16 port, const QString& address = QStringLiteral("127.0.0.1"))
{
    D::Link link;
    link.ServerAddress = address;
    link.ServerPort = port;
    link.Extension = QStringLiteral("201");
    return link;
}

// A server in the test process that sends the greeting bytes to every
// connection, then the answer bytes once anything arrives.
struct Scripted
{
    QTcpServer server;
    QList<QTcpSocket*> sockets;

    bool listen(const QByteArray& greeting, const QByteArray& answer)
    {
        QObject::connect(&server, &QTcpServer::newConnection, &server, [=, this] {
            QTcpSocket* s = server.nextPendingConnection();
            sockets << s;
            s->write(greeting);
            QObject::connect(s, &QTcpSocket::readyRead, s, [=] {
                s->readAll();
                s->write(answer);
            });
        });
        return server.listen(QHostAddress::LocalHost);
    }
};

} // namespace

class TestDirectoryClient : public QObject
{
    Q_OBJECT

    ZorsrvProcess m_server; // five agents

private Q_SLOTS:
    void initTestCase()
    {
        RecvTimeout = 1;
        Folders::setProgramFolder(QStringLiteral(ZOR_PROGRAM_DIR));
        Parametres.Langue = 1; // the failures are described in English
        LanguageBase = 2000;
        Languages::LoadLanguageFile();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(
            m_server.databasePath(), "40,Zoé Léger,Ventes\n3,Alice Martin\n12,\"Dupont, Jean\"\n"
                                     "7,Bob\n15,Chen Li\n"));
    }

    void agentNameList()
    {
        // Through the object the agents list makes: properties, then the
        // operations, whose failures are thrown.
        D::install();
        AgentDirectory::Connection agent = AgentDirectory::create();
        agent.ServerAddress(QStringLiteral("127.0.0.1"));
        agent.ServerPort(m_server.directoryPort());
        agent.Extension(QStringLiteral("201"));
        agent.OpenLink();
        for (int twice = 0; twice < 2; ++twice) { // the link serves more than one request
            QStringList rows;                     // number:name:third
            for (const AgentDirectory::AgentNameEntry& e : agent.GetAgentNameList())
                rows << QStringLiteral("%1:%2:%3").arg(e.number).arg(e.name, e.third.toString());
            QCOMPARE(rows, QStringList({"3:Alice Martin:", "7:Bob:", "12:Dupont, Jean:",
                                        "15:Chen Li:", "40:Zoé Léger:Ventes"}));
        }
        agent.CloseLink();
        qint32 thrown = 0;
        try {
            agent.GetAgentNameList(); // closed
        } catch (const AgentDirectory::Error& error) {
            thrown = error.number;
        }
        QCOMPARE(thrown, D::LinkNotOpen);
        AgentDirectory::install({});
    }

    void serverGone()
    {
        // The machine gone after OpenLink: 462, and the link is closed.
        ZorsrvProcess server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QVERIFY(ZorsrvProcess::importAgents(server.databasePath(), "1,Ann\n"));
        D::Link link = linkTo(server.directoryPort());
        QCOMPARE(D::OpenLink(link).number, 0);
        server.kill();
        P::Entries agents;
        const D::Error error = D::GetAgentNameList(link, agents);
        QCOMPARE(error.number, 462);
        QVERIFY(error.description.contains(QLatin1String("can no longer be reached")));
        QVERIFY(!link.socket);
    }

    void openLinkFailures_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port"); // 0: a port nobody listens on
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("nobody listening")
            << "127.0.0.1" << 0 << D::ConnectionRefused << "(connection refused)";
        QTest::newRow("port out of range")
            << "127.0.0.1" << 70000 << D::InvalidArgument << "ServerPort 70000 is not a TCP port";
        QTest::newRow("port 0") << "127.0.0.1" << -1 << D::InvalidArgument << "ServerPort -1";
        QTest::newRow("unknown name") << "no-such-host.invalid" << 1 << D::HostNotFound
                                      << "\"no-such-host.invalid\" cannot be found";
    }

    void openLinkFailures()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(qint32, number);
        QFETCH(QString, description);
        QTcpServer closed; // a free port, freed again
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 free = closed.serverPort();
        closed.close();
        D::Link link = linkTo(0, address);
        link.ServerPort = port == 0 ? free : port;
        const D::Error error = D::OpenLink(link);
        QCOMPARE(error.number, number);
        QVERIFY2(error.description.contains(description), qPrintable(error.description));
        QVERIFY(!link.socket);
    }

    void scriptedAnswers_data()
    {
        // What a server sends on connect and in answer to the list request;
        // which call fails, with which number and what the description says.
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("atOpen");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("description");
        const QByteArray hello = P::frame(P::Hello);
        const QByteArray two = P::agents({{1, "A", ""}, {2, "B", ""}});
        QTest::newRow("silent") << QByteArray() << QByteArray() << true << D::TimedOut
                                << "did not answer within 1 s";
        QTest::newRow("a web server") << QByteArray("HTTP/1.0 400 Bad Request\r\n") << QByteArray()
                                      << true << D::BrokenAnswer << "(no ZDIR magic)";
        QTest::newRow("refused at once")
            << P::refusal(-4, "too many connections") << QByteArray() << true
            << D::RefusedByDirectory << "refused: too many connections (code -4)";
        QTest::newRow("table before hello")
            << two << QByteArray() << true << D::BrokenAnswer << "frame type 3 of version 1";
        QTest::newRow("no answer")
            << hello << QByteArray() << false << AgentDirectory::RemoteUnavailable
            << "can no longer be reached";
        QTest::newRow("garbage answer")
            << hello << QByteArray("garbage") << false << D::BrokenAnswer << "cannot be read";
        QTest::newRow("cut table") << hello << two.left(two.size() - 1) << false
                                   << AgentDirectory::RemoteUnavailable << "reached";
        QTest::newRow("too long a table") << hello << P::frame(P::Agents, QByteArray(4, '\xFF'))
                                          << false << D::BrokenAnswer << "4294967295 agents";
        QTest::newRow("descending numbers")
            << hello << P::agents({{2, "B", ""}, {1, "A", ""}}) << false << D::BrokenAnswer
            << "not in ascending order at 1";
        QTest::newRow("number 0") << hello << P::agents({{0, "A", ""}}) << false << D::BrokenAnswer
                                  << "agent 1 of 1: the agent number 0";
        QTest::newRow("bytes after the table")
            << hello << P::frame(P::Agents, P::payloadOf(two).toByteArray() + "x") << false
            << D::BrokenAnswer << "1 bytes follow the last agent";
        QTest::newRow("refused") << hello << P::refusal(-3, "the server is stopping") << false
                                 << D::RefusedByDirectory
                                 << "refused: the server is stopping (code -3)";
        QTest::newRow("table unreadable")
            << hello << P::refusal(-9, "the table cannot be read") << false
            << AgentDirectory::NoAgentTable << "cannot be read (code -9)";
        QTest::newRow("version 2 table") << hello << QByteArray(two).replace(4, 1, "\x02") << false
                                         << D::BrokenAnswer << "frame type 3 of version 2";
    }

    void scriptedAnswers()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, answer);
        QFETCH(bool, atOpen);
        QFETCH(qint32, number);
        QFETCH(QString, description);
        Scripted scripted;
        QVERIFY(scripted.listen(greeting, answer));
        int ticks = 0; // the program's timers fire while the client waits
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(50);
        D::Link link = linkTo(scripted.server.serverPort());
        D::Error error = D::OpenLink(link);
        if (!atOpen) {
            QCOMPARE(error.number, 0);
            P::Entries agents;
            error = D::GetAgentNameList(link, agents);
            QVERIFY(agents.isEmpty());
        }
        QCOMPARE(error.number, number);
        QVERIFY2(error.description.contains(description), qPrintable(error.description));
        QVERIFY(!link.socket);
        QVERIFY(number != D::TimedOut || ticks > 0); // the wait did not block them
    }

    void wireExample()
    {
        // The example of the protocol's description, byte for byte.
        QCOMPARE(P::agents({{7, "Bob", "G"}}).toHex(' '),
                 QByteArray("5a 44 49 52 01 03 00 00 0e 00 00 00 01 00 00 00 07 00 00 00 03 42 6f "
                            "62 01 47"));
        QCOMPARE(P::frame(P::List).toHex(' '), QByteArray("5a 44 49 52 01 02 00 00 00 00 00 00"));
    }
};

QTEST_GUILESS_MAIN(TestDirectoryClient)
#include "tst_directoryclient.moc"
