// The gateway session and the four transfers: against a scripted server in
// the test process (real sockets on 127.0.0.1, served while the gateway waits
// in its event loop), against the INI files of the shared folder, and end to
// end against a real zorsrv on loopback with its own SQLite file.

#include "BlockLibrary.h"
#include "Cp1252.h"
#include "FakeServer.h"
#include "Folders.h"
#include "IniFile.h"
#include "Languages.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "RawClient.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QtTest>

namespace L = Layout;
using Ints = QList<qint32>;
using Bytes = QByteArrayList;
using UiRecorder::Kind;

static const QByteArray NoServer = "nobody listening";

static const QString Failure = QStringLiteral("Erreur de communication");
static const QString Title = QStringLiteral("Configuration ZOR");

static quint8* bytes(const QByteArray& b)
{
    return reinterpret_cast<quint8*>(const_cast<char*>(b.constData()));
}

// count consecutive 32-bit fields from at; setInts writes them.
static Ints ints(const QByteArray& b, int at, int count = 7)
{
    Ints values;
    for (int i = 0; i < count; ++i)
        values.append(L::readInt(bytes(b), at + 4 * i));
    return values;
}

static void setInts(QByteArray& b, int at, const Ints& values)
{
    for (int i = 0; i < values.size(); ++i)
        L::writeInt(bytes(b), at + 4 * i, values[i]);
}

// The data part of a record or of the exchange block.
template <typename Record> QByteArray dataOf(const Record& r)
{
    return QByteArray(reinterpret_cast<const char*>(r.data()), qsizetype(r.bytes.size()))
        .mid(L::HeaderSize);
}

// A row of the agents list: columns 2 to 9 from "a|b|...", then column 10.
static AgentsList::Row row(int agent, const QString& cells, const QString& change = {})
{
    AgentsList::Row r = AgentsList::makeRow(QString::number(agent), QStringLiteral("A"));
    const QStringList parts = (cells + QStringLiteral("||||||||")).split(QLatin1Char('|'));
    std::copy(parts.begin(), parts.begin() + 8, r.cells.begin() + AgentsList::ColChangeGroup);
    r.cells[AgentsList::ColChangeState] = change;
    return r;
}

// Columns 2 to 10 joined by "|".
static QString cellsOf(const AgentsList::Row& r)
{
    return QStringList(r.cells.begin() + AgentsList::ColChangeGroup, r.cells.end()).join(u'|');
}

class TstGateway : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ZorsrvProcess m_server;

    // Writes the data part of a record when given, then reads back what the
    // server holds.
    QByteArray raw(qint32 record, const QByteArray& data = {})
    {
        RawClient c;
        const bool ok = c.connectTo(m_server.port()) && c.login() == 0 &&
                        (data.isEmpty() || c.write(record, data).complete);
        return ok ? c.read(record).data : QByteArray();
    }

