// The gateway session against a scripted server in the test process.

#include "BlockLibrary.h"
#include "FakeServer.h"
#include "Folders.h"
#include "Languages.h"
#include "Passerelle.h"
#include "TestLanguage.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

using Reply = FakeServer::Reply;
using UiRecorder::Kind;

namespace {

constexpr quint8 Pattern = 0xEE;

QByteArray blockBytes(int from, int count)
{
    return QByteArray(reinterpret_cast<const char*>(Passerelle::GatewayBlock.data() + from), count);
}

void fillDataArea()
{
    std::fill(Passerelle::GatewayBlock.bytes.begin() + Layout::HeaderSize,
              Passerelle::GatewayBlock.bytes.end(), Pattern);
}

bool dataAreaUntouched(int from = 0)
{
    return blockBytes(Layout::HeaderSize + from, Layout::DataSize - from) ==
           QByteArray(Layout::DataSize - from, char(Pattern));
}

QByteArray dataOf(int size, char seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i * 7);
    return data;
}

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

Reply accept()
{
    return Reply{FakeServer::answer(0, 0, 0), false, 0, 0};
}

// A read request for record, from a cleared header.
void prepareRead(qint32 record)
{
    quint8* header = Passerelle::GatewayBlock.data();
    Klt::Clear_Bloc_Entete(header);
    Layout::writeInt(header, Layout::Header::Request, Layout::RequestRead);
    Layout::writeInt(header, Layout::Header::Record, record);
}

qint16 readRecord(qint32 record, int capacity = Layout::BlockSize)
{
    prepareRead(record);
    const qint16 sent = Passerelle::SendBlock(Passerelle::GatewayBlock, Layout::HeaderSize);
    if (sent != Passerelle::Success)
        return sent;
    return Passerelle::ReceiveBlock(Passerelle::GatewayBlock, capacity);
}

bool socketConnected()
{
    return Passerelle::Socket().state() == QAbstractSocket::ConnectedState;
}

} // namespace

class TstPasserelle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void deadline_data();
    void deadline();
    void openSessionResult_data();
    void openSessionResult();
    void loginHeader();
    void openSessionTimeout_data();
    void openSessionTimeout();
    void longGreeting();
    void receiveData_data();
    void receiveData();
    void connectionLost_data();
    void connectionLost();
    void answerThenClose();
    void brokenAnswer_data();
    void brokenAnswer();
    void bytesAfterAnswer();
    void randomAnswers();
    void fragmentedAnswer();
    void lateAnswerNotTaken();
    void sendBlock_data();
    void sendBlock();
    void notConnected();
    void eventsRunWhileWaiting();
    void waitDoesNotSpin();
    void report_data();
    void report();
    void reportInLastLanguage();

private:
    bool start(FakeServer& server);

    QTemporaryDir m_programDir;
};

void TstPasserelle::initTestCase()
{
    QVERIFY(m_programDir.isValid());
    Folders::setProgramFolder(m_programDir.path());
    QVERIFY(TestLanguage::writeGatewayTexts(m_programDir.path(), 0));
}

void TstPasserelle::init()
{
    ResetGlobals();
    UiRecorder::install();
    RecvTimeout = 1;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Languages::LoadLanguageFile();
    Passerelle::CloseSession();
    Passerelle::GatewayBlock = GatewayBlockBytes{};
}

void TstPasserelle::cleanup()
{
    Passerelle::CloseSession();
}

bool TstPasserelle::start(FakeServer& server)
{
    if (!server.listen())
        return false;
    Parametres.TcpPort = static_cast<qint16>(server.port());
    return true;
}

