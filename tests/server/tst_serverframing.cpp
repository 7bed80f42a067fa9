// zorsrv's message parser, session logic, records and command line, without
// sockets.
#include "BlockLibrary.h"
#include "CommandLine.h"
#include "Framing.h"
#include "Layout.h"
#include "Records.h"
#include "Session.h"

#include <QDir>
#include <QTest>

namespace {

QByteArray header(qint32 length, qint32 request = 400, qint32 record = 0)
{
    QByteArray m(length > 0 && length <= 8704 ? length : 512, '\0');
    auto* p = reinterpret_cast<quint8*>(m.data());
    Layout::writeInt(p, Layout::Header::Magic, qint32(Layout::Magic));
    Layout::writeInt(p, Layout::Header::Length, length);
    Layout::writeInt(p, Layout::Header::Request, request);
    Layout::writeInt(p, Layout::Header::Record, record);
    return m;
}

qint32 intAt(const QByteArray& data, int offset)
{
    return Layout::readInt(reinterpret_cast<const quint8*>(data.constData()), offset);
}

QByteArray nonce()
{
    QByteArray n(32, '\0');
    for (int i = 0; i < 32; ++i)
        n[i] = char(i * 7 + 3);
    return n;
}

QByteArray login(const Session& session, QByteArrayView key = "5204", qint32 application = 2)
{
    QByteArray m = session.greeting();
    auto* p = reinterpret_cast<quint8*>(m.data());
    Layout::writeInt(p, Layout::Header::Request, 512);
    Layout::writeInt(p, Layout::Header::Application, application);
    Klt::klt_cript(key, p + Layout::Header::Key);
    return m;
}

} // namespace