private Q_SLOTS:
    // The program folder, with language file 0 holding the two texts of the
    // report, and the server.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Folders::setProgramFolder(m_dir.path());
        const QString t =
            QStringLiteral("; language\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=L\r\n[ZORCFG]\r\n") +
            "121=" + Title + "\r\n1285=" + Failure + "\r\n";
        QFile file(Languages::LanguageFileFor(0));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char*>(t.utf16()), t.size() * 2), t.size() * 2);
        QVERIFY2(m_server.start({QStringLiteral("--agents"), QStringLiteral("64")}),
                 qPrintable(m_server.errorText()));
    }
    // A fresh start of every test: globals, recorder, language text, the
    // real server (a scripted one takes its place when made).
    void init()
    {
        ResetGlobals();
        UiRecorder::install();
        RecvTimeout = 10;
        Parametres.VS_addr = QStringLiteral("127.0.0.1");
        Parametres.TcpPort = qint16(m_server.port());
        Languages::LoadLanguageFile();
    }

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
        QTest::addColumn<QList<int>>("codes"); // of OpenSession, then of each read
        QTest::addColumn<QByteArray>("data");  // the data area starts with it; the rest is kept
        const QByteArray ok = answer(0, 0, 0);
        const auto row = [](const char* name, const Bytes& replies, const QList<int>& codes,
                            const QByteArray& data = {}, const QByteArray& hello = Greeting) {
            QTest::newRow(name) << hello << replies << codes << data;
        };
        const QByteArray full(8192, 'd');
        row("a whole data area", {ok, answer(0, 8192, 0, full)}, {0, 0}, full);
        for (int code : {-1, -2, -3, -4, -5, -6, -9, 70000})
            row(qPrintable(QString::number(code)), {answer(2, 0, code)},
                {code == 70000 ? -32768 : code});
        row("negative data length", {ok, answer(0, -5, 0)}, {0, 0});
        row("data length above 8192", {ok, answer(0, 8193, 0, full + 'd')}, {0, 32767});
        row("refusal 3, not ours", {answer(2, 0, 3)}, {3});
        row("refusal 32767, not ours", {answer(2, 0, 32767)}, {-32768});
        row("bytes after the answer", {ok, answer(0, 4, 0, "AAAA") + answer(2, 4, -2, "BBBB")},
            {0, 0, -2}, "BBBB");
        row("dropped while the header is awaited", {ok, {}}, {0, 2});
        row("dropped after the header", {ok, answer(0, 100, 0)}, {0, 2});
        row("greeting longer than 512", {}, {-4}, {}, Greeting + answer(2, 0, -4));
        row("no greeting", {}, {2}, {}, {});
        row("no login answer", {}, {2});
        row("nobody listening", {}, {2}, {}, NoServer);
    }
    void session()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(Bytes, replies);
        QFETCH(QList<int>, codes);
        QFETCH(QByteArray, data);
        using namespace Passerelle;
        // A read that fails locally is a drop: the server closes after its last
        // reply, and the wait ends. The other time-outs wait the whole time.
        const bool close = codes.size() > 1 && codes.last() == 2;
        const bool waits = codes.last() == 2 && !close;
        const bool refused = codes.last() < 0 || codes.last() == 3;
        RecvTimeout = waits ? 1 : 20;
        FakeServer server;
        server.greetings = {greeting};
        server.replies = replies;
        server.closeAfterLast = close;
        if (greeting == NoServer)
            server.tcp.close();
        GatewayBlock.bytes.fill(0xEE); // kept where no answer lands

        QElapsedTimer clock;
        clock.start();
        QList<int> got = {OpenSession("5204", 2)};
        while (got.size() < codes.size() && got.last() == 0) { // a request header, its answer
            const qint16 sent = SendBlock(GatewayBlock, L::HeaderSize);
            got.append(sent ? sent : ReceiveBlock(GatewayBlock, L::BlockSize));
        }
        QCOMPARE(got, codes);
        QVERIFY(waits ? clock.elapsed() >= 450 : clock.elapsed() < 10000);
        QCOMPARE(dataOf(GatewayBlock), data + QByteArray(L::DataSize - data.size(), char(0xEE)));
        // A time-out or a broken answer drops the connection: nothing goes out.
        QCOMPARE(SendBlock(GatewayBlock, 512) == 0, refused || codes.last() == 0);
    }

    void report_data()
    {
        QTest::addColumn<QStringList>("row"); // code, reason, the connection dialog's answer
        const QString table =
            "0,,1;1,No Connect,0;2,Local Time-out,1;2,Local Time-out,0;"
            "32767,Bad Answer,0;3,,0;-1,Table full,0;-2,Server Time_out,0;-3,Server Stop,0;"
            "-4,Too Connection,0;-5,Bad Password,0;-6,Unknown Application,1;-9,,1";
        for (const QString& r : table.split(u';'))
            QTest::newRow(qPrintable(r)) << r.split(u',');
    }
    void report()
    {
        QFETCH(QStringList, row);
        const int code = row[0].toInt();
        const bool valide = row[2] == u'1';
        FakeServer server;
        server.replies = {answer(0, 0, 0)};
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        UiRecorder::setDialogHandler(
            [=](UiServices::Dialog d) { return d == UiServices::Dialog::Connection && valide; });
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
        QCOMPARE(calls[1].kind, Kind::MessageBox);
        QCOMPARE(calls[1].icon, UiServices::Icon::Exclamation);
        QCOMPARE(calls[1].value, int(UiServices::Buttons::Ok));
        QCOMPARE(calls[1].text, row[1].isEmpty() ? QString() : Failure + " (" + row[1] + ")");
        const QString port = QString::number(qint16(server.tcp.serverPort())); // 16-bit signed
        QCOMPARE(calls[1].title, Title + "  (Server:127.0.0.1  Socket:" + port + ")");
        QCOMPARE(calls[2].kind, ends ? Kind::End : Kind::Dialog);
        QCOMPARE(Passerelle::Socket().state() == QAbstractSocket::ConnectedState, !ends);
    }

    void agentRequests()
    {
        // No row to read or to write: a login each, and the session closed.
        // Then agent 5 read by the fetch, then read and written back by the
        // store: each read is a cleared header asking for record 4; the write is
        // the whole block, the read answer's header with request 401.
        FakeServer server;
        QByteArray read = answer(0, L::AgentDataSize, 0, QByteArray(L::AgentDataSize, 0));
        setInts(read, L::Header::Record, {4});
        read[300] = 'k'; // a header byte of the answer, kept by the write
        const QByteArray ok = answer(0, 0, 0);
        server.replies = {ok, ok, ok, read, ok, read, ok};
        AgentsList::Rows rows;
        RemoteTransfers::FetchAgentRights(rows);
        rows = {row(1, QStringLiteral("X|X")), row(2, {})};
        QVERIFY(!RemoteStore::StoreAgentRights(rows));
        QTRY_COMPARE(server.closings, 2);
        QCOMPARE(server.requests.size(), 2);
        rows = {row(5, {})};
        RemoteTransfers::FetchAgentRights(rows);
        rows[0] = row(5, QStringLiteral("X"), QStringLiteral("3"));
        QVERIFY(RemoteStore::StoreAgentRights(rows));
        QTRY_COMPARE(server.requests.size(), 7);
        // The login keeps the greeting's other bytes; its header fields and
        // key are checked by the real zorsrv of the end-to-end tests below.
        const QByteArray login = server.requests[0], g = Greeting;
        QCOMPARE(login.mid(16, 24), g.mid(16, 24));
        QCOMPARE(login.mid(72), g.mid(72, 440));
        const QByteArray& request = server.requests[3];
        QCOMPARE(server.requests[5], request);
        QCOMPARE(request.toHex(), RawClient::readRequest(4).toHex());
        const QByteArray& write = server.requests[6];
        QCOMPARE(ints(write, L::Header::Magic, 1)[0], qint32(L::Magic));
        QCOMPARE(ints(write, L::Header::Length, 1)[0], L::BlockSize);
        QCOMPARE(ints(write, L::Header::Request, 1)[0], L::RequestWrite);
        QCOMPARE(ints(write, L::Header::Record, 1)[0], 4);
        QCOMPARE(write[300], 'k');
    }

    void fetchSupervisorRetry()
    {
        // A read that times out, then the login: the connection dialog answers
        // true and the fetch starts again. Then two logins that time out: true,
        // then false, and the program ends.
        RecvTimeout = 1;
        FakeServer server;
        server.greetings = {Greeting, Greeting, {}};
        QByteArray record(L::SupervisorDataSize, '\0');
        setInts(record, L::Supervisor::TauxActiviteT1, {42});
        const QByteArray ok = answer(0, 0, 0);
        server.replies = {ok, {}, ok, answer(0, L::SupervisorDataSize, 0, record)};
        QList<bool> answers = {true, true, false};
        UiRecorder::setDialogHandler(
            [&answers](UiServices::Dialog) { return answers.takeFirst(); });
        const auto fetch = [] { RemoteTransfers::FetchSupervisorSettings(); };
        QVERIFY(!UiRecorder::endsProgram(fetch));
        QCOMPARE(Parametres.TauxActiviteT1, 42);
        QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
        QVERIFY(UiRecorder::endsProgram(fetch));
        QCOMPARE(UiRecorder::count(Kind::Dialog), 3);
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 3);
        for (const UiRecorder::Call& box : UiRecorder::callsOf(Kind::MessageBox))
            QCOMPARE(box.text, Failure + " (Local Time-out)");
        QCOMPARE(server.connections, 4);
    }

    void sharedFolder()
    {
        // TcpPort 0: the four transfers use the INI files of the shared folder.
        Parametres.TcpPort = 0;
        qputenv("ZOR_UNC_ROOT", m_dir.path().toLocal8Bit());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("srv/zor")));
        Parametres.ConfigPath = QStringLiteral("\\\\srv\\zor");
        Parametres.ConfigDir = Parametres.ConfigPath + u'\\';
        const QString agent = m_dir.path() + QStringLiteral("/srv/zor/agent003.ini");
        const QString supervisor = m_dir.path() + QStringLiteral("/srv/zor/supervis.ini");
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
    }

    void agent_data()
    {
        // Rights in record order: group, fiche, preference, password, qualif,
        // stat, call list. ModelRights holds {1, 2, 0, 1, 0, 1, 1}.
        QTest::addColumn<Ints>("stored");
        QTest::addColumn<int>("change");      // of the stored row, 0 for none
        QTest::addColumn<QString>("cells");   // columns 2 to 9 of the stored row
        QTest::addColumn<QString>("fetched"); // columns 2 to 10 as fetched back
        const Ints unset = {-1, -1, -1, -1, -1, -1, 0}, odd = {2, 3, -2, 7, 1, 0, 2};
        const Ints comment = {0, 1, 0, 0, 0, 1, 0}; // the comment right and Droit_Stat
        QTest::newRow("unset take the model") << unset << 0 << QString() << "X||X||X||X|X|";
        QTest::newRow("only 1 grants") << odd << 0 << QString() << "|||X|||||";
        const QString all = QStringLiteral("X|X|X|X|X|X|X|X");
        QTest::newRow("1") << comment << 1 << all << all + u'|';
        QTest::newRow("2") << comment << 2 << QStringLiteral("X|X") << "||||X|||X|";
        QTest::newRow("3, exactly X")
            << comment << 3 << QStringLiteral("X| X|XX|x|||X|") << "X||||||X|X|";
    }
    void agent()
    {
        QFETCH(Ints, stored);
        QFETCH(int, change);
        QFETCH(QString, cells);
        QFETCH(QString, fetched);
        QByteArray data = QByteArray("abcdefghijklmnopqrstuvwxyz012").repeated(16); // 464 bytes
        data.replace(L::Agent::Password, 7, QByteArray("secret\0", 7));
        setInts(data, L::Agent::Droit_Modif_Group, stored);
        QCOMPARE(raw(9, data), data);
        Parametres.ModelRights = ModelRightsRecord{1, 2, 0, 1, 0, 1, 1};
        AgentsList::Rows rows = {row(10, cells, change ? QString::number(change) : QString())};
        QCOMPARE(RemoteStore::StoreAgentRights(rows), change == 1 || change == 3);
        AgentsList::Rows again = {row(10, {}, QStringLiteral("3"))};
        RemoteTransfers::FetchAgentRights(again);
        QCOMPARE(cellsOf(again[0]), fetched);
        // The other bytes come back as they were, but for the password's
        // first byte when it is cleared.
        QByteArray after = raw(9);
        QCOMPARE(after.at(L::Agent::Password), change >= 2 ? '\0' : 's');
        after[L::Agent::Password] = 's';
        setInts(after, L::Agent::Droit_Modif_Group, stored);
        QCOMPARE(after, data);
    }

    void supervisor_data()
    {
        // Stored: journal, ModeLie, the field at 228, Etatinterdit, CmtAuto, T1,
        // T2, Langue (2 before the fetch; there is no file 03), the colours.
        QTest::addColumn<Ints>("stored");
        QTest::addColumn<Bytes>("texts"); // the password (scrambled), ModeLieApp
        for (const char* field :
             {"journal", "ModeLie", "field228", "Etatinterdit", "CmtAuto", "T1", "T2", "Langue"})
            QTest::addColumn<int>(field);
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ModeLieApp");
        QTest::addColumn<Bytes>("recordTexts"); // the two text fields after the fetch
        using namespace PasswordScrambler;
        auto row = [](const char* name, const Ints& stored, const Bytes& texts, const Ints& after,
                      const QString& password, const char* modeLieApp, const Bytes& recordTexts) {
            QTestData& data = QTest::newRow(name) << stored << texts;
            for (int value : after)
                data << value;
            data << password << QString::fromUtf8(modeLieApp) << recordTexts;
        };
        const QString plainDefault =
            Cp1252::toUnicode(Decrypter(DefaultSupervisorPassword())).toUpper().trimmed();
        const QByteArray secret = Crypter(Cp1252::fromUnicode(QStringLiteral("  s\u00e9cret ")));
        const QByteArray odd = Crypter("\t\xdf\xb5\xff\xe9 ");
        row("out of range, empty texts, no file 03", {41, -3, -1, 2, -1, 100, -1, 3, -1}, {{}, {}},
            {0, 0, 0, 0, 0, 30, 70, 0}, plainDefault, "Wscript.exe Post_it.vbs",
            {DefaultSupervisorPassword(), "Wscript.exe Post_it.vbs"});
        row("limits kept, language kept", {40, 7, 5, 1, 1, 0, 99, -1, -2},
            {secret, "  calc.exe /x  "}, {40, 7, 5, 1, 1, 0, 99, 2}, QStringLiteral("S\u00c9CRET"),
            "calc.exe /x", {secret, "  calc.exe /x  "});
        // Only spaces are trimmed; upper case stays within the code page.
        row("tab, sharp s, micro, y diaeresis", {0, 0, 0, 0, 0, 0, 0, -1, 0}, {odd, "x"},
            {0, 0, 0, 0, 0, 0, 0, 2}, QStringLiteral("\t\u00df\u00b5\u0178\u00c9"), "x",
            {odd, "x"});
    }
    void supervisor()
    {
        QFETCH(Ints, stored);
        QFETCH(Bytes, texts);
        QFETCH(Bytes, recordTexts);
        using namespace L::Supervisor;
        const int offsets[] = {NbJourStockJournal, ModeLie, Reserved228,
                               Etatinterdit,       CmtAuto, TauxActiviteT1,
                               TauxActiviteT2,     Langue};
        QByteArray data(L::SupervisorDataSize, '\0');
        for (int i = 0; i < 8; ++i)
            setInts(data, offsets[i], {stored[i]});
        setInts(data, Colours, Ints(ColourCount, stored[8]));
        Klt::conv_string_t6200(texts[0], PasswordWidth, bytes(data) + Password);
        Klt::conv_string_t6200(texts[1], ModeLieAppWidth, bytes(data) + ModeLieApp);
        for (int i : {64, 100, 127, 256, 291})
            data[i] = char(i); // bytes the tool does not interpret
        QCOMPARE(raw(-1, data), data);
        Parametres.Langue = 2;
        LanguageBase = 4000;

        RemoteTransfers::FetchSupervisorSettings();
        const QByteArray record = dataOf(Passerelle::SupervisorRecord);
        SettingsRecord& p = Parametres;
        QTEST(p.NbJourStockJournal, "journal");
        QTEST(p.ModeLie, "ModeLie");
        QTEST(ints(record, Reserved228, 1)[0], "field228");
        QTEST(p.Etatinterdit, "Etatinterdit");
        QTEST(p.CmtAuto, "CmtAuto");
        QTEST(p.TauxActiviteT1, "T1");
        QTEST(p.TauxActiviteT2, "T2");
        QTEST(p.Langue, "Langue");
        QCOMPARE(LanguageBase, qint16(p.Langue * 2000));
        for (std::size_t i = 0; i < ColourTable.size(); ++i) { // -1 takes the default
            const qint32 expected = stored[8] == -1 ? ColourTable[i].defaultValue : stored[8];
            QCOMPARE(p.*(ColourTable[i].field), expected);
            QCOMPARE(ints(record, Colours + 4 * int(i), 1)[0], expected);
        }
        QTEST(p.MotDePasse, "password");
        QTEST(p.NouveauMotDePasse, "password");
        QTEST(p.ModeLieApp, "ModeLieApp");
        // An empty text field gets its default in the record as well.
        QCOMPARE(Klt::conv_t6200_string(bytes(record) + Password, PasswordWidth), recordTexts[0]);
        QCOMPARE(Klt::conv_t6200_string(bytes(record) + ModeLieApp, ModeLieAppWidth),
                 recordTexts[1]);

        // Stored back: the settings, and the other bytes as the fetch left them.
        p.NouveauMotDePasse = QStringLiteral("CHANGE7");
        p.NbJourStockJournal = 21;
        p.TauxActiviteT1 = 15;
        p.CouleurGrS2 = 0x010203;
        p.ModeLie = 2;
        p.Langue = 6;
        p.Etatinterdit = 1;
        p.CmtAuto = 1;
        p.ModeLieApp = QString::fromUtf8("lien.vbs élan");
        RemoteStore::StoreSupervisorSettings();
        const QByteArray back = raw(-1);
        QCOMPARE(back.mid(64, 64), data.mid(64, 64));
        QCOMPARE(back.mid(256), data.mid(256));
        QCOMPARE(back.mid(Reserved228, 4), record.mid(Reserved228, 4));
        QCOMPARE(Klt::conv_t6200_string(bytes(back) + Password, PasswordWidth),
                 PasswordScrambler::Crypter("CHANGE7"));
        QCOMPARE(Klt::conv_t6200_string(bytes(back) + ModeLieApp, ModeLieAppWidth),
                 Cp1252::fromUnicode(p.ModeLieApp));
        QCOMPARE(ints(back, NbJourStockJournal, 1)[0], 21);
        QCOMPARE(ints(back, TauxActiviteT1, 1)[0], 15);
        QTEST(ints(back, TauxActiviteT2, 1)[0], "T2");
        QCOMPARE(ints(back, Colours + 4 * 12, 1)[0], 0x010203); // CouleurGrS2
        QCOMPARE(ints(back, ModeLie, 1)[0], 2);
        QCOMPARE(ints(back, Langue, 1)[0], 6);
        QCOMPARE(ints(back, Etatinterdit, 1)[0], 1);
        QCOMPARE(ints(back, CmtAuto, 1)[0], 1);
        init();
        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(p.MotDePasse, QStringLiteral("CHANGE7"));
        QCOMPARE(p.ModeLieApp, QString::fromUtf8("lien.vbs élan"));
    }

    // After a local time-out the transfer goes on with its next step: the
    // fetch fills the row from the block and empties its change state; the
    // store's write then fails as not connected, and the program ends.
    void transfersGoOnAfterTimeout_data()
    {
        QTest::addColumn<bool>("store");
        QTest::newRow("fetch") << false;
        QTest::newRow("store") << true;
    }
    void transfersGoOnAfterTimeout()
    {
        QFETCH(bool, store);
        RecvTimeout = 1;
        FakeServer server;
        server.replies = {answer(0, 0, 0), {}}; // the login, then silence
        UiRecorder::setDialogHandler([](UiServices::Dialog) { return true; });
        AgentsList::Rows rows = {row(5, QStringLiteral("X"), QStringLiteral("3"))};
        const bool ended = UiRecorder::endsProgram([&] {
            if (store)
                RemoteStore::StoreAgentRights(rows);
            else
                RemoteTransfers::FetchAgentRights(rows);
        });
        QCOMPARE(ended, store);
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), store ? 2 : 1);
        QCOMPARE(boxes[0].text, Failure + " (Local Time-out)");
        if (store)
            QCOMPARE(boxes[1].text, Failure + " (No Connect)");
        QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
        QCOMPARE(rows[0].cells[AgentsList::ColChangeState],
                 store ? QStringLiteral("3") : QString());
        QCOMPARE(server.requests.size(), 2); // the login and the read, no write
    }

    // An answer that is there only after the deadline is not accepted, even
    // when all its bytes are waiting.
    void lateAnswer()
    {
        FakeServer server;
        server.replies = {answer(0, 0, 0), answer(0, 4, 0, "late")};
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        QCOMPARE(Passerelle::SendBlock(Passerelle::GatewayBlock, L::HeaderSize),
                 Passerelle::Success);
        QTRY_VERIFY(Passerelle::Socket().bytesAvailable() >= L::HeaderSize + 4);
        RecvTimeout = -1; // the deadline has passed when the wait starts
        QCOMPARE(Passerelle::ReceiveBlock(Passerelle::GatewayBlock, L::BlockSize),
                 Passerelle::LocalTimeout);
    }

    // The report's title shows TcpPort as the 16-bit signed number it is.
    void reportTitleSignedPort()
    {
        Parametres.TcpPort = -25536;
        Passerelle::ReportGatewayError(Passerelle::LocalTimeout);
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, Title + "  (Server:127.0.0.1  Socket:-25536)");
    }
};

QTEST_MAIN(TstGateway)
#include "tst_gateway.moc"
