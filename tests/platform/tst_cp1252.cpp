#include "Cp1252.h"

#include <QTest>

class TestCp1252 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        QTest::newRow("ASCII") << 0x41 << 0x41;
        QTest::newRow("NUL") << 0x00 << 0x00;
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("undefined 81") << 0x81 << 0x0081;
        QTest::newRow("undefined 8D") << 0x8D << 0x008D;
        QTest::newRow("undefined 8F") << 0x8F << 0x008F;
        QTest::newRow("undefined 90") << 0x90 << 0x0090;
        QTest::newRow("undefined 9D") << 0x9D << 0x009D;
        QTest::newRow("OE ligature") << 0x8C << 0x0152;
        QTest::newRow("left quote") << 0x91 << 0x2018;
        QTest::newRow("trade mark") << 0x99 << 0x2122;
        QTest::newRow("Y diaeresis") << 0x9F << 0x0178;
        QTest::newRow("no-break space") << 0xA0 << 0x00A0;
        QTest::newRow("e acute") << 0xE9 << 0x00E9;
        QTest::newRow("y diaeresis") << 0xFF << 0x00FF;
    }

    void decode()
    {
        QFETCH(int, byte);
        QFETCH(int, unicode);
        const char c = static_cast<char>(byte);
        const QString text = Cp1252::toUnicode(QByteArrayView(&c, 1));
        QCOMPARE(text.size(), 1);
        QCOMPARE(static_cast<int>(text.at(0).unicode()), unicode);
        QCOMPARE(Cp1252::fromUnicode(text), QByteArray(1, c));
    }

    void everyByteRoundTrips()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = static_cast<char>(i);
        const QString text = Cp1252::toUnicode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1252::fromUnicode(text), all);
    }

    void unmappable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("CJK") << QString::fromUtf8("a\xE4\xB8\xAD"
                                                  "b")
                             << QByteArray("a?b");
        QTest::newRow("Greek") << QString::fromUtf8("\xCE\xA9") << QByteArray("?");
        QTest::newRow("surrogate pair is one")
            << QString::fromUtf8("x\xF0\x9F\x98\x80y") << QByteArray("x?y");
        QTest::newRow("lone high surrogate") << QString(QChar(0xD800)) + u'z' << QByteArray("?z");
        QTest::newRow("lone low surrogate") << QString(QChar(0xDC00)) << QByteArray("?");
        QTest::newRow("C1 control without byte") << QString(QChar(0x0085)) << QByteArray("?");
        QTest::newRow("mixed") << QString::fromUtf8("\xE2\x82\xAC \xC3\xA9\xE2\x80\x94")
                               << QByteArray("\x80 \xE9\x97");
    }

    void unmappable()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(Cp1252::fromUnicode(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestCp1252)
#include "tst_cp1252.moc"