void TstPasserelle::deadline_data()
{
    QTest::addColumn<qint64>("nowNs");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("whole second") << 5'000'000'000LL << 10 << 15LL;
    QTest::newRow("below a half") << 5'499'999'999LL << 10 << 15LL;
    QTest::newRow("above a half") << 5'500'000'001LL << 10 << 16LL;
    QTest::newRow("half, odd below: up") << 5'500'000'000LL << 10 << 16LL;
    QTest::newRow("half, even below: down") << 4'500'000'000LL << 10 << 14LL;
    QTest::newRow("no time-out, half to 0") << 500'000'000LL << 0 << 0LL;
    QTest::newRow("no time-out, half to 2") << 1'500'000'000LL << 0 << 2LL;
    QTest::newRow("past a day") << 86'399'600'000'000LL << 1 << 86'401LL;
    QTest::newRow("long uptime, half") << 1'000'000'500'000'000LL << 10 << 1'000'010LL;
}

void TstPasserelle::deadline()
{
    QFETCH(qint64, nowNs);
    QFETCH(int, timeout);
    QFETCH(qint64, expected);
    QCOMPARE(Passerelle::DeadlineSeconds(nowNs, timeout), expected);
}

void TstPasserelle::openSessionResult_data()
{
    QTest::addColumn<qint32>("status");
    QTest::addColumn<qint32>("error");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<int>("expected");
    QTest::newRow("accepted") << 0 << 0 << 0 << 0;
    QTest::newRow("accepted with data") << 0 << 0 << 16 << 0;
    QTest::newRow("status 1 is no refusal") << 1 << -5 << 0 << 0;
    QTest::newRow("table full") << 2 << -1 << 0 << -1;
    QTest::newRow("server time-out") << 2 << -2 << 0 << -2;
    QTest::newRow("server stop") << 2 << -3 << 0 << -3;
    QTest::newRow("too many connections") << 2 << -4 << 0 << -4;
    QTest::newRow("bad password") << 2 << -5 << 0 << -5;
    QTest::newRow("unknown application") << 2 << -6 << 0 << -6;
    QTest::newRow("another code") << 2 << -9 << 0 << -9;
    QTest::newRow("refusal code beyond 16 bits") << 2 << 70000 << 0 << -32768;
}

void TstPasserelle::openSessionResult()
{
    QFETCH(qint32, status);
    QFETCH(qint32, error);
    QFETCH(int, dataLength);
    QFETCH(int, expected);
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({{FakeServer::answer(status, dataLength, error, dataOf(dataLength, 3))}});

    QCOMPARE(Passerelle::OpenSession("5204", 2), qint16(expected));
    QCOMPARE(server.requests().size(), 1);
    QVERIFY(socketConnected());
    QCOMPARE(blockBytes(Layout::HeaderSize, dataLength), dataOf(dataLength, 3));
}

void TstPasserelle::loginHeader()
{
    FakeServer server;
    QVERIFY(start(server));
    const QByteArray greeting = FakeServer::greeting(0x33);
    server.setGreetings({greeting});
    server.setReplies({accept()});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);

    QCOMPARE(server.requests().size(), 1);
    const QByteArray login = server.requests().first();
    QCOMPARE(login.size(), Layout::HeaderSize);
    const auto* header = reinterpret_cast<const quint8*>(login.constData());
    QCOMPARE(login.left(4), QByteArray("\xCA\xFE\xCA\xFE", 4));
    QCOMPARE(Layout::readInt(header, Layout::Header::Length), 512);
    QCOMPARE(Layout::readInt(header, Layout::Header::Request), 512);
    QCOMPARE(Layout::readInt(header, Layout::Header::Application), 2);
    const QByteArray nonce = greeting.mid(Layout::Header::Nonce, Layout::Header::NonceSize);
    QVERIFY(Klt::loginKeyMatches(header, "5204", nonce));
    QVERIFY(!Klt::loginKeyMatches(header, "5205", nonce));
    // The rest of the login header is the greeting, not cleared.
    QCOMPARE(login.mid(16, 24), greeting.mid(16, 24));
    QCOMPARE(login.mid(72), greeting.mid(72));
}

