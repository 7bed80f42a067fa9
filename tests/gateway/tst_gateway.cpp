// The gateway session and the four transfers against a scripted server in the
// test process; the transfers' shared-folder branches against INI files.

#include "Cp1252.h"
#include "GatewayKit.h"
#include "IniFile.h"
#include "PasswordScrambler.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace Kit;
using UiRecorder::Kind;
using Bytes = QByteArrayList;

namespace {

const QByteArray NoServer = "nobody listening";
const QByteArray Silent = "no greeting";
constexpr char Kept = char(0xEE);

// Reads record n on the open session.
qint16 readRecord(qint32 n)
{
    quint8* header = Passerelle::GatewayBlock.data();
    Klt::Clear_Bloc_Entete(header);
    L::writeInt(header, L::Header::Request, L::RequestRead);
    L::writeInt(header, L::Header::Record, n);
    const qint16 sent = Passerelle::SendBlock(Passerelle::GatewayBlock, L::HeaderSize);
    return sent ? sent : Passerelle::ReceiveBlock(Passerelle::GatewayBlock, L::BlockSize);
}

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char(3 + i * 7);
    return data;
}

QByteArray textAt(const QByteArray& data, int at, int width)
{
    return Klt::conv_t6200_string(bytes(data) + at, width);
}

} // namespace

