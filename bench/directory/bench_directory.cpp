// The agent directory's client reading a table of 9999 agents with 64-byte
// names from a real zorsrv on loopback, against a plain blocking-socket client
// that reads the same bytes from the same server and decodes them the same
// way. For information, zoradm show against directories of 2000 and 9999
// agents, next to the station's reply time-out.
//
// Usage: bench_directory

#include "DirectoryClient.h"
#include "DirectoryProtocol.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace P = DirectoryProtocol;

constexpr int Rounds = 60;
constexpr int ReplyTimeout = 10; // seconds, the station's Recv_timeout

QByteArray agentsCsv(int count)
{
    QByteArray csv;
    for (int agent = 1; agent <= count; ++agent)
        csv += QByteArray::number(agent) + ',' +
               QByteArray::number(agent).leftJustified(P::MaxNameBytes, 'n') + '\n';
    return csv;
}

// Every byte asked for, blocking; false when the connection ends first.
bool receive(int fd, char* into, qsizetype count)
{
    for (qsizetype got = 0; got < count;) {
        const ssize_t n = ::recv(fd, into + got, std::size_t(count - got), 0);
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

// One frame: its header, then its payload.
bool receiveFrame(int fd, QByteArray& frame)
{
    frame.resize(P::HeaderSize);
    if (!receive(fd, frame.data(), P::HeaderSize))
        return false;
    const P::Scan scan = P::scan(frame, &P::serverPayloadBound);
    if (scan.status == P::Status::Invalid)
        return false;
    const quint32 length = quint8(frame[8]) | quint32(quint8(frame[9])) << 8 |
                           quint32(quint8(frame[10])) << 16 | quint32(quint8(frame[11])) << 24;
    frame.resize(P::HeaderSize + qsizetype(length));
    return receive(fd, frame.data() + P::HeaderSize, qsizetype(length));
}

// The plain client: one blocking POSIX socket, no event loop; the greeting,
// the request, the table, decoded.
qsizetype plainRead(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray frame;
    const QByteArray request = P::frame(P::List);
    std::optional<P::Entries> table;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        receiveFrame(fd, frame) &&
        ::send(fd, request.constData(), std::size_t(request.size()), 0) == request.size() &&
        receiveFrame(fd, frame))
        table = P::readAgents(P::payloadOf(frame), nullptr);
    ::close(fd);
    return table ? table->size() : -1;
}

qsizetype clientRead(quint16 port)
{
    DirectoryClient::Link link;
    link.ServerAddress = QStringLiteral("127.0.0.1");
    link.ServerPort = port;
    P::Entries agents;
    const bool read = DirectoryClient::OpenLink(link).number == 0 &&
                      DirectoryClient::GetAgentNameList(link, agents).number == 0;
    DirectoryClient::CloseLink(link);
    return read ? agents.size() : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// zoradm show against a directory of count agents, in shared-folder mode:
// milliseconds, or -1 when it fails.
double zoradmShow(int count)
{
    ZorsrvProcess server;
    QTemporaryDir folder;
    const QString station = folder.filePath(QStringLiteral("zor.ini"));
    QFile file(station);
    if (!server.start() || !ZorsrvProcess::importAgents(server.databasePath(), agentsCsv(count)) ||
        !QDir().mkpath(folder.filePath(QStringLiteral("unc/srv/ZOR"))) ||
        !file.open(QIODevice::WriteOnly))
        return -1;
    file.write(
        "[VOICE_SERVER]\r\nVS_addr=127.0.0.1\r\nRecv_timeout=" + QByteArray::number(ReplyTimeout) +
        "\r\nVS_port=" + QByteArray::number(server.directoryPort()) +
        "\r\n[CONFIG]\r\nServer_Tcp=0\r\nPATH_config=srv\r\n");
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZOR_UNC_ROOT"), folder.filePath(QStringLiteral("unc")));
    environment.insert(QStringLiteral("ZORADM_PASSWORD"), QStringLiteral("SUPER"));
    QProcess zoradm;
    zoradm.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    zoradm.start(QStringLiteral(ZORADM_PATH),
                 {QStringLiteral("show"), QStringLiteral("--station"), station});
    const bool done = zoradm.waitForFinished(120000) && zoradm.exitCode() == 0;
    return done ? double(clock.elapsed()) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RecvTimeout = ReplyTimeout;
    ZorsrvProcess server;
    if (!server.start() ||
        !ZorsrvProcess::importAgents(server.databasePath(), agentsCsv(P::MaxAgents))) {
        std::fprintf(stderr, "bench_directory: could not start zorsrv: %s\n",
                     qPrintable(server.errorText()));
        return 1;
    }
    const quint16 port = server.directoryPort();
    std::vector<double> ours;
    std::vector<double> plain;
    QElapsedTimer clock;
    // Warm up both, then alternate rounds so that both see the same machine.
    for (int round = -5; round < Rounds; ++round) {
        clock.start();
        const qsizetype clientCount = clientRead(port);
        const double oursMs = double(clock.nsecsElapsed()) / 1e6;
        clock.start();
        const qsizetype plainCount = plainRead(port);
        const double plainMs = double(clock.nsecsElapsed()) / 1e6;
        if (clientCount != P::MaxAgents || plainCount != P::MaxAgents) {
            std::fprintf(stderr,
                         "bench_directory: a read failed (client %lld, plain %lld agents)\n",
                         qlonglong(clientCount), qlonglong(plainCount));
            return 1;
        }
        if (round >= 0) {
            ours.push_back(oursMs);
            plain.push_back(plainMs);
        }
    }
    const double oursMs = median(ours);
    const double plainMs = median(plain);
    std::printf("directory client, %d agents with %d-byte names, median of %d rounds: %.3f ms\n",
                P::MaxAgents, P::MaxNameBytes, Rounds, oursMs);
    std::printf("plain blocking client, same bytes, same server (baseline): %.3f ms\n", plainMs);
    for (const int count : {2000, P::MaxAgents}) {
        const double ms = zoradmShow(count);
        std::printf("zoradm show, %d agents: %.0f ms (Recv_timeout %d s)%s\n", count, ms,
                    ReplyTimeout, ms < 0 ? " FAILED" : "");
    }
    std::printf("RESULT directory_read ratio=%.3f target<=1.5\n", oursMs / plainMs);
    return 0;
}