void TstPasserelle::openSessionTimeout_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<bool>("listening");
    QTest::newRow("silent server") << QByteArray() << true;
    QTest::newRow("short greeting") << FakeServer::greeting().left(300) << true;
    QTest::newRow("no login answer") << FakeServer::greeting() << true;
    QTest::newRow("nobody listening") << QByteArray() << false;
}

void TstPasserelle::openSessionTimeout()
{
    QFETCH(QByteArray, greeting);
    QFETCH(bool, listening);
    quint16 port = 0;
    {
        FakeServer closed;
        QVERIFY(closed.listen());
        port = closed.port();
    }
    FakeServer server;
    if (listening) {
        QVERIFY(start(server));
        port = server.port();
        server.setGreetings({greeting});
    }
    Parametres.TcpPort = static_cast<qint16>(port);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::LocalTimeout);
    // The deadline is at least half a second away with a time-out of 1.
    QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!socketConnected());
    QCOMPARE(UiRecorder::calls().size(), 0);
}

void TstPasserelle::longGreeting()
{
    // The surplus of a greeting is the start of the login answer.
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting() + FakeServer::answer(2, 0, -4)});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::TooConnection);
    QTRY_COMPARE(server.requests().size(), 1);
}

void TstPasserelle::receiveData_data()
{
    QTest::addColumn<qint32>("status");
    QTest::addColumn<qint32>("error");
    QTest::addColumn<qint32>("dataLength");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("expected");
    QTest::newRow("no data") << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("negative length") << 0 << 0 << -5 << 0 << 0;
    QTest::newRow("100 bytes") << 0 << 0 << 100 << 100 << 0;
    QTest::newRow("a record") << 0 << 0 << 464 << 464 << 0;
    QTest::newRow("the whole data area") << 0 << 0 << 8192 << 8192 << 0;
    QTest::newRow("refused with data") << 2 << -3 << 10 << 10 << -3;
}