class TstGateway : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid() && start(m_dir.path())); }
    void init() { reset(1); }

    void deadline_data()
    {
        QTest::addColumn<qint64>("nowNs");
        QTest::addColumn<qint64>("expected"); // with a time-out of 10 s
        QTest::newRow("below a half") << 5'499'999'999LL << 15LL;
        QTest::newRow("above a half") << 5'500'000'001LL << 16LL;
        QTest::newRow("half, odd below: up") << 5'500'000'000LL << 16LL;
        QTest::newRow("half, even below: down") << 4'500'000'000LL << 14LL;
        QTest::newRow("past midnight") << 86'399'600'000'000LL << 86'410LL;
    }
    void deadline()
    {
        QFETCH(qint64, nowNs);
        QFETCH(qint64, expected);
        QCOMPARE(Passerelle::DeadlineSeconds(nowNs, 10), expected);
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
        row("a record", {ok, FakeServer::answer(0, 8192, 0, pattern(8192))}, {0, 0}, pattern(8192));
        for (int code : {-1, -2, -3, -4, -5, -6, -9, 70000})
            row(qPrintable(QString::number(code)), {FakeServer::answer(2, 0, code)},
                {code == 70000 ? -32768 : code});
        row("refused read, data", {ok, FakeServer::answer(2, 6, -3, "REFUSE")}, {0, -3}, "REFUSE");
        row("negative data length", {ok, FakeServer::answer(0, -5, 0)}, {0, 0});
        row("data length above 8192", {ok, FakeServer::answer(0, 8193, 0, pattern(8193))}, {0, 3});
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
        server.script(replies, close);
        if (greeting == NoServer)
            server.tcp.close();
        std::fill(Passerelle::GatewayBlock.bytes.begin(), Passerelle::GatewayBlock.bytes.end(),
                  Kept);

        QElapsedTimer clock;
        clock.start();
        QList<int> got = {Passerelle::OpenSession("5204", 2)};
        while (got.size() < codes.size() && got.last() == 0)
            got.append(readRecord(int(got.size())));
        QCOMPARE(got, codes);
        QVERIFY2(waits ? clock.elapsed() >= 450 : clock.elapsed() < 10000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(UiRecorder::calls().size(), 0);
        const QByteArray area = dataOf(Passerelle::GatewayBlock);
        QCOMPARE(area, data + QByteArray(L::DataSize - data.size(), Kept));
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
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        UiRecorder::setDialogHandler(
            [=](Ui::Dialog d) { return d == Ui::Dialog::Connection && valide; });
        bool result = false;
        const bool ends = code != 2; // every code but the local time-out
        QCOMPARE(
            UiRecorder::endsProgram([&] { result = Passerelle::ReportGatewayError(qint16(code)); }),
            ends);
        QCOMPARE(result, !ends && valide);
        const QList<UiRecorder::Call> calls = UiRecorder::calls();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].kind, Kind::Beep);
        QCOMPARE(int(calls[1].kind) + int(calls[1].icon) + calls[1].value,
                 int(Kind::MessageBox) + int(Ui::Icon::Exclamation) + int(Ui::Buttons::Ok));
        QCOMPARE(calls[1].text, reason.isEmpty() ? QString() : Failure + reason);
        QCOMPARE(
            calls[1].title,
            Title + QStringLiteral("  (Server:127.0.0.1  Socket:%1)").arg(server.tcp.serverPort()));
        QCOMPARE(calls[2].kind, ends ? Kind::End : Kind::Dialog);
        QCOMPARE(Passerelle::Socket().state() == QAbstractSocket::ConnectedState, !ends);
    }

    void fetchAgent_data()
    {
        // Rights in record order: group, fiche, preference, password, qualif,
        // stat, call list. ModelRights holds {1, 2, 0, 1, 0, 1, 1}.
        QTest::addColumn<Ints>("record");
        QTest::addColumn<QString>("cells"); // columns 2 to 10 afterwards
        QTest::addColumn<Ints>("after");    // the record afterwards
        QTest::newRow("granted, comment only")
            << Ints{1, 1, 1, 1, 1, 1, 1} << "X|X|X|X|X|X||X|" << Ints{1, 1, 1, 1, 1, 1, 1};
        QTest::newRow("unset take the model")
            << Ints{-1, -1, -1, -1, -1, -1, 0} << "X||X||X||X|X|" << Ints{1, 2, 0, 1, 0, 1, 0};
        QTest::newRow("only 1 grants")
            << Ints{2, 3, -2, 7, 1, 0, 2} << "|||X|||||" << Ints{2, 3, -2, 7, 1, 0, 2};
    }
    void fetchAgent()
    {
        QFETCH(Ints, record);
        QFETCH(QString, cells);
        QFETCH(Ints, after);
        FakeServer server;
        setInts(server.record(6), Rights, record);
        Parametres.ModelRights = DroitsModele{1, 2, 0, 1, 0, 1, 1};
        AgentsList::Rows rows = {row(7, {}, QStringLiteral("3"))};

        RemoteTransfers::FetchAgentRights(rows);
        QCOMPARE(cellsOf(rows[0]), cells);
        QCOMPARE(ints(dataOf(Passerelle::AgentRecord), Rights), after);
        QCOMPARE(UiRecorder::calls().size(), 0);
        // One read of record 6 from a cleared header, then the session closed.
        const Bytes reads = server.exchanges();
        QCOMPARE(reads.size(), 1);
        QCOMPARE(ints(reads[0], L::Header::Request, 3), (Ints{L::RequestRead, 0, 6}));
        QCOMPARE(reads[0].mid(20), QByteArray(L::HeaderSize - 20, '\0'));
        QTRY_VERIFY(server.closed.value(0));
    }

    void openAndCloseOnly()
    {
        // No row to read or to write: a login each, and the session closed.
        FakeServer server;
        AgentsList::Rows none;
        RemoteTransfers::FetchAgentRights(none);
        AgentsList::Rows unchanged = {row(1, QStringLiteral("X|X")), row(2, {})};
        QVERIFY(!RemoteStore::StoreAgentRights(unchanged));
        QTRY_VERIFY(server.closed.value(0) && server.closed.value(1));
        QCOMPARE(server.requests.size(), 2);
    }

    void fetchSupervisor_data()
    {
        // Journal, ModeLie, the field at 228, Etatinterdit, CmtAuto, T1, T2,
        // Langue (2 before the fetch; only file 00 exists).
        QTest::addColumn<Ints>("stored");
        QTest::addColumn<qint32>("colour"); // in all sixteen
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("app");
        QTest::addColumn<Ints>("after"); // the record, and Langue of Parametres
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("appText");
        const QByteArray secret = PasswordScrambler::Crypter("  s\xE9"
                                                             "cret ");
        QTest::newRow("out of range, empty texts, no file 03")
            << Ints{41, -3, -1, 2, -1, 120, -5, 3} << -1 << QByteArray() << QByteArray()
            << Ints{0, 0, 0, 0, 0, 30, 70, 0}
            << Cp1252::toUnicode(
                   PasswordScrambler::Decrypter(PasswordScrambler::DefaultSupervisorPassword()))
                   .toUpper()
                   .trimmed()
            << "Wscript.exe Post_it.vbs";
        QTest::newRow("limits kept, language kept")
            << Ints{40, 7, 5, 1, 1, 99, 0, -1} << -2 << secret << QByteArray("  calc.exe /x  ")
            << Ints{40, 7, 5, 1, 1, 99, 0, 2} << QString::fromUtf8("SÉCRET") << "calc.exe /x";
        QTest::newRow("other limits, language 0")
            << Ints{-1, 0, 0, 0, 2, -1, 100, 0} << 123456 << PasswordScrambler::Crypter("abc")
            << QByteArray("x") << Ints{0, 0, 0, 0, 0, 30, 70, 0} << "ABC"
            << "x";
    }
    void fetchSupervisor()
    {
        QFETCH(Ints, stored);
        QFETCH(qint32, colour);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, app);
        QFETCH(Ints, after);
        QFETCH(QString, plain);
        QFETCH(QString, appText);
        using namespace L::Supervisor;
        const int offsets[] = {NbJourStockJournal, ModeLie, Reserved228,
                               Etatinterdit,       CmtAuto, TauxActiviteT1,
                               TauxActiviteT2,     Langue};
        FakeServer server;
        QByteArray& record = server.record(-1);
        for (int i = 0; i < 8; ++i)
            setInts(record, offsets[i], {stored[i]});
        setInts(record, Colours, Ints(ColourCount, colour));
        Klt::conv_string_t6200(password, PasswordWidth, bytes(record) + Password);
        Klt::conv_string_t6200(app, ModeLieAppWidth, bytes(record) + ModeLieApp);
        Parametres.Langue = 2;
        LanguageBase = 4000;

        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(UiRecorder::calls().size(), 0);
        QCOMPARE(intAt(server.exchanges().value(0), L::Header::Record), -1);
        const QByteArray data = dataOf(Passerelle::SupervisorRecord);
        const ParametresRecord& p = Parametres;
        QCOMPARE((Ints{p.NbJourStockJournal, p.ModeLie, intAt(data, Reserved228), p.Etatinterdit,
                       p.CmtAuto, p.TauxActiviteT1, p.TauxActiviteT2, p.Langue}),
                 after);
        for (int i = 0; i < 7; ++i) // the record holds the replacements too
            QCOMPARE(intAt(data, offsets[i]), after[i]);
        QCOMPARE(LanguageBase, qint16(p.Langue * 2000));
        for (std::size_t i = 0; i < Couleurs.size(); ++i) {
            const qint32 expected = colour == -1 ? Couleurs[i].defaultValue : colour;
            QCOMPARE(p.*(Couleurs[i].field), expected);
            QCOMPARE(intAt(data, Colours + 4 * int(i)), expected);
        }
        QCOMPARE(p.MotDePasse + p.NouveauMotDePasse + p.ModeLieApp, plain + plain + appText);
        QCOMPARE(textAt(data, Password, PasswordWidth),
                 password.isEmpty() ? PasswordScrambler::DefaultSupervisorPassword() : password);
        QCOMPARE(textAt(data, ModeLieApp, ModeLieAppWidth),
                 app.isEmpty() ? QByteArray("Wscript.exe Post_it.vbs") : app);
    }

    void fetchSupervisorRetry_data()
    {
        // Logins that time out, whether the read then times out, and what the
        // connection dialog answers after each time-out.
        QTest::addColumn<int>("silent");
        QTest::addColumn<bool>("readSilent");
        QTest::addColumn<QList<bool>>("answers");
        QTest::newRow("login: accepted") << 1 << false << QList<bool>{true};
        QTest::newRow("login: cancelled") << 1 << false << QList<bool>{false};
        QTest::newRow("login: accepted, cancelled") << 2 << false << QList<bool>{true, false};
        QTest::newRow("read: accepted") << 0 << true << QList<bool>{true};
        QTest::newRow("read: cancelled") << 0 << true << QList<bool>{false};
    }
    void fetchSupervisorRetry()
    {
        QFETCH(int, silent);
        QFETCH(bool, readSilent);
        QFETCH(QList<bool>, answers);
        FakeServer server;
        server.greetings = Bytes(silent, QByteArray()) << FakeServer::greeting();
        if (readSilent)
            server.handler = [&server](int connection, int index, const QByteArray& request) {
                return connection == 0 && index == 1 ? FakeServer::Reply{}
                                                     : server.recordReply(request);
            };
        setInts(server.record(-1), L::Supervisor::TauxActiviteT1, {42});
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

    void storeAgent_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("cells"); // columns 2 to 9
        QTest::addColumn<Ints>("rights");   // the server holds {1, 1, 0, 1, 0, -1, 1}
        QTest::newRow("1") << "1"
                           << "X|X|X|X|X|X|X|X" << Ints{1, 2, 1, 1, 1, 1, 1};
        QTest::newRow("2") << "2"
                           << "" << Ints{1, 1, 0, 1, 0, -1, 1};
        QTest::newRow("3") << "3"
                           << "" << Ints{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("1, all fields, no comment") << "1"
                                                   << "||||||X|" << Ints{0, 2, 0, 0, 0, 0, 0};
        QTest::newRow("1, exactly X") << "1"
                                      << "X| X|XX|x||||X" << Ints{1, 1, 0, 0, 0, 0, 0};
    }
    void storeAgent()
    {
        QFETCH(QString, change);
        QFETCH(QString, cells);
        QFETCH(Ints, rights);
        FakeServer server;
        QByteArray& stored = server.record(4);
        setInts(stored, Rights, {1, 1, 0, 1, 0, -1, 1});
        stored.replace(L::Agent::Password, 6, "abcdef");
        stored[300] = 'K'; // not interpreted by the tool
        AgentsList::Rows rows = {row(5, cells, change)};
        const QString before = cellsOf(rows[0]);

        QCOMPARE(RemoteStore::StoreAgentRights(rows), change != QLatin1String("2"));
        QCOMPARE(UiRecorder::calls().size(), 0);
        QCOMPARE(cellsOf(rows[0]), before);
        const QByteArray after = server.record(4);
        QCOMPARE(ints(after, Rights), rights);
        QCOMPARE(after.mid(L::Agent::Password, 6) + after.at(300),
                 change == QLatin1String("1") ? QByteArray("abcdefK") : QByteArray("\0bcdefK", 7));
        // The read of record 4, then the whole block with the write code and the
        // record number that the read answer echoed.
        const Bytes exchanges = server.exchanges();
        QCOMPARE(exchanges.size(), 2);
        QCOMPARE(intAt(exchanges[0], L::Header::Request), L::RequestRead);
        QCOMPARE(exchanges[1].size(), L::BlockSize);
        QCOMPARE(ints(exchanges[1], L::Header::Request, 3), (Ints{L::RequestWrite, 0, 4}));
    }

    void storeSupervisor()
    {
        // The record goes out after a cleared header, with what the fetch left
        // in it and the settings; the end-to-end test follows every field.
        FakeServer server;
        RemoteTransfers::FetchSupervisorSettings();
        Parametres.NouveauMotDePasse = QStringLiteral("NOUVEAU1");
        Parametres.TauxActiviteT2 = 80;
        Parametres.CouleurGrServis = 1234;
        RemoteStore::StoreSupervisorSettings();

        QCOMPARE(UiRecorder::calls().size(), 0);
        const QByteArray write = server.exchanges().last();
        QCOMPARE(write.size(), L::BlockSize);
        QCOMPARE(ints(write, L::Header::Request, 3), (Ints{L::RequestWrite, 0, -1}));
        QCOMPARE(write.mid(20, L::HeaderSize - 20), QByteArray(L::HeaderSize - 20, '\0'));
        using namespace L::Supervisor;
        const QByteArray data = server.record(-1);
        QCOMPARE(textAt(data, Password, PasswordWidth), PasswordScrambler::Crypter("NOUVEAU1"));
        QCOMPARE(ints(data, Colours + 60, 1) + ints(data, Reserved228, 7),
                 (Ints{1234, 0, 0, 0, 0, 0, 30, 80}));
    }

    void sharedFolder()
    {
        // TcpPort 0: the four transfers use the INI files of the shared folder.
        QTemporaryDir unc;
        qputenv("ZOR_UNC_ROOT", unc.path().toLocal8Bit());
        QVERIFY(QDir(unc.path()).mkpath(QStringLiteral("srv/zor")));
        Parametres.ConfigPath = QStringLiteral("\\\\srv\\zor");
        Parametres.ConfigDir = QStringLiteral("\\\\srv\\zor\\");
        const QString agent = unc.path() + QStringLiteral("/srv/zor/agent003.ini");
        const QString supervisor = unc.path() + QStringLiteral("/srv/zor/supervis.ini");
        QVERIFY(IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", agent));
        QVERIFY(IniFile::WritePrivateProfileString("CONFIG", "TauxActiviteT1", "42", supervisor));

        AgentsList::Rows rows = {row(3, {})};
        RemoteTransfers::FetchAgentRights(rows);
        QCOMPARE(cellsOf(rows[0]), QStringLiteral("X|X|X|X||X||X|"));
        rows[0] = row(3, QStringLiteral("||||X"), QStringLiteral("1"));
        QVERIFY(RemoteStore::StoreAgentRights(rows));
        QCOMPARE(IniFile::GetPrivateProfileString("SUPER", "Droit_Stat", "?", 255, agent), "1");
        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(Parametres.TauxActiviteT1, 42);
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
