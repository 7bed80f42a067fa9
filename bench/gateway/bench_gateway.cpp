// FetchAgentRights of 32 agents from a real zorsrv on loopback, against a
// plain blocking-socket client that sends and receives the same bytes (login
// and 32 reads on one connection) with the same server.
//
// Usage: bench_gateway [path to zorsrv]

#include "BlockLibrary.h"
#include "GatewayCodes.h"
#include "Layout.h"
#include "Passerelle.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "Variables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Agents = 32;
constexpr int Rounds = 150;

// zorsrv on 127.0.0.1 with a port of its own choice.
class Server
{
public:
    bool start(const QString& program, const QString& folder)
    {
        m_process.setProgram(program);
        m_process.setArguments({QStringLiteral("--db"), folder + QStringLiteral("/bench.db"),
                                QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        static const QRegularExpression listening(
            QStringLiteral("^zorsrv: listening on (.+):(\\d+)$"));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && m_process.state() == QProcess::Running) {
            while (m_process.canReadLine()) {
                const auto match =
                    listening.match(QString::fromUtf8(m_process.readLine().trimmed()));
                if (match.hasMatch()) {
                    m_port = quint16(match.captured(2).toUInt());
                    return true;
                }
            }
            m_process.waitForReadyRead(200);
        }
        return false;
    }
    ~Server()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// The plain client: one blocking POSIX socket, no event loop.
class PlainClient
{
public:
    explicit PlainClient(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~PlainClient() { ::close(m_fd); }
    PlainClient(const PlainClient&) = delete;
    PlainClient& operator=(const PlainClient&) = delete;

    bool receive(quint8* into, int count)
    {
        int got = 0;
        while (m_ok && got < count) {
            const ssize_t n = ::recv(m_fd, into + got, std::size_t(count - got), 0);
            m_ok = n > 0;
            got += m_ok ? int(n) : 0;
        }
        return m_ok;
    }
    bool send(const quint8* bytes, int count)
    {
        int sent = 0;
        while (m_ok && sent < count) {
            const ssize_t n = ::send(m_fd, bytes + sent, std::size_t(count - sent), 0);
            m_ok = n > 0;
            sent += m_ok ? int(n) : 0;
        }
        return m_ok;
    }
    // One answer: its header, then its data; false when broken or refused.
    bool answer(GatewayBlockBytes& block)
    {
        if (!receive(block.data(), Layout::HeaderSize))
            return false;
        const qint32 length = Layout::readInt(block.data(), Layout::Header::DataLength);
        if (length > Layout::DataSize)
            return false;
        if (length > 0 && !receive(block.data() + Layout::HeaderSize, length))
            return false;
        return Layout::readInt(block.data(), Layout::Header::Status) != Layout::StatusRefused;
    }
    bool request(GatewayBlockBytes& block, int length)
    {
        Layout::writeInt(block.data(), Layout::Header::Magic, qint32(Layout::Magic));
        Layout::writeInt(block.data(), Layout::Header::Length, length);
        return send(block.data(), length) && answer(block);
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

// Login and the 32 reads, as FetchAgentRights sends them.
bool plainFetch(quint16 port)
{
    PlainClient client(port);
    GatewayBlockBytes block;
    if (!client.receive(block.data(), Layout::HeaderSize))
        return false;
    Klt::klt_cript(GatewayCodes::ApplicationKey, block.data() + Layout::Header::Key);
    Layout::writeInt(block.data(), Layout::Header::Request, Layout::RequestOpenSession);
    Layout::writeInt(block.data(), Layout::Header::Application, GatewayCodes::ApplicationCode);
    if (!client.request(block, Layout::HeaderSize))
        return false;
    for (int agent = 1; agent <= Agents; ++agent) {
        Klt::Clear_Bloc_Entete(block.data());
        Layout::writeInt(block.data(), Layout::Header::Request, Layout::RequestRead);
        Layout::writeInt(block.data(), Layout::Header::Record, agent - 1);
        if (!client.request(block, Layout::HeaderSize))
            return false;
    }
    return true;
}

AgentsList::Rows agentRows()
{
    AgentsList::Rows rows;
    for (int agent = 1; agent <= Agents; ++agent)
        rows.push_back(AgentsList::makeRow(QString::number(agent), QStringLiteral("Agent")));
    return rows;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
#ifdef ZORSRV_PATH
    QString program = QStringLiteral(ZORSRV_PATH);
#else
    QString program;
#endif
    if (argc > 1)
        program = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir folder;
    Server server;
    if (program.isEmpty() || !folder.isValid() || !server.start(program, folder.path())) {
        std::fprintf(stderr, "bench_gateway: could not start zorsrv (%s)\n", qPrintable(program));
        return 1;
    }

    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.TcpPort = static_cast<qint16>(server.port());
    RecvTimeout = 10;

    // Every agent gets rights, so that the fetch fills every row.
    AgentsList::Rows stored = agentRows();
    for (AgentsList::Row& row : stored) {
        row.cells[AgentsList::ColChangeGroup] = QStringLiteral("X");
        row.cells[AgentsList::ColRecordsComment] = QStringLiteral("X");
        row.cells[AgentsList::ColChangeState] = QStringLiteral("1");
    }
    RemoteStore::StoreAgentRights(stored);

    // Warm up both, then alternate rounds so that both see the same machine.
    for (int i = 0; i < 10; ++i) {
        AgentsList::Rows rows = agentRows();
        RemoteTransfers::FetchAgentRights(rows);
        if (!plainFetch(server.port())) {
            std::fprintf(stderr, "bench_gateway: the plain client failed\n");
            return 1;
        }
    }
    std::vector<double> ours;
    std::vector<double> plain;
    QElapsedTimer clock;
    for (int round = 0; round < Rounds; ++round) {
        AgentsList::Rows rows = agentRows();
        clock.start();
        RemoteTransfers::FetchAgentRights(rows);
        ours.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (rows.back().cells[AgentsList::ColChangeGroup] != QLatin1String("X")) {
            std::fprintf(stderr, "bench_gateway: the fetch did not fill the list\n");
            return 1;
        }
        clock.start();
        if (!plainFetch(server.port()))
            return 1;
        plain.push_back(double(clock.nsecsElapsed()) / 1e6);
    }

    const double oursMs = median(ours);
    const double plainMs = median(plain);
    const double ratio = oursMs / plainMs;
    std::printf("FetchAgentRights, %d agents, median of %d rounds: %.3f ms\n", Agents, Rounds,
                oursMs);
    std::printf("plain blocking client, same bytes, same server (baseline): %.3f ms\n", plainMs);
    std::printf("per exchange: %.1f us against %.1f us\n", oursMs * 1000 / (Agents + 1),
                plainMs * 1000 / (Agents + 1));
    std::printf("RESULT gateway_fetch ratio=%.3f target<=1.5\n", ratio);
    return 0;
}