void TstPasserelle::receiveData()
{
    QFETCH(qint32, status);
    QFETCH(qint32, error);
    QFETCH(qint32, dataLength);
    QFETCH(int, sent);
    QFETCH(int, expected);
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    const QByteArray data = dataOf(sent, 11);
    server.setReplies({accept(), {FakeServer::answer(status, dataLength, error, data, 41)}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    fillDataArea();

    QCOMPARE(readRecord(41), qint16(expected));
    QCOMPARE(Layout::readInt(Passerelle::GatewayBlock.data(), Layout::Header::DataLength),
             dataLength);
    QCOMPARE(Layout::readInt(Passerelle::GatewayBlock.data(), Layout::Header::Record), 41);
    QCOMPARE(blockBytes(Layout::HeaderSize, sent), data);
    QVERIFY(dataAreaUntouched(sent));
    QVERIFY(socketConnected());
}

void TstPasserelle::connectionLost_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("closed before the header") << QByteArray();
    QTest::newRow("closed in the header") << FakeServer::answer(0, 0, 0).left(200);
    QTest::newRow("closed before the data") << FakeServer::answer(0, 100, 0);
    QTest::newRow("closed in the data") << FakeServer::answer(0, 100, 0, dataOf(40, 1));
}

void TstPasserelle::connectionLost()
{
    // A lost connection ends the wait at once, however long the time-out,
    // and an incomplete answer leaves the data area as it was.
    QFETCH(QByteArray, reply);
    RecvTimeout = 30;
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {reply, true}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    fillDataArea();

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(readRecord(0), Passerelle::LocalTimeout);
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(dataAreaUntouched());
    QVERIFY(!socketConnected());
}

void TstPasserelle::answerThenClose()
{
    // A whole answer counts even when the server closes right after it.
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {FakeServer::answer(2, 6, -6, "REFUSE"), true}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    QCOMPARE(readRecord(0), Passerelle::UnknownApplication);
    QCOMPARE(blockBytes(Layout::HeaderSize, 6), QByteArray("REFUSE"));
}

void TstPasserelle::brokenAnswer_data()
{
    QTest::addColumn<qint32>("dataLength");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("expected");
    QTest::newRow("one byte too many") << 8193 << 8193 << Layout::BlockSize << 3;
    QTest::newRow("largest length")
        << std::numeric_limits<qint32>::max() << 0 << Layout::BlockSize << 3;
    QTest::newRow("beyond a smaller capacity") << 101 << 101 << 612 << 3;
    QTest::newRow("within a smaller capacity") << 100 << 100 << 612 << 0;
}

void TstPasserelle::brokenAnswer()
{
    QFETCH(qint32, dataLength);
    QFETCH(int, sent);
    QFETCH(int, capacity);
    QFETCH(int, expected);
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {FakeServer::answer(0, dataLength, 0, dataOf(sent, 5))}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    fillDataArea();

    QCOMPARE(readRecord(0, capacity), qint16(expected));
    if (expected == Passerelle::BadAnswer) {
        QVERIFY(dataAreaUntouched());
        QVERIFY(!socketConnected());
        QCOMPARE(Passerelle::SendBlock(Passerelle::GatewayBlock, 512), Passerelle::NotConnected);
    } else {
        QCOMPARE(blockBytes(Layout::HeaderSize, sent), dataOf(sent, 5));
        QVERIFY(dataAreaUntouched(sent));
    }
}

void TstPasserelle::bytesAfterAnswer()
{
    // Bytes after a whole answer stay waiting and are read as the next one.
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies(
        {accept(), {FakeServer::answer(0, 4, 0, "AAAA") + FakeServer::answer(2, 4, -2, "BBBB")}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);

    QCOMPARE(readRecord(3), Passerelle::Success);
    QCOMPARE(blockBytes(Layout::HeaderSize, 4), QByteArray("AAAA"));
    QCOMPARE(readRecord(4), Passerelle::ServerTimeout);
    QCOMPARE(blockBytes(Layout::HeaderSize, 4), QByteArray("BBBB"));
    QTRY_COMPARE(server.requests().size(), 3);
}

void TstPasserelle::randomAnswers()
{
    // Answers of random header fields and random length, cut anywhere, then
    // the connection closed: each ends in a code that says what happened,
    // and nothing is written past what really arrived.
    QRandomGenerator random(20261205);
    const QList<qint32> lengths = {0,
                                   -1,
                                   -8192,
                                   1,
                                   100,
                                   464,
                                   8191,
                                   8192,
                                   8193,
                                   70000,
                                   std::numeric_limits<qint32>::min(),
                                   std::numeric_limits<qint32>::max()};
    for (int round = 0; round < 120; ++round) {
        const qint32 dataLength = lengths.at(random.bounded(int(lengths.size())));
        const qint32 status = random.bounded(4);
        const qint32 error = qint32(random.generate());
        QByteArray bytes = FakeServer::answer(status, dataLength, error);
        for (int i = 20; i < 256; ++i)
            bytes[i] = char(random.bounded(256));
        const int full = Layout::HeaderSize + std::clamp(dataLength, 0, 9000);
        bytes += dataOf(full - Layout::HeaderSize, char(round));
        const int cut = random.bounded(3) == 0 ? random.bounded(full + 1) : full;
        bytes.truncate(cut);

        FakeServer server;
        QVERIFY(start(server));
        server.setGreetings({FakeServer::greeting()});
        server.setReplies({accept(), {bytes, true}});
        QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
        fillDataArea();
        const qint16 code = readRecord(0);

        const bool tooLong = dataLength > Layout::DataSize;
        const bool whole = cut == full;
        if (cut < Layout::HeaderSize || (!tooLong && !whole)) {
            QCOMPARE(code, Passerelle::LocalTimeout);
            QVERIFY(dataAreaUntouched());
        } else if (tooLong) {
            QCOMPARE(code, Passerelle::BadAnswer);
            QVERIFY(dataAreaUntouched());
        } else {
            const int received = std::max(0, dataLength);
            const qint32 expected = status != 2                       ? 0
                                    : error < -32768 || error > 32767 ? -32768
                                                                      : error;
            QCOMPARE(code, qint16(expected));
            QCOMPARE(blockBytes(Layout::HeaderSize, received), bytes.mid(Layout::HeaderSize));
            QVERIFY(dataAreaUntouched(received));
        }
        Passerelle::CloseSession();
    }
}

void TstPasserelle::fragmentedAnswer()
{
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    const QByteArray data = dataOf(3000, 9);
    server.setReplies({accept(), {FakeServer::answer(0, 3000, 0, data), false, 333}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    QCOMPARE(readRecord(1), Passerelle::Success);
    QCOMPARE(blockBytes(Layout::HeaderSize, 3000), data);
}

void TstPasserelle::lateAnswerNotTaken()
{
    // A wait that times out drops the connection: the late answer is never
    // taken for the answer to a later request.
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {FakeServer::answer(0, 4, 0, "LATE"), false, 0, 2000}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    fillDataArea();
    QCOMPARE(readRecord(1), Passerelle::LocalTimeout);
    QVERIFY(!socketConnected());
    QCOMPARE(readRecord(2), Passerelle::NotConnected);
    QCOMPARE(Passerelle::ReceiveBlock(Passerelle::GatewayBlock, Layout::BlockSize),
             Passerelle::NotConnected);
    QVERIFY(dataAreaUntouched());
}

void TstPasserelle::sendBlock_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("header") << 512;
    QTest::newRow("whole block") << 8704;
}

void TstPasserelle::sendBlock()
{
    QFETCH(int, length);
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {FakeServer::answer(0, 0, 0)}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);

    for (int i = 8; i < Layout::BlockSize; ++i)
        Passerelle::GatewayBlock.bytes[std::size_t(i)] = quint8(i * 13);
    QCOMPARE(Passerelle::SendBlock(Passerelle::GatewayBlock, length), Passerelle::Success);
    QCOMPARE(blockBytes(0, 4), QByteArray("\xCA\xFE\xCA\xFE", 4));
    QCOMPARE(Layout::readInt(Passerelle::GatewayBlock.data(), Layout::Header::Length), length);
    const QByteArray expected = blockBytes(0, length);
    QCOMPARE(Passerelle::ReceiveBlock(Passerelle::GatewayBlock, Layout::BlockSize),
             Passerelle::Success);
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().at(1), expected);
}

void TstPasserelle::notConnected()
{
    FakeServer server;
    QVERIFY(start(server));
    QCOMPARE(Passerelle::SendBlock(Passerelle::GatewayBlock, 512), Passerelle::NotConnected);
    // Nothing is written into the block either.
    QCOMPARE(blockBytes(0, 8), QByteArray(8, '\0'));
    QCOMPARE(Passerelle::ReceiveBlock(Passerelle::GatewayBlock, Layout::BlockSize),
             Passerelle::NotConnected);
    QCOMPARE(server.connectionCount(), 0);
}

void TstPasserelle::eventsRunWhileWaiting()
{
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept(), {FakeServer::answer(0, 0, 0), false, 0, 300}});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    int fired = 0;
    QTimer::singleShot(20, [&fired] { ++fired; });
    QTimer::singleShot(150, [&fired] { ++fired; });
    QCOMPARE(readRecord(1), Passerelle::Success);
    QCOMPARE(fired, 2);
}

