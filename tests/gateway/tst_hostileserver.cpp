// The gateway against a hostile server in the test process: after its
// greeting and one answer it sends bytes without end. The program must hold
// no more of them than one answer can need, and must close the connection
// before it shows the failure report.

#include "FakeServer.h"
#include "GatewayCodes.h"
#include "Passerelle.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QtTest>

namespace L = Layout;

namespace {

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
        FakeServer server;
        server.replies = {answer(0, 0, 0)};
        server.floodAfterLast = true;
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        pump();
        QVERIFY(server.flooded > L::BlockSize);
        QVERIFY(Passerelle::Socket().bytesAvailable() <= L::BlockSize);
        Passerelle::CloseSession();
    }

    void floodWhileTheReportIsShown()
    {
        FakeServer server;
        server.replies = {answer(L::StatusRefused, 0, GatewayCodes::Refusal::BadPassword)};
        server.floodAfterLast = true;
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
