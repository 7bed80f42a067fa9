// The gateway session.
//
// Waits run on the user-interface thread. A wait first polls the socket for a
// moment (an answer on loopback or a fast network is usually there within
// microseconds, and a sleep and a wake-up cost more than that on a virtual
// machine), then lets pending events run and sleeps in the event loop until
// something happens (the socket's data or change of state, the deadline
// timer, any other event of the program), and looks again. An exchange thus
// costs about one round trip.
//
// Answers that break the protocol are handled so that no read goes past the
// block and an incomplete answer never counts as complete:
// - A data length of 0 or less announces no data: only the header is read and
//   the data area keeps its earlier contents.
// - A data length larger than the data area (8192 bytes, or less when the
//   caller passes a smaller capacity) cannot be followed: the connection is
//   dropped and ReceiveBlock returns BadAnswer (32767). The report names it
//   " (Bad Answer)" and ends the program, as for a lost connection.
// - A connection that closes after the header but before all the data: the
//   data area keeps its earlier contents and ReceiveBlock returns
//   LocalTimeout (2) at once, as when it closes while the header is awaited.
// - Bytes that follow a complete answer stay in the socket and are read as
//   the start of the next answer, the way the surplus of a greeting longer
//   than 512 bytes is read as the start of the login answer.
// - A refusal code that does not fit 16 bits, or that is BadAnswer's, is
//   reported as -32768, a refusal outside the table.
// Every wait that ends in LocalTimeout drops the connection, so that a late
// answer can never be taken for the answer to a later request: the next send
// then fails with NotConnected unless a new session is opened.
//
// The socket belongs to the window that hosts it, and the events a wait runs
// may unload that window (the configuration window's close box unloads the
// splash window): the socket and its deadline timer are then gone. A wait
// holds them only through guarded pointers, looks at them again after every
// run of events, and ends with NotConnected once they are gone; nothing of
// them is touched afterwards.

#include "Passerelle.h"

#include "BlockLibrary.h"
#include "Cp1252.h"
#include "HistoryProtocol.h"
#include "SettingsMessages.h"
#include "UiServices.h"
#include "Variables.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

qint32 Passerelle::ClientProgram = HistoryProtocol::Client::Unknown;
GatewayBlockBytes Passerelle::GatewayBlock;
AgentRecordBytes Passerelle::AgentRecord;
SupervisorRecordBytes Passerelle::SupervisorRecord;