void TstPasserelle::waitDoesNotSpin()
{
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept()});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);

    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = cpuMs();
    QCOMPARE(readRecord(1), Passerelle::LocalTimeout); // no answer comes
    const qint64 cpu = cpuMs() - cpuBefore;
    const qint64 wall = clock.elapsed();
    QVERIFY(wall >= 450);
    QVERIFY2(cpu * 2 < wall, qPrintable(QStringLiteral("cpu %1 ms in %2 ms").arg(cpu).arg(wall)));
}

void TstPasserelle::report_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("valide");
    QTest::newRow("1 no connect") << 1 << " (No Connect)" << true << false;
    QTest::newRow("2 time-out, dialog accepted") << 2 << " (Local Time-out)" << false << true;
    QTest::newRow("2 time-out, dialog cancelled") << 2 << " (Local Time-out)" << false << false;
    QTest::newRow("3 bad answer") << 3 << " (Bad Answer)" << true << false;
    QTest::newRow("-1 table full") << -1 << " (Table full)" << true << false;
    QTest::newRow("-2 server time-out") << -2 << " (Server Time_out)" << true << false;
    QTest::newRow("-3 server stop") << -3 << " (Server Stop)" << true << false;
    QTest::newRow("-4 too many") << -4 << " (Too Connection)" << true << false;
    QTest::newRow("-5 bad password") << -5 << " (Bad Password)" << true << false;
    QTest::newRow("-6 unknown application") << -6 << " (Unknown Application)" << true << false;
    QTest::newRow("-9 outside the table") << -9 << QString() << true << false;
    QTest::newRow("7 outside the table") << 7 << QString() << true << false;
}

