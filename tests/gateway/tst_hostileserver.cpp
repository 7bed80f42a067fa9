// The gateway against a hostile server in the test process: after its
// greeting and one answer it sends bytes without end. The program must hold
// no more of them than one answer can need, and must close the connection
// before it shows the failure report.

#include "GatewayCodes.h"
#include "Layout.h"
#include "Passerelle.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace L = Layout;

namespace {

constexpr qint64 FloodChunk = 256 * 1024;
constexpr qint64 FloodQueued = 4 * 1024 * 1024; // what the server queues at most

QByteArray header(qint32 status, qint32 error)
{
    QByteArray h(L::HeaderSize, '\0');
    auto* p = reinterpret_cast<quint8*>(h.data());
    L::writeInt(p, L::Header::Status, status);
    L::writeInt(p, L::Header::Error, error);
    return h;
}

// Greets, answers the login with the given header, then floods.
struct FloodServer
{
    QByteArray loginAnswer;
    qint64 flooded = 0; // bytes handed to the system
    QTcpServer tcp;

    explicit FloodServer(QByteArray answer) : loginAnswer(std::move(answer))
    {
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] { accept(); });
        tcp.listen(QHostAddress::LocalHost, 0);
        Parametres.TcpPort = qint16(tcp.serverPort());
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = tcp.nextPendingConnection()) {
            socket->write(QByteArray(L::HeaderSize, 'G'));
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                if (!socket->property("flooding").toBool()) {
                    socket->setProperty("flooding", true);
                    socket->write(loginAnswer);
                    flood(socket);
                }
            });
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                             [this, socket](qint64 written) {
                                 flooded += written;
                                 flood(socket);
                             });
        }
    }
    void flood(QTcpSocket* socket)
    {
        if (socket->property("flooding").toBool() &&
            socket->state() == QAbstractSocket::ConnectedState &&
            socket->bytesToWrite() < FloodQueued)
            socket->write(QByteArray(FloodChunk, 'F'));
    }
};

// Lets the flood run for a while.
void pump()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

class TstHostileServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        ResetGlobals();
        UiRecorder::install();
        RecvTimeout = 10;
        Parametres.VS_addr = QStringLiteral("127.0.0.1");
    }

    void floodBetweenExchanges()
    {
        FloodServer server(header(0, 0));
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        pump();
        QVERIFY(server.flooded > L::BlockSize);
        QVERIFY(Passerelle::Socket().bytesAvailable() <= L::BlockSize);
        Passerelle::CloseSession();
    }

    void floodWhileTheReportIsShown()
    {
        FloodServer server(header(Layout::StatusRefused, GatewayCodes::Refusal::BadPassword));
        const qint16 code = Passerelle::OpenSession("5204", 2);
        QCOMPARE(code, GatewayCodes::Refusal::BadPassword);
        // What the socket looks like while the box is open, and after the
        // flood had time to come in.
        QAbstractSocket::SocketState stateAtBox = QAbstractSocket::ConnectedState;
        qint64 heldAfterFlood = -1;
        UiServices::Hooks& hooks = UiServices::hooks();
        const auto recorded = hooks.messageBox;
        hooks.messageBox = [&](const QString& text, const QString& title, UiServices::Icon icon,
                               UiServices::Buttons buttons) {
            stateAtBox = Passerelle::Socket().state();
            pump();
            heldAfterFlood = Passerelle::Socket().bytesAvailable();
            return recorded(text, title, icon, buttons);
        };
        QVERIFY(UiRecorder::endsProgram([code] { Passerelle::ReportGatewayError(code); }));
        QCOMPARE(UiRecorder::count(UiRecorder::Kind::MessageBox), 1);
        QCOMPARE(stateAtBox, QAbstractSocket::UnconnectedState);
        QVERIFY(heldAfterFlood >= 0 && heldAfterFlood <= L::BlockSize);
    }
};

QTEST_GUILESS_MAIN(TstHostileServer)
#include "tst_hostileserver.moc"
