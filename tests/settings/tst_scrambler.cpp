#include "PasswordScrambler.h"

#include <QTest>

using namespace PasswordScrambler;

namespace {
const QByteArray kCannotUnscramble("Impossible de d\xe9"
                                   "crypter");
const QByteArray kCannotScramble("Impossible de crypter");
} // namespace

class TestScrambler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void knownForms_data();
    void knownForms();
    void decrypterFailures_data();
    void decrypterFailures();
    void everySingleChange();
    void defaultPassword();
};

void TestScrambler::roundTrip_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("digits") << QByteArray("581362");
    QTest::newRow("letters") << QByteArray("SUPERVISEUR");
    QTest::newRow("lower case") << QByteArray("abc def");
    QTest::newRow("accented 1252") << QByteArray("\xc9t\xe9");
    QTest::newRow("twenty chars") << QByteArray("ABCDEFGHIJ0123456789");
}

void TestScrambler::roundTrip()
{
    QFETCH(QByteArray, plain);
    const QByteArray stored = Crypter(plain);
    QCOMPARE(stored.size(), plain.size() + 7);
    QVERIFY(stored != plain);
    QCOMPARE(Decrypter(stored), plain);
}

void TestScrambler::knownForms_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("stored");
    // Rotated "ZK7M4" + P + "3X", each code lowered by its position.
    QTest::newRow("empty") << QByteArray() << QByteArray("YI4I/-Q");
    QTest::newRow("SUPER") << QByteArray("SUPER") << QByteArray("YI4I/MNH<H(L");
    // A character of code 3 at position 6 cannot be lowered by 6.
    QTest::newRow("low code") << QByteArray("\x03") << kCannotScramble;
    // Long text: '0' (48) at position 49 goes below zero.
    QTest::newRow("too long") << QByteArray(48, '0') << kCannotScramble;
}

void TestScrambler::knownForms()
{
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, stored);
    QCOMPARE(Crypter(plain), stored);
}

void TestScrambler::decrypterFailures_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty gives the default") << QByteArray() << QByteArray("581362");
    QTest::newRow("plain text") << QByteArray("motdepasse") << kCannotUnscramble;
    QTest::newRow("too short") << QByteArray("YI4") << kCannotUnscramble;
    QTest::newRow("truncated") << QByteArray("YI4I/MNH<H(") << kCannotUnscramble;
    QTest::newRow("beyond 255") << QByteArray("\xff\xff\xff") << kCannotUnscramble;
    QTest::newRow("pad changed") << QByteArray("YI4J/MNH<H(L") << kCannotUnscramble;
}

void TestScrambler::decrypterFailures()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, expected);
    QCOMPARE(Decrypter(stored), expected);
}

// Any single changed character either fails or gives another password; in
// the pad area it always fails.
void TestScrambler::everySingleChange()
{
    const QByteArray plain("SECRET");
    const QByteArray stored = Crypter(plain);
    for (int i = 0; i < stored.size(); ++i) {
        QByteArray changed = stored;
        changed[i] = char(changed[i] + 1);
        const QByteArray result = Decrypter(changed);
        QVERIFY2(result != plain, qPrintable(QString::number(i)));
        const bool inPads = i < 5 || i >= stored.size() - 2;
        if (inPads)
            QCOMPARE(result, kCannotUnscramble);
    }
}

void TestScrambler::defaultPassword()
{
    const QByteArray stored = DefaultSupervisorPassword();
    QCOMPARE(stored.size(), 12);
    QCOMPARE(Decrypter(stored), QByteArray("SUPER"));
    QCOMPARE(Crypter("SUPER"), stored);
}

QTEST_GUILESS_MAIN(TestScrambler)
#include "tst_scrambler.moc"