class TestServerFraming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scan_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("afterMessage");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("size");
        const int incomplete = int(Framing::Status::Incomplete);
        const int message = int(Framing::Status::Message);
        const int invalid = int(Framing::Status::Invalid);
        const QByteArray h = header(512);
        const QByteArray block = header(8704);
        QTest::newRow("nothing") << QByteArray() << false << incomplete << 0 << 0;
        QTest::newRow("magic so far") << h.left(3) << false << incomplete << 0 << 0;
        QTest::newRow("bad first byte") << QByteArray(1, 'x') << false << invalid << 0 << 0;
        QTest::newRow("bad fourth byte")
            << QByteArray::fromHex("cafecaff") << false << invalid << 0 << 0;
        QTest::newRow("no length yet") << h.left(7) << false << incomplete << 0 << 0;
        QTest::newRow("header") << h << false << message << 0 << 512;
        QTest::newRow("header and more") << h + h.left(10) << false << message << 0 << 512;
        QTest::newRow("header short of one") << h.left(511) << false << incomplete << 0 << 0;
        QTest::newRow("block") << block << false << message << 0 << 8704;
        QTest::newRow("block short of one") << block.left(8703) << false << incomplete << 0 << 0;
        QTest::newRow("length 513") << header(513).left(8) << false << invalid << 0 << 0;
        QTest::newRow("length -512") << header(-512).left(8) << false << invalid << 0 << 0;
        QTest::newRow("length 8192") << header(8192).left(8) << false << invalid << 0 << 0;
        QTest::newRow("zero after a message")
            << QByteArray(1, '\0') + h << true << message << 1 << 512;
        QTest::newRow("lone zero after a message")
            << QByteArray(1, '\0') << true << incomplete << 1 << 0;
        QTest::newRow("zero not after a message")
            << QByteArray(1, '\0') + h << false << invalid << 0 << 0;
        QTest::newRow("two zeros after a message")
            << QByteArray(2, '\0') + h << true << invalid << 1 << 0;
        QTest::newRow("message right after a message") << h << true << message << 0 << 512;
    }

    void scan()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, afterMessage);
        QFETCH(int, status);
        QFETCH(int, skip);
        QFETCH(int, size);
        const Framing::Scan result = Framing::scan(bytes, afterMessage);
        QCOMPARE(int(result.status), status);
        QCOMPARE(int(result.skip), skip);
        if (result.status == Framing::Status::Message)
            QCOMPARE(int(result.size), size);
    }

    void refusalAndAnswerLayout()
    {
        const QByteArray r = Framing::refusal(-4, 400, 17);
        QCOMPARE(r.size(), 512);
        QCOMPARE(intAt(r, 256), 2);
        QCOMPARE(intAt(r, 272), -4);
        QCOMPARE(intAt(r, 260), 0);
        QCOMPARE(intAt(r, 16), 17);
        const QByteArray a = Framing::answer(400, -1, QByteArray(292, 'z'));
        QCOMPARE(a.size(), 512 + 292);
        QVERIFY(intAt(a, 256) != 2);
        QCOMPARE(intAt(a, 260), 292);
        QCOMPARE(intAt(a, 16), -1);
        const QByteArray g = Framing::greeting(nonce());
        QCOMPARE(g.size(), 512);
        QCOMPARE(g.mid(128, 32), nonce());
    }

    void unsetRecords_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("minusOnes");
        QTest::newRow("supervisor") << -1 << 292 << 24;
        QTest::newRow("agent") << 5 << 464 << 7;
    }

    void unsetRecords()
    {
        QFETCH(int, record);
        QFETCH(int, size);
        QFETCH(int, minusOnes);
        const QByteArray data = Records::unset(record);
        QCOMPARE(data.size(), size);
        QCOMPARE(int(data.count(char(0xFF))), minusOnes * 4);
        QCOMPARE(int(data.count('\0')), size - minusOnes * 4);
        if (record == -1) {
            QCOMPARE(intAt(data, Layout::Supervisor::TauxActiviteT2), -1);
            QCOMPARE(intAt(data, Layout::Supervisor::Colours + 60), -1);
            QCOMPARE(data.at(Layout::Supervisor::Password), '\0');
        } else {
            QCOMPARE(intAt(data, Layout::Agent::DroitListeAppel), -1);
            QCOMPARE(data.at(Layout::Agent::Password), '\0');
        }
    }

    void inTable_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("agents");
        QTest::addColumn<bool>("inside");
        QTest::newRow("supervisor") << -1 << 1 << true;
        QTest::newRow("first") << 0 << 1 << true;
        QTest::newRow("one past") << 1 << 1 << false;
        QTest::newRow("last of default") << 9998 << 9999 << true;
        QTest::newRow("past default") << 9999 << 9999 << false;
        QTest::newRow("minus two") << -2 << 9999 << false;
    }

    void inTable()
    {
        QFETCH(int, record);
        QFETCH(int, agents);
        QFETCH(bool, inside);
        QCOMPARE(Records::inTable(record, agents), inside);
    }

    void sessionFlow()
    {
        Session session(nonce(), 10);
        QVERIFY(!session.loggedIn());
        Session::Step step = session.handle(header(512, 400, 1));
        QCOMPARE(intAt(step.answer, 272), -5);
        step = session.handle(login(session, "5204", 7));
        QCOMPARE(intAt(step.answer, 272), -6);
        // The nonce was spent on the refused attempt.
        step = session.handle(login(session));
        QCOMPARE(intAt(step.answer, 272), -5);
        QVERIFY(!session.loggedIn());

        Session fresh(nonce(), 10);
        step = fresh.handle(login(fresh));
        QCOMPARE(step.action, Session::Action::Reply);
        QVERIFY(intAt(step.answer, 256) != 2);
        QVERIFY(fresh.loggedIn());
        step = fresh.handle(header(512, 400, 9));
        QCOMPARE(step.action, Session::Action::Read);
        QCOMPARE(step.record, 9);
        step = fresh.handle(header(512, 400, 10));
        QCOMPARE(intAt(step.answer, 272), -1);
        QByteArray write = header(8704, 401, -1);
        write.replace(512, 4, "abcd");
        step = fresh.handle(write);
        QCOMPARE(step.action, Session::Action::Write);
        QCOMPARE(step.data.size(), 292);
        QCOMPARE(step.data.left(4), QByteArray("abcd"));
        step = fresh.handle(QByteArray(100, 'x'));
        QCOMPARE(step.action, Session::Action::RefuseAndClose);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("stallMs");
        QTest::addColumn<int>("record");
        QTest::newRow("defaults") << QStringList{} << true << 32000 << 10000 << 0;
        QTest::newRow("listen and fraction")
            << QStringList{"--db", "x.db", "--listen", "127.0.0.1:0", "--stall-timeout", "0.5"}
            << true << 0 << 500 << 0;
        QTest::newRow("equals form")
            << QStringList{"--listen=[::1]:4000"} << true << 4000 << 10000 << 0;
        QTest::newRow("dump supervisor") << QStringList{"dump", "--db", "x.db", "--record", "-1"}
                                         << true << 32000 << 10000 << -1;
        QTest::newRow("dump without db") << QStringList{"dump"} << false << 0 << 0 << 0;
        QTest::newRow("bad port") << QStringList{"--listen", "127.0.0.1:70000"} << false << 0 << 0
                                  << 0;
        QTest::newRow("no port") << QStringList{"--listen", "127.0.0.1"} << false << 0 << 0 << 0;
        QTest::newRow("zero agents") << QStringList{"--agents", "0"} << false << 0 << 0 << 0;
        QTest::newRow("negative stall")
            << QStringList{"--stall-timeout", "-1"} << false << 0 << 0 << 0;
        QTest::newRow("unknown option") << QStringList{"--fast"} << false << 0 << 0 << 0;
        QTest::newRow("unknown command") << QStringList{"serve"} << false << 0 << 0 << 0;
        QTest::newRow("record outside dump")
            << QStringList{"--record", "1"} << false << 0 << 0 << 0;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(int, port);
        QFETCH(int, stallMs);
        QFETCH(int, record);
        qputenv("XDG_DATA_HOME", QDir::tempPath().toUtf8());
        const CommandLine::Parsed parsed =
            CommandLine::parse(QStringList{QStringLiteral("zorsrv")} + arguments);
        QCOMPARE(parsed.error.isEmpty(), valid);
        if (!valid)
            return;
        QCOMPARE(int(parsed.options.port), port);
        QCOMPARE(parsed.options.stallTimeoutMs, stallMs);
        QVERIFY(!parsed.options.database.isEmpty());
        if (parsed.command == CommandLine::Command::Dump)
            QCOMPARE(parsed.record.value_or(0), record);
    }
};

QTEST_GUILESS_MAIN(TestServerFraming)
#include "tst_serverframing.moc"
