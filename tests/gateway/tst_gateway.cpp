// The gateway session and the four transfers against a scripted server in the
// test process; the transfers' shared-folder branches against INI files.

#include "GatewayKit.h"
#include "IniFile.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace Kit;
using UiRecorder::Kind;

static const QByteArray NoServer = "nobody listening";
static const QByteArray Silent = "no greeting";
static constexpr char Kept = char(0xEE);

// Sends a request header on the open session and takes the answer.
static qint16 readRecord()
{
    const qint16 sent = Passerelle::SendBlock(Passerelle::GatewayBlock, L::HeaderSize);
    return sent ? sent : Passerelle::ReceiveBlock(Passerelle::GatewayBlock, L::BlockSize);
}

class TstGateway : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid() && start(m_dir.path())); }
    void init() { reset(1); }

    void deadline()
    {
        // Now plus 10 s, to the nearest second, halves to even; past midnight.
        const qint64 nowNs[] = {5'499'999'999, 5'500'000'001, 5'500'000'000, 4'500'000'000,
                                86'399'600'000'000};
        const qint64 expected[] = {15, 16, 16, 14, 86'410};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(Passerelle::DeadlineSeconds(nowNs[i], 10), expected[i]);
    }

    void session_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<Bytes>("replies");    // to the login, then to each read
        QTest::addColumn<bool>("close");       // after the last reply
        QTest::addColumn<QList<int>>("codes"); // of OpenSession, then of each read
        QTest::addColumn<QByteArray>("data");  // the data area starts with it; the rest is kept
        const QByteArray g = FakeServer::greeting();
        const QByteArray ok = FakeServer::answer(0, 0, 0);
        const auto row = [&](const char* name, const Bytes& replies, const QList<int>& codes,
                             const QByteArray& data = {}, bool close = false,
                             const QByteArray& greeting = {}) {
            QTest::newRow(name) << (greeting.isEmpty() ? g : greeting) << replies << close << codes
                                << data;
        };
        const QByteArray full(8192, 'd');
        row("a whole data area", {ok, FakeServer::answer(0, 8192, 0, full)}, {0, 0}, full);
        for (int code : {-1, -2, -3, -4, -5, -6, -9, 70000})
            row(qPrintable(QString::number(code)), {FakeServer::answer(2, 0, code)},
                {code == 70000 ? -32768 : code});
        row("refused read, data", {ok, FakeServer::answer(2, 6, -3, "REFUSE")}, {0, -3}, "REFUSE");
        row("negative data length", {ok, FakeServer::answer(0, -5, 0)}, {0, 0});
        row("data length above 8192", {ok, FakeServer::answer(0, 8193, 0, full + 'd')}, {0, 3});
        row("bytes after the answer",
            {ok, FakeServer::answer(0, 4, 0, "AAAA") + FakeServer::answer(2, 4, -2, "BBBB")},
            {0, 0, -2}, "BBBB");
        row("dropped while the header is awaited", {ok, {}}, {0, 2}, {}, true);
        row("dropped after the header", {ok, FakeServer::answer(0, 100, 0)}, {0, 2}, {}, true);
        row("greeting longer than 512", {}, {-4}, {}, false, g + FakeServer::answer(2, 0, -4));
        row("no greeting", {}, {2}, {}, false, Silent);
        row("no login answer", {}, {2});
        row("nobody listening", {}, {2}, {}, false, NoServer);
    }
    void session()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(Bytes, replies);
        QFETCH(bool, close);
        QFETCH(QList<int>, codes);
        QFETCH(QByteArray, data);
        // Time-outs without a drop wait the whole time; a drop ends the wait.
        const bool waits = codes.last() == 2 && !close;
        RecvTimeout = waits ? 1 : 20;
        FakeServer server;
        server.greetings = {greeting == Silent ? QByteArray() : greeting};
        server.replies = replies;
        server.closeAfterLast = close;
        if (greeting == NoServer)
            server.tcp.close();
        Passerelle::GatewayBlock.bytes.fill(Kept);

        QElapsedTimer clock;
        clock.start();
        QList<int> got = {Passerelle::OpenSession("5204", 2)};
        while (got.size() < codes.size() && got.last() == 0)
            got.append(readRecord());
        QCOMPARE(got, codes);
        QVERIFY2(waits ? clock.elapsed() >= 450 : clock.elapsed() < 10000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(dataOf(Passerelle::GatewayBlock),
                 data + QByteArray(L::DataSize - data.size(), Kept));
        // A time-out or a broken answer drops the connection: nothing goes out.
        QCOMPARE(Passerelle::SendBlock(Passerelle::GatewayBlock, 512) == 0, codes.last() <= 0);
        if (greeting.size() < L::HeaderSize)
            return;
        // The login: the greeting with the magic, 512, request 512, application
        // 2 and the key enciphered with the greeting's nonce.
        QTRY_VERIFY(!server.requests.isEmpty());
        const QByteArray login = server.requests.first();
        QCOMPARE(login.left(16), QByteArray("\xCA\xFE\xCA\xFE\0\2\0\0\0\2\0\0\2\0\0\0", 16));
        const QByteArray nonce = greeting.mid(L::Header::Nonce, L::Header::NonceSize);
        QVERIFY(Klt::loginKeyMatches(bytes(login), "5204", nonce));
        QCOMPARE(login.mid(16, 24) + login.mid(72), greeting.mid(16, 24) + greeting.mid(72, 440));
    }

    void report_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("valide"); // the connection dialog's answer
        QTest::newRow("0: no failure") << 0 << QString() << true;
        QTest::newRow("1") << 1 << " (No Connect)" << false;
        QTest::newRow("2, accepted") << 2 << " (Local Time-out)" << true;
        QTest::newRow("2, cancelled") << 2 << " (Local Time-out)" << false;
        QTest::newRow("3") << 3 << " (Bad Answer)" << false;
        QTest::newRow("-1") << -1 << " (Table full)" << false;
        QTest::newRow("-2") << -2 << " (Server Time_out)" << false;
        QTest::newRow("-3") << -3 << " (Server Stop)" << false;
        QTest::newRow("-4") << -4 << " (Too Connection)" << false;
        QTest::newRow("-5") << -5 << " (Bad Password)" << false;
        QTest::newRow("-6") << -6 << " (Unknown Application)" << true;
        QTest::newRow("-9") << -9 << QString() << true;
    }
    void report()
    {
        QFETCH(int, code);
        QFETCH(QString, reason);
        QFETCH(bool, valide);
        FakeServer server;
        server.replies = {FakeServer::answer(0, 0, 0)};
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        UiRecorder::setDialogHandler(
            [=](Ui::Dialog d) { return d == Ui::Dialog::Connection && valide; });
        bool result = false;
        const bool ends = code != 0 && code != 2; // all but success and the local time-out
        const auto report = [&] { result = Passerelle::ReportGatewayError(qint16(code)); };
        QCOMPARE(UiRecorder::endsProgram(report), ends);
        QCOMPARE(result, !ends && valide);
        const QList<UiRecorder::Call> calls = UiRecorder::calls();
        QCOMPARE(calls.size(), code ? 3 : 0);
        if (!code)
            return;
        QCOMPARE(calls[0].kind, Kind::Beep);
        QCOMPARE(int(calls[1].kind) + int(calls[1].icon) + calls[1].value,
                 int(Kind::MessageBox) + int(Ui::Icon::Exclamation) + int(Ui::Buttons::Ok));
        QCOMPARE(calls[1].text, reason.isEmpty() ? QString() : Failure + reason);
        const QString port = QString::number(server.tcp.serverPort());
        QCOMPARE(calls[1].title, Title + "  (Server:127.0.0.1  Socket:" + port + ")");
        QCOMPARE(calls[2].kind, ends ? Kind::End : Kind::Dialog);
        QCOMPARE(Passerelle::Socket().state() == QAbstractSocket::ConnectedState, !ends);
    }

    void openAndCloseOnly()
    {
        // No row to read or to write: a login each, and the session closed.
        FakeServer server;
        server.replies = {FakeServer::answer(0, 0, 0), FakeServer::answer(0, 0, 0)};
        AgentsList::Rows none;
        RemoteTransfers::FetchAgentRights(none);
        AgentsList::Rows unchanged = {row(1, QStringLiteral("X|X")), row(2, {})};
        QVERIFY(!RemoteStore::StoreAgentRights(unchanged));
        QTRY_VERIFY(server.closed.value(0) && server.closed.value(1));
        QCOMPARE(server.requests.size(), 2);
        QCOMPARE(UiRecorder::calls().size(), 0);
    }

    void agentRequests()
    {
        // Agent 5 read by the fetch, then read and written back by the store:
        // each read is a cleared header asking for record 4; the write is the
        // whole block, the read answer's header with request 401 and the rights
        // of the row.
        FakeServer server;
        QByteArray record(L::AgentDataSize, '\x55');
        setInts(record, Rights, {-1, 2, 0, 1, 0, 1, 0});
        QByteArray read = FakeServer::answer(0, L::AgentDataSize, 0, record);
        setInts(read, L::Header::Record, {4});
        read[300] = 'k'; // a header byte of the answer, kept by the write
        const QByteArray ok = FakeServer::answer(0, 0, 0);
        server.replies = {ok, read, ok, read, ok};
        Parametres.ModelRights.Droit_Modif_Group = 1;
        AgentsList::Rows rows = {row(5, {})};
        RemoteTransfers::FetchAgentRights(rows);
        QCOMPARE(cellsOf(rows[0]), QStringLiteral("X||X||X||X|X|"));
        rows[0] = row(5, QStringLiteral("|X||||||X"), QStringLiteral("3"));
        QVERIFY(RemoteStore::StoreAgentRights(rows));
        QTRY_COMPARE(server.requests.size(), 5);
        for (int i : {1, 3}) {
            const QByteArray& request = server.requests[i];
            QCOMPARE(request.size(), L::HeaderSize);
            QCOMPARE(ints(request, L::Header::Request, 3), (Ints{L::RequestRead, 0, 4}));
            QCOMPARE(request.mid(20).count('\0'), L::HeaderSize - 20);
        }
        const QByteArray& write = server.requests[4];
        QCOMPARE(write.size(), L::BlockSize);
        QCOMPARE(ints(write, 0, 5), (Ints{qint32(L::Magic), L::BlockSize, L::RequestWrite, 0, 4}));
        QCOMPARE(write[300], 'k');
        const QByteArray data = write.mid(L::HeaderSize, L::AgentDataSize);
        QCOMPARE(ints(data, Rights), (Ints{0, 1, 1, 0, 0, 0, 0}));
        QCOMPARE(data[L::Agent::Password], '\0');
        QCOMPARE(data[L::Agent::Password + 1], '\x55');
    }

    void fetchSupervisorRetry_data()
    {
        // Connections without a greeting, the replies in turn (an empty one is
        // silence) and what the connection dialog answers after each time-out.
        QTest::addColumn<int>("silent");
        QTest::addColumn<Bytes>("replies");
        QTest::addColumn<QList<bool>>("answers");
        QByteArray record(L::SupervisorDataSize, '\0');
        setInts(record, L::Supervisor::TauxActiviteT1, {42});
        const QByteArray ok = FakeServer::answer(0, 0, 0);
        const QByteArray read = FakeServer::answer(0, L::SupervisorDataSize, 0, record);
        QTest::newRow("login: accepted, cancelled") << 2 << Bytes() << QList<bool>{true, false};
        QTest::newRow("login: accepted") << 1 << Bytes{ok, read} << QList<bool>{true};
        QTest::newRow("read: accepted") << 0 << Bytes{ok, {}, ok, read} << QList<bool>{true};
    }
    void fetchSupervisorRetry()
    {
        QFETCH(int, silent);
        QFETCH(Bytes, replies);
        QFETCH(QList<bool>, answers);
        FakeServer server;
        server.greetings = Bytes(silent, QByteArray()) << FakeServer::greeting();
        server.replies = replies;
        const int timeouts = int(answers.size());
        const bool ends = !answers.last();
        UiRecorder::setDialogHandler([&answers](Ui::Dialog) { return answers.takeFirst(); });

        QCOMPARE(UiRecorder::endsProgram([] { RemoteTransfers::FetchSupervisorSettings(); }), ends);
        QVERIFY(answers.isEmpty());
        QCOMPARE(UiRecorder::count(Kind::Dialog), timeouts);
        for (const UiRecorder::Call& box : UiRecorder::callsOf(Kind::MessageBox))
            QCOMPARE(box.text, Failure + " (Local Time-out)");
        QCOMPARE(server.closed.size(), timeouts + (ends ? 0 : 1));
        QCOMPARE(Parametres.TauxActiviteT1, ends ? 0 : 42);
    }

    void sharedFolder()
    {
        // TcpPort 0: the four transfers use the INI files of the shared folder.
        QTemporaryDir unc;
        qputenv("ZOR_UNC_ROOT", unc.path().toLocal8Bit());
        QVERIFY(QDir(unc.path()).mkpath(QStringLiteral("srv/zor")));
        Parametres.ConfigPath = QStringLiteral("\\\\srv\\zor");
        Parametres.ConfigDir = Parametres.ConfigPath + u'\\';
        const QString agent = unc.path() + QStringLiteral("/srv/zor/agent003.ini");
        const QString supervisor = unc.path() + QStringLiteral("/srv/zor/supervis.ini");
        QVERIFY(IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", agent));
        QVERIFY(IniFile::WritePrivateProfileString("CONFIG", "TauxActiviteT1", "42", supervisor));
        // The file names language 1: its texts are loaded with the settings.
        QVERIFY(IniFile::WritePrivateProfileString("CONFIG", "langue", "1", supervisor));
        QVERIFY(QFile::copy(Languages::LanguageFileFor(0), Languages::LanguageFileFor(1)));
        AgentsList::Rows rows = {row(3, {})};
        RemoteTransfers::FetchAgentRights(rows);
        QCOMPARE(cellsOf(rows[0]), QStringLiteral("X|X|X|X||X||X|"));
        rows[0] = row(3, QStringLiteral("||||X"), QStringLiteral("1"));
        QVERIFY(RemoteStore::StoreAgentRights(rows));
        QCOMPARE(IniFile::GetPrivateProfileString("SUPER", "Droit_Stat", "?", 255, agent), "1");
        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(Parametres.TauxActiviteT1, 42);
        QCOMPARE(LanguageFilePath, Languages::LanguageFileFor(1));
        QCOMPARE(LanguageBase, qint16(2000));
        QVERIFY(!LanguageText.isEmpty());
        QFile::remove(Languages::LanguageFileFor(1));
        Parametres.TauxActiviteT2 = 55;
        RemoteStore::StoreSupervisorSettings();
        QCOMPARE(IniFile::GetPrivateProfileString("CONFIG", "TauxActiviteT2", "?", 255, supervisor)
                     .trimmed(),
                 "55");
        qunsetenv("ZOR_UNC_ROOT");
    }
};

QTEST_MAIN(TstGateway)
#include "tst_gateway.moc"