namespace {

constexpr qint64 NsPerSecond = 1'000'000'000;
constexpr qint64 BriefPollNs = 50'000;

QPointer<QTcpSocket> g_socket;

enum class WaitEnd
{
    Ready,
    TimedOut,
    Lost,
    Gone // the socket was deleted meanwhile
};

qint64 nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 takeDeadline()
{
    return Passerelle::DeadlineSeconds(nowNs(), RecvTimeout);
}

bool timedOut(qint64 deadline)
{
    return nowNs() >= deadline * NsPerSecond;
}

bool connected(const QTcpSocket& socket)
{
    return socket.state() == QAbstractSocket::ConnectedState;
}

// The timer that ends a wait at its deadline. It is set once per deadline:
// waits that share a deadline (exchanges within the same second) share it,
// and a timer left over from an earlier wait only wakes the loop once.
QPointer<QTimer> g_deadlineTimer;
qint64 g_timerDeadline = 0;

// Lets pending events run and sleeps until something happens: the socket's
// news, the deadline, or any other event of the program.
void sleepUntilNews(qint64 deadline)
{
    if (!g_deadlineTimer->isActive() || g_timerDeadline != deadline) {
        const qint64 remainingNs = deadline * NsPerSecond - nowNs();
        const qint64 remainingMs = std::max<qint64>(0, (remainingNs + 999'999) / 1'000'000);
        g_timerDeadline = deadline;
        g_deadlineTimer->start(std::chrono::milliseconds(remainingMs));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Polls the socket's descriptor for at most BriefPollNs without sleeping;
// true when something arrived (bytes, or the end of the connection).
bool pollBriefly(const QTcpSocket& socket)
{
#ifdef Q_OS_UNIX
    pollfd watched{static_cast<int>(socket.socketDescriptor()), POLLIN, 0};
    if (watched.fd < 0)
        return false;
    const qint64 until = nowNs() + BriefPollNs;
    do {
        if (::poll(&watched, 1, 0) > 0)
            return true;
        std::this_thread::yield(); // a server on this CPU gets to answer
    } while (nowNs() < until);
#else
    Q_UNUSED(socket);
#endif
    return false;
}

// Waits until at least needed bytes are waiting. With watchConnection, a
// socket that is no longer connected ends the wait at once. The first look
// that finds too few bytes polls briefly; pending events run while the wait
// sleeps; bytes already waiting end it without a sleep.
WaitEnd waitForBytes(const QPointer<QTcpSocket>& socket, qint64 needed, qint64 deadline,
                     bool watchConnection)
{
    bool polled = false;
    for (;;) {
        if (!socket)
            return WaitEnd::Gone;
        if (socket->bytesAvailable() >= needed)
            return WaitEnd::Ready;
        if (timedOut(deadline))
            return WaitEnd::TimedOut;
        if (watchConnection && !connected(*socket))
            return WaitEnd::Lost;
        if (!std::exchange(polled, true) && pollBriefly(*socket))
            QCoreApplication::processEvents(); // the socket takes what came
        else
            sleepUntilNews(deadline);
    }
}

// The code of a wait that did not end Ready.
qint16 failedWait(WaitEnd end, QTcpSocket* socket)
{
    if (end == WaitEnd::Gone || !socket)
        return Passerelle::NotConnected;
    socket->abort();
    return Passerelle::LocalTimeout;
}

// Takes exactly count waiting bytes into destination; false when fewer came.
bool take(QTcpSocket& socket, quint8* destination, qint64 count)
{
    if (socket.bytesAvailable() < count)
        return false;
    return socket.read(reinterpret_cast<char*>(destination), count) == count;
}

// Hands the bytes to the connection. When nothing is queued they go straight
// to the system's socket, which spares the event loop a round of its own;
// whatever the system does not take at once is queued as usual.
void sendBytes(QTcpSocket& socket, const char* bytes, qint64 size)
{
#ifdef Q_OS_UNIX
    if (socket.bytesToWrite() == 0 && size > 0) {
        const ssize_t sent = ::send(static_cast<int>(socket.socketDescriptor()), bytes,
                                    static_cast<std::size_t>(size), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes += sent;
            size -= sent;
        }
    }
#endif
    if (size > 0) {
        socket.write(bytes, size);
        socket.flush();
    }
}

qint16 refusalCode(qint32 error)
{
    if (error < std::numeric_limits<qint16>::min() || error > std::numeric_limits<qint16>::max() ||
        error == Passerelle::BadAnswer)
        return Passerelle::RefusalOutsideRange;
    return static_cast<qint16>(error);
}

QString message(int n)
{
    return SettingsMessages::text(n); // LanguageBase + n, kept within 16 bits
}

} // namespace

namespace Passerelle {

static void useSocket(QTcpSocket* socket)
{
    g_socket = socket;
    // No answer is longer than the block: a server that sends more waits
    // in its own buffers instead of ours.
    socket->setReadBufferSize(Layout::BlockSize);
    // Requests are small and lock-step: send each at once.
    QObject::connect(socket, &QAbstractSocket::connected, socket,
                     [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    g_deadlineTimer = new QTimer(socket);
    g_deadlineTimer->setSingleShot(true);
    g_deadlineTimer->setTimerType(Qt::PreciseTimer);
}

QTcpSocket& Socket()
{
    if (!g_socket)
        useSocket(new QTcpSocket(QCoreApplication::instance()));
    return *g_socket;
}

void SetSocket(QTcpSocket* socket)
{
    if (g_socket == socket)
        return;
    if (g_socket && g_socket->parent() == QCoreApplication::instance())
        delete g_socket.data();
    if (socket)
        useSocket(socket);
}

qint64 DeadlineSeconds(qint64 nowNs, int timeoutSeconds)
{
    const qint64 total = nowNs + qint64(timeoutSeconds) * NsPerSecond;
    qint64 whole = total / NsPerSecond;
    qint64 rest = total % NsPerSecond;
    if (rest < 0) { // floor division for times before the clock's epoch
        whole -= 1;
        rest += NsPerSecond;
    }
    const qint64 half = NsPerSecond / 2;
    if (rest > half || (rest == half && whole % 2 != 0))
        whole += 1;
    return whole;
}

QString LoginName()
{
#ifdef Q_OS_UNIX
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

qint16 OpenSession(QByteArrayView key, qint32 application)
{
    const QPointer<QTcpSocket> socket = &Socket();
    socket->abort();
    socket->connectToHost(Parametres.VS_addr, static_cast<quint16>(Parametres.TcpPort));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const qint64 deadline = takeDeadline();

    // The state is not watched here: a refused connection waits the whole
    // time-out as well.
    if (const WaitEnd end = waitForBytes(socket, Layout::HeaderSize, deadline, false);
        end != WaitEnd::Ready)
        return failedWait(end, socket);
    QCoreApplication::processEvents();
    if (!socket)
        return NotConnected;

    // The greeting is the template of the login header; it is not cleared.
    quint8* header = GatewayBlock.data();
    if (!take(*socket, header, Layout::HeaderSize))
        return failedWait(WaitEnd::Lost, socket);
    Klt::klt_cript(key, header + Layout::Header::Key);
    Layout::writeInt(header, Layout::Header::Request, Layout::RequestOpenSession);
    Layout::writeInt(header, Layout::Header::Application, application);
    if (ClientProgram != HistoryProtocol::Client::Unknown) {
        Layout::writeInt(header, HistoryProtocol::ClientOffset, ClientProgram);
        Klt::conv_string_t6200(Cp1252::fromUnicode(LoginName()), HistoryProtocol::LoginWidth,
                               header + HistoryProtocol::LoginOffset);
    }

    SendBlock(GatewayBlock, Layout::HeaderSize); // a failed send shows up as 1 below
    return ReceiveBlock(GatewayBlock, Layout::BlockSize);
}

qint16 SendBlock(GatewayBlockBytes& block, int length)
{
    QTcpSocket& socket = Socket();
    if (!connected(socket))
        return NotConnected;
    const int size = std::clamp(length, 0, Layout::BlockSize);
    Layout::writeInt(block.data(), Layout::Header::Magic, static_cast<qint32>(Layout::Magic));
    Layout::writeInt(block.data(), Layout::Header::Length, length);
    sendBytes(socket, reinterpret_cast<const char*>(block.data()), size);
    return Success;
}

qint16 ReceiveBlock(GatewayBlockBytes& block, int capacity)
{
    const QPointer<QTcpSocket> socket = &Socket();
    if (!connected(*socket))
        return NotConnected;
    const qint64 deadline = takeDeadline();

    if (const WaitEnd end = waitForBytes(socket, Layout::HeaderSize, deadline, true);
        end != WaitEnd::Ready)
        return failedWait(end, socket);
    if (!take(*socket, block.data(), Layout::HeaderSize))
        return failedWait(WaitEnd::Lost, socket);

    const qint32 dataLength = Layout::readInt(block.data(), Layout::Header::DataLength);
    if (dataLength > 0) {
        const int room =
            std::clamp(capacity, Layout::HeaderSize, Layout::BlockSize) - Layout::HeaderSize;
        if (dataLength > room) {
            socket->abort();
            return BadAnswer;
        }
        if (const WaitEnd end = waitForBytes(socket, dataLength, deadline, true);
            end != WaitEnd::Ready)
            return failedWait(end, socket);
        if (!take(*socket, block.data() + Layout::HeaderSize, dataLength))
            return failedWait(WaitEnd::Lost, socket);
    }

    if (timedOut(deadline))
        return failedWait(WaitEnd::TimedOut, socket);
    if (Layout::readInt(block.data(), Layout::Header::Status) == Layout::StatusRefused)
        return refusalCode(Layout::readInt(block.data(), Layout::Header::Error));
    return Success;
}

void CloseSession()
{
    Socket().abort();
}

QString ReasonText(qint16 code)
{
    switch (code) {
    case NotConnected:
        return QStringLiteral(" (No Connect)");
    case LocalTimeout:
        return QStringLiteral(" (Local Time-out)");
    case BadAnswer:
        return QStringLiteral(" (Bad Answer)");
    case GatewayCodes::Refusal::TableFull:
        return QStringLiteral(" (Table full)");
    case GatewayCodes::Refusal::Stalled:
        return QStringLiteral(" (Server Time_out)");
    case GatewayCodes::Refusal::ServerStop:
        return QStringLiteral(" (Server Stop)");
    case GatewayCodes::Refusal::TooManyConnections:
        return QStringLiteral(" (Too Connection)");
    case GatewayCodes::Refusal::BadPassword:
        return QStringLiteral(" (Bad Password)");
    case GatewayCodes::Refusal::UnknownApplication:
        return QStringLiteral(" (Unknown Application)");
    default:
        return {};
    }
}

bool ReportGatewayError(qint16 code)
{
    if (code == Success)
        return true;
    // Nothing more arrives while the message is shown. A local time-out has
    // dropped the connection already.
    if (code != LocalTimeout)
        CloseSession();
    const QString reason = ReasonText(code);
    const QString prompt = reason.isEmpty() ? QString() : message(MessageGatewayFailure) + reason;
    UiServices::beep();
    const QString title = message(MessageApplicationTitle) + QStringLiteral("  (Server:") +
                          Parametres.VS_addr + QStringLiteral("  Socket:") +
                          QString::number(Parametres.TcpPort) + // 16-bit signed
                          QStringLiteral(")");
    UiServices::messageBox(prompt, title, UiServices::Icon::Exclamation, UiServices::Buttons::Ok);
    if (code != LocalTimeout)
        UiServices::endProgram(1);
    return UiServices::showDialog(UiServices::Dialog::Connection);
}

} // namespace Passerelle
