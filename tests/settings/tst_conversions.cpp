#include "Conversions.h"
#include "PasswordScrambler.h"

#include <QTest>

#include <cmath>

using namespace PasswordScrambler;

namespace {
const QByteArray kCannotUnscramble("Impossible de d\xe9"
                                   "crypter");
const QByteArray kCannotScramble("Impossible de crypter");
} // namespace

class TestConversions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numbers_data();
    void numbers();
    void rounding_data();
    void rounding();
    void scrambling_data();
    void scrambling();
    void everySingleChange();
};

// Val reads the leading number; strict needs the whole text to be one.
void TestConversions::numbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("val");
    QTest::addColumn<bool>("numeric");
    auto row = [](const char* name, QByteArray text, double val, bool numeric) {
        QTest::newRow(name) << text << val << numeric;
    };
    row("empty", "", 0, false);
    row("letters", "abc", 0, false);
    row("digits then letters", "12abc", 12, false);
    row("spaces around", " 30 ", 30, true);
    row("blanks inside", "1 2\t3", 123, false);
    row("negative decimal", "-2.5x", -2.5, false);
    row("leading point", ".5", 0.5, true);
    row("exponent", "1E3", 1000, true);
    row("D exponent", "2D2", 200, true);
    row("exponent without digits", "3e", 3, false);
    row("comma stops", "1,5", 1, false);
    row("hex", "&H1F", 31, true);
    row("hex 16-bit wraps", "&HFFFF", -1, true);
    row("hex 32-bit", "&H10000", 65536, true);
    row("octal", "&O17", 15, true);
    row("nul ends",
        QByteArray("4\0"
                   "5",
                   3),
        4, false);
    row("sign alone", "-", 0, false);
}

void TestConversions::numbers()
{
    QFETCH(QByteArray, text);
    QFETCH(double, val);
    QFETCH(bool, numeric);
    QCOMPARE(Conversions::Val(text), val);
    QCOMPARE(Conversions::isNumeric(text), numeric);
    try {
        Conversions::strict(text);
        QVERIFY(numeric);
    } catch (const Conversions::Failure& failure) {
        QVERIFY(!numeric);
        QCOMPARE(failure.number, 13);
    }
}

// Halves go to the even neighbour; a value outside the integer is an overflow
// (-1 below stands for it).
void TestConversions::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("to16");
    QTest::addColumn<qint64>("to32");
    QTest::newRow("2.5") << 2.5 << qint64(2) << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4) << qint64(4);
    QTest::newRow("-1.5") << -1.5 << qint64(-2) << qint64(-2);
    QTest::newRow("16-bit max") << 32767.0 << qint64(32767) << qint64(32767);
    QTest::newRow("16-bit over") << 32768.0 << qint64(-1) << qint64(32768);
    QTest::newRow("16-bit min half") << -32768.5 << qint64(-32768) << qint64(-32768);
    QTest::newRow("32-bit over") << 2147483648.0 << qint64(-1) << qint64(-1);
    QTest::newRow("infinite") << HUGE_VAL << qint64(-1) << qint64(-1);
}

void TestConversions::rounding()
{
    QFETCH(double, value);
    QFETCH(qint64, to16);
    QFETCH(qint64, to32);
    auto convert = [value](auto fn) -> qint64 {
        try {
            return fn(value);
        } catch (const Conversions::Failure& failure) {
            return failure.number == 6 ? -1 : -2;
        }
    };
    QCOMPARE(convert(Conversions::toInt16), to16);
    QCOMPARE(convert(Conversions::toInt32), to32);
}

void TestConversions::scrambling_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("stored"); // empty: only the round trip is checked
    QTest::newRow("empty") << QByteArray() << QByteArray("YI4I/-Q");
    QTest::newRow("default password") << QByteArray("SUPER") << DefaultSupervisorPassword();
    QTest::newRow("letters and digits") << QByteArray("SUPERVISEUR581") << QByteArray();
    QTest::newRow("accented") << QByteArray("\xc9t\xe9") << QByteArray();
    QTest::newRow("code below position") << QByteArray("\x03") << kCannotScramble;
    QTest::newRow("too long") << QByteArray(48, '0') << kCannotScramble;
}

void TestConversions::scrambling()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, stored);
    const QByteArray scrambled = Crypter(plain);
    if (!stored.isEmpty())
        QCOMPARE(scrambled, stored);
    if (scrambled != kCannotScramble) {
        QCOMPARE(scrambled.size(), plain.size() + 7);
        QCOMPARE(Decrypter(scrambled), plain);
    }
}

// A stored value changed anywhere never gives the password back; changed in
// the pads, or not written by Crypter at all, it is refused.
void TestConversions::everySingleChange()
{
    const QByteArray stored = Crypter("SECRET");
    for (int i = 0; i < stored.size(); ++i) {
        QByteArray changed = stored;
        changed[i] = char(changed[i] + 1);
        QVERIFY(Decrypter(changed) != "SECRET");
        if (i < 5 || i >= stored.size() - 2)
            QCOMPARE(Decrypter(changed), kCannotUnscramble);
    }
    QCOMPARE(Decrypter(""), QByteArray("581362"));
    for (const char* bad : {"motdepasse", "YI4", "\xff\xff\xff"})
        QCOMPARE(Decrypter(bad), kCannotUnscramble);
}

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
