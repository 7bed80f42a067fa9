// The word-wrapped label that remembers its heights: after any change that
// moves the text, it must answer what a plain label answers.
#include "WrappingLabel.h"

#include <QApplication>
#include <QTest>

#include <functional>

class TestWrappingLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void heightFollowsChange_data();
    void heightFollowsChange();
};

namespace {

const QString LongText =
    QStringLiteral("The supervisor password and the connection mode to the customer database, "
                   "the same for every agent, are set here.");

using Change = std::function<void(QLabel&)>;

// The long text, wrapped.
void prepare(QLabel& label)
{
    label.setWordWrap(true);
    label.setText(LongText);
}

} // namespace

void TestWrappingLabel::heightFollowsChange_data()
{
    QTest::addColumn<Change>("change");
    QTest::newRow("text") << Change([](QLabel& l) { l.setText(LongText + LongText); });
    QTest::newRow("font") << Change([](QLabel& l) {
        QFont font = l.font();
        font.setPointSizeF(font.pointSizeF() * 2);
        l.setFont(font);
    });
    QTest::newRow("margin") << Change([](QLabel& l) { l.setMargin(40); });
    QTest::newRow("indent") << Change([](QLabel& l) { l.setIndent(90); });
    QTest::newRow("contents margins")
        << Change([](QLabel& l) { l.setContentsMargins(60, 20, 60, 20); });
}

void TestWrappingLabel::heightFollowsChange()
{
    QFETCH(Change, change);
    WrappingLabel remembering;
    QLabel plain;
    prepare(remembering);
    prepare(plain);
    const int width = 200;
    const int before = remembering.heightForWidth(width);
    QCOMPARE(before, plain.heightForWidth(width));
    change(remembering);
    change(plain);
    const int after = plain.heightForWidth(width);
    QVERIFY(after != before); // the change does move the text
    QCOMPARE(remembering.heightForWidth(width), after);
}

QTEST_MAIN(TestWrappingLabel)
#include "tst_wrappinglabel.moc"
