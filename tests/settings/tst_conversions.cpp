#include "Conversions.h"

#include <QTest>

#include <cmath>

class TestConversions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void val_data();
    void val();
    void strict_data();
    void strict();
    void rounding_data();
    void rounding();
    void padded_data();
    void padded();
};

void TestConversions::val_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("digits") << QByteArray("40") << 40.0;
    QTest::newRow("digits then letters") << QByteArray("12abc") << 12.0;
    QTest::newRow("leading space") << QByteArray(" 30") << 30.0;
    QTest::newRow("blanks inside") << QByteArray("1 2\t3") << 123.0;
    QTest::newRow("negative") << QByteArray("-1") << -1.0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("decimal") << QByteArray("2.5x") << 2.5;
    QTest::newRow("leading point") << QByteArray(".5") << 0.5;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("D exponent") << QByteArray("2D2") << 200.0;
    QTest::newRow("exponent without digits") << QByteArray("3e") << 3.0;
    QTest::newRow("comma stops") << QByteArray("1,5") << 1.0;
    QTest::newRow("hex") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hex 16-bit wraps") << QByteArray("&HFFFF") << -1.0;
    QTest::newRow("hex 32-bit") << QByteArray("&H10000") << 65536.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("nul ends") << QByteArray("4\0"
                                            "5",
                                            3)
                              << 4.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
}

void TestConversions::val()
{
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(Conversions::Val(text), expected);
}

void TestConversions::strict_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QByteArray() << false << 0.0;
    QTest::newRow("blank") << QByteArray("  ") << false << 0.0;
    QTest::newRow("digits") << QByteArray("1") << true << 1.0;
    QTest::newRow("spaces around") << QByteArray(" 12 ") << true << 12.0;
    QTest::newRow("trailing letters") << QByteArray("12abc") << false << 0.0;
    QTest::newRow("letters") << QByteArray("yes") << false << 0.0;
    QTest::newRow("negative decimal") << QByteArray("-2.5") << true << -2.5;
    QTest::newRow("exponent") << QByteArray("1E2") << true << 100.0;
    QTest::newRow("hex") << QByteArray("&H10") << true << 16.0;
    QTest::newRow("inner space") << QByteArray("1 2") << false << 0.0;
}

void TestConversions::strict()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, numeric);
    QFETCH(double, expected);
    QCOMPARE(Conversions::isNumeric(text), numeric);
    try {
        const double value = Conversions::strict(text);
        QVERIFY(numeric);
        QCOMPARE(value, expected);
    } catch (const Conversions::Failure& failure) {
        QVERIFY(!numeric);
        QCOMPARE(failure.number, 13);
    }
}

void TestConversions::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits16");
    QTest::addColumn<int>("expected16");
    QTest::addColumn<bool>("fits32");
    QTest::addColumn<qint64>("expected32");
    QTest::newRow("half to even down") << 2.5 << true << 2 << true << qint64(2);
    QTest::newRow("half to even up") << 3.5 << true << 4 << true << qint64(4);
    QTest::newRow("negative half") << -0.5 << true << 0 << true << qint64(0);
    QTest::newRow("negative 1.5") << -1.5 << true << -2 << true << qint64(-2);
    QTest::newRow("below half") << 2.49 << true << 2 << true << qint64(2);
    QTest::newRow("16-bit max") << 32767.0 << true << 32767 << true << qint64(32767);
    QTest::newRow("16-bit over") << 32768.0 << false << 0 << true << qint64(32768);
    QTest::newRow("16-bit min half") << -32768.5 << true << -32768 << true << qint64(-32768);
    QTest::newRow("16-bit under") << -32769.0 << false << 0 << true << qint64(-32769);
    QTest::newRow("32-bit over") << 2147483648.0 << false << 0 << false << qint64(0);
    QTest::newRow("32-bit min") << -2147483648.0 << false << 0 << true << qint64(-2147483647) - 1;
    QTest::newRow("infinite") << HUGE_VAL << false << 0 << false << qint64(0);
}

void TestConversions::rounding()
{
    QFETCH(double, value);
    QFETCH(bool, fits16);
    QFETCH(int, expected16);
    QFETCH(bool, fits32);
    QFETCH(qint64, expected32);
    try {
        QCOMPARE(int(Conversions::toInt16(value)), expected16);
        QVERIFY(fits16);
    } catch (const Conversions::Failure& failure) {
        QVERIFY(!fits16);
        QCOMPARE(failure.number, 6);
    }
    try {
        QCOMPARE(qint64(Conversions::toInt32(value)), expected32);
        QVERIFY(fits32);
    } catch (const Conversions::Failure& failure) {
        QVERIFY(!fits32);
        QCOMPARE(failure.number, 6);
    }
}

void TestConversions::padded_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one digit") << qint64(5) << 3 << QStringLiteral("005");
    QTest::newRow("exact") << qint64(123) << 3 << QStringLiteral("123");
    QTest::newRow("longer") << qint64(1234) << 3 << QStringLiteral("1234");
    QTest::newRow("negative") << qint64(-5) << 3 << QStringLiteral("-005");
    QTest::newRow("two digits") << qint64(3) << 2 << QStringLiteral("03");
}

void TestConversions::padded()
{
    QFETCH(qint64, number);
    QFETCH(int, digits);
    QFETCH(QString, expected);
    QCOMPARE(Conversions::padded(number, digits), expected);
}

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