void TstPasserelle::report()
{
    QFETCH(int, code);
    QFETCH(QString, reason);
    QFETCH(bool, ends);
    QFETCH(bool, valide);
    FakeServer server;
    QVERIFY(start(server));
    server.setGreetings({FakeServer::greeting()});
    server.setReplies({accept()});
    QCOMPARE(Passerelle::OpenSession("5204", 2), Passerelle::Success);
    UiRecorder::setDialogHandler([valide](Ui::Dialog) { return valide; });

    bool result = false;
    const bool ended = UiRecorder::endsProgram(
        [&] { result = Passerelle::ReportGatewayError(static_cast<qint16>(code)); });
    QCOMPARE(ended, ends);
    const QList<UiRecorder::Call> calls = UiRecorder::calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls.at(0).kind, Kind::Beep);
    QCOMPARE(calls.at(1).kind, Kind::MessageBox);
    const QString prompt = reason.isEmpty() ? QString() : TestLanguage::GatewayFailure + reason;
    QCOMPARE(calls.at(1).text, prompt);
    QCOMPARE(calls.at(1).title, TestLanguage::ApplicationTitle + "  (Server:127.0.0.1  Socket:" +
                                    QString::number(server.port()) + ")");
    QCOMPARE(calls.at(1).icon, Ui::Icon::Exclamation);
    QCOMPARE(calls.at(1).value, int(Ui::Buttons::Ok));
    if (ends) {
        QCOMPARE(calls.at(2).kind, Kind::End);
        QVERIFY(!socketConnected());
    } else {
        QCOMPARE(calls.at(2).kind, Kind::Dialog);
        QCOMPARE(calls.at(2).value, int(Ui::Dialog::Connection));
        QCOMPARE(result, valide);
    }
}

void TstPasserelle::reportInLastLanguage()
{
    // Language 16: LanguageBase + 1285 leaves 16 bits, the text is still found.
    QVERIFY(TestLanguage::writeGatewayTexts(m_programDir.path(), 16));
    Parametres.Langue = 16;
    LanguageBase = 32000;
    Languages::LoadLanguageFile();
    UiRecorder::setDialogHandler([](Ui::Dialog) { return true; });
    QVERIFY(Passerelle::ReportGatewayError(Passerelle::LocalTimeout));
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, TestLanguage::GatewayFailure + " #16 (Local Time-out)");
    QVERIFY(boxes[0].title.startsWith(TestLanguage::ApplicationTitle + " #16  (Server:"));
}

QTEST_MAIN(TstPasserelle)
#include "tst_passerelle.moc"
