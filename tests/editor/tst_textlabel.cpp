// The label that measures its text once: for every kind of text and setting,
// and after every change that moves the text, it must answer what a plain
// QLabel answers.
#include "TextLabel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <functional>

class TestTextLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void measuresAsQLabel_data();
    void measuresAsQLabel();
    void followsChange_data();
    void followsChange();
    void wrapsAtEveryWidth_data();
    void wrapsAtEveryWidth();
};

namespace {

const QString LongText =
    QStringLiteral("The supervisor password and the connection mode to the customer database, "
                   "the same for every agent, are set here.");

using Setup = std::function<void(QLabel&)>;

// The widths a layout may ask a height for, down to none at all.
const int Widths[] = {0, 1, 9, 37, 80, 123, 200, 271, 333, 512, 640, 1999, 2000, 4000};

// A label set up as the row says, with a buddy when the row needs one.
void apply(const Setup& setup, QLabel& label, QWidget& buddy)
{
    label.setBuddy(nullptr);
    setup(label);
    if (label.property("wantsBuddy").toBool())
        label.setBuddy(&buddy);
}

Setup wrapped(const QString& text)
{
    return [text](QLabel& l) {
        l.setWordWrap(true);
        l.setText(text);
    };
}

Setup line(const QString& text)
{
    return [text](QLabel& l) { l.setText(text); };
}

Setup with(Setup first, Setup then)
{
    return [first, then](QLabel& l) {
        first(l);
        then(l);
    };
}

// A plain QLabel and a TextLabel, set up alike.
struct Alike
{
    explicit Alike(const Setup& setup)
    {
        apply(setup, plain, buddy);
        apply(setup, label, buddy);
    }
    QLineEdit buddy;
    QLabel plain;
    TextLabel label;
};

void compareWith(const QLabel& plain, const TextLabel& label)
{
    QCOMPARE(label.sizeHint(), plain.sizeHint());
    QCOMPARE(label.minimumSizeHint(), plain.minimumSizeHint());
    for (const int width : Widths)
        QCOMPARE(label.heightForWidth(width), plain.heightForWidth(width));
}

} // namespace

void TestTextLabel::measuresAsQLabel_data()
{
    QTest::addColumn<Setup>("setup");
    const auto row = [](const char* name, const Setup& setup) { QTest::newRow(name) << setup; };
    row("one line", line(QStringLiteral("Nombre de jours max pour le journal d'appels :")));
    row("one line, trailing spaces", line(QStringLiteral("Langue :   ")));
    row("one line, leading spaces", line(QStringLiteral("   T1")));
    row("one line, line breaks", line(QStringLiteral("first\nsecond\r\nthird")));
    row("empty", line(QString()));
    row("accented and symbols", line(QStringLiteral("Fermé > 70 € < 30 ½")));
    row("right to left", line(QStringLiteral("שלום עולם")));
    row("wrapped", wrapped(LongText));
    row("wrapped, short", wrapped(QStringLiteral("T2")));
    row("wrapped, empty", wrapped(QString()));
    row("wrapped, a word longer than any width",
        wrapped(QStringLiteral("Antidisestablishmentarianism") + QString(40, u'x')));
    row("wrapped, line breaks", wrapped(LongText + QStringLiteral("\n\n") + LongText));
    row("wrapped, trailing spaces", wrapped(LongText + QStringLiteral("     ")));
    row("wrapped, right to left", wrapped(QStringLiteral("שלום עולם ").repeated(12)));
    row("aligned right", with(wrapped(LongText), [](QLabel& l) {
            l.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }));
    row("aligned right, one line", with(line(QStringLiteral("Trav Compl")),
                                        [](QLabel& l) { l.setAlignment(Qt::AlignRight); }));
    row("aligned bottom", with(wrapped(LongText),
                               [](QLabel& l) { l.setAlignment(Qt::AlignLeft | Qt::AlignBottom); }));
    row("centred", with(wrapped(LongText), [](QLabel& l) { l.setAlignment(Qt::AlignCenter); }));
    row("right in a right-to-left widget", with(wrapped(LongText), [](QLabel& l) {
            l.setLayoutDirection(Qt::RightToLeft);
            l.setAlignment(Qt::AlignRight);
        }));
    row("margin and indent", with(wrapped(LongText), [](QLabel& l) {
            l.setMargin(7);
            l.setIndent(13);
        }));
    row("indent, aligned top", with(line(QStringLiteral("Service")), [](QLabel& l) {
            l.setIndent(11);
            l.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }));
    row("frame, no indent", with(wrapped(LongText), [](QLabel& l) {
            l.setFrameStyle(QFrame::Box | QFrame::Plain);
            l.setLineWidth(3);
        }));
    row("contents margins",
        with(wrapped(LongText), [](QLabel& l) { l.setContentsMargins(5, 9, 17, 3); }));
    row("minimum width", with(wrapped(LongText), [](QLabel& l) { l.setMinimumWidth(150); }));
    row("minimum size, one line",
        with(line(QStringLiteral("Satu")), [](QLabel& l) { l.setMinimumSize(90, 40); }));
    row("maximum width", with(wrapped(LongText), [](QLabel& l) { l.setMaximumWidth(120); }));
    row("bigger font", with(wrapped(LongText), [](QLabel& l) {
            QFont font = l.font();
            font.setPointSizeF(font.pointSizeF() * 1.7);
            l.setFont(font);
        }));
    row("bold font, one line", with(line(QStringLiteral("Application associée :")), [](QLabel& l) {
            QFont font = l.font();
            font.setBold(true);
            l.setFont(font);
        }));
    row("length variants", line(QStringLiteral("Nombre de jours max") + QChar(0x9C) + "Jours"));
    row("length variants, wrapped",
        wrapped(LongText + QChar(0x9C) + QStringLiteral("The supervisor password.")));
    row("shortcut with a buddy", with(line(QStringLiteral("&Langue :")),
                                      [](QLabel& l) { l.setProperty("wantsBuddy", true); }));
    row("wrapped, shortcut with a buddy",
        with(wrapped(QStringLiteral("The &supervisor password && the connection mode, set "
                                    "here for every agent")),
             [](QLabel& l) { l.setProperty("wantsBuddy", true); }));
    row("tabs", wrapped(QStringLiteral("a\tb\tc ") + LongText));
    // Measured by QLabel itself, through the same class.
    row("rich text", wrapped(QStringLiteral("<b>Bold</b> and ") + LongText));
    row("selectable", with(wrapped(LongText), [](QLabel& l) {
            l.setTextInteractionFlags(Qt::TextSelectableByMouse);
        }));
    row("justified", with(wrapped(LongText), [](QLabel& l) { l.setAlignment(Qt::AlignJustify); }));
}

void TestTextLabel::measuresAsQLabel()
{
    QFETCH(Setup, setup);
    const Alike labels(setup);
    compareWith(labels.plain, labels.label);
    compareWith(labels.plain, labels.label); // remembered, the same
}

void TestTextLabel::followsChange_data()
{
    // Whether QLabel measures its size hints again after the change; it
    // does not after a change of its minimum or maximum size.
    QTest::addColumn<bool>("hintsToo");
    QTest::addColumn<Setup>("change");
    const auto row = [](const char* name, bool hintsToo, const Setup& change) {
        QTest::newRow(name) << hintsToo << change;
    };
    row("text", true, [](QLabel& l) { l.setText(LongText + LongText); });
    row("font", true, [](QLabel& l) {
        QFont font = l.font();
        font.setPointSizeF(font.pointSizeF() * 2);
        l.setFont(font);
    });
    row("margin", true, [](QLabel& l) { l.setMargin(40); });
    row("indent", true, [](QLabel& l) { l.setIndent(90); });
    row("contents margins", true, [](QLabel& l) { l.setContentsMargins(60, 20, 60, 20); });
    row("word wrap off", true, [](QLabel& l) { l.setWordWrap(false); });
    row("style sheet", true, [](QLabel& l) {
        l.setStyleSheet(QStringLiteral("QLabel { font-size: 31px; padding: 9px; }"));
    });
    row("minimum width", false, [](QLabel& l) { l.setMinimumWidth(700); });
}

void TestTextLabel::followsChange()
{
    QFETCH(bool, hintsToo);
    QFETCH(Setup, change);
    Alike labels(wrapped(LongText));
    QLabel& plain = labels.plain;
    TextLabel& label = labels.label;
    compareWith(plain, label);
    const int before = plain.heightForWidth(200);
    change(plain);
    change(label);
    QVERIFY(plain.heightForWidth(200) != before); // the change does move the text
    for (const int width : Widths)
        QCOMPARE(label.heightForWidth(width), plain.heightForWidth(width));
    if (hintsToo) {
        QCOMPARE(label.sizeHint(), plain.sizeHint());
        QCOMPARE(label.minimumSizeHint(), plain.minimumSizeHint());
    }
}

void TestTextLabel::wrapsAtEveryWidth_data()
{
    // Wrapped text is broken into lines again for each width from one
    // shaping: every width, not only those a layout happens to ask for,
    // must give QLabel's height.
    QTest::addColumn<Setup>("setup");
    const auto row = [](const char* name, const Setup& setup) { QTest::newRow(name) << setup; };
    row("sentence", wrapped(LongText));
    row("accented",
        wrapped(QStringLiteral("Nombre de jours maximum à conserver dans le journal des "
                               "appels de l'opérateur, hors fériés : 365 ½")));
    row("symbols and other scripts",
        wrapped(QStringLiteral("Prix : 12,50 € — l’agent « Dupont » a dit… ½ © Ελληνικά "
                               "κείμενα, Русский текст, 中文字符 and an emoji 😀 to wrap")));
    row("right to left, digits of both kinds",
        wrapped(QStringLiteral("مرحبا بالعالم هذا نص عربي طويل للاختبار مع أرقام ١٢٣٤ و 5678 "
                               "وكلمات أخرى")));
    row("both directions, embedded and isolated",
        wrapped(QStringLiteral("Left to right \u202Bembedded עברית\u202C then \u2067isolated "
                               "عربي\u2069 and the end of the sentence")));
    row("line breaks", wrapped(QStringLiteral("first line\r\nsecond line that goes on\n\nfourth")));
    row("runs of spaces",
        wrapped(QStringLiteral("  leading  and   many    spaces  between  the words   ")));
    row("a word wider than the box",
        wrapped(QStringLiteral("Short words then Antidisestablishmentarianism and more")));
    row("aligned right",
        with(wrapped(LongText), [](QLabel& l) { l.setAlignment(Qt::AlignRight | Qt::AlignTop); }));
    row("aligned bottom", with(wrapped(LongText),
                               [](QLabel& l) { l.setAlignment(Qt::AlignLeft | Qt::AlignBottom); }));
    row("centred", with(wrapped(LongText), [](QLabel& l) { l.setAlignment(Qt::AlignCenter); }));
    row("bigger font", with(wrapped(LongText), [](QLabel& l) {
            QFont font = l.font();
            font.setPointSizeF(font.pointSizeF() * 1.45);
            l.setFont(font);
        }));
    row("margins and indent", with(wrapped(LongText), [](QLabel& l) {
            l.setMargin(3);
            l.setIndent(5);
            l.setContentsMargins(2, 1, 4, 0);
        }));
}

void TestTextLabel::wrapsAtEveryWidth()
{
    QFETCH(Setup, setup);
    const Alike labels(setup);
    const int widest = labels.plain.sizeHint().width() + 60;
    for (int width = 0; width <= widest; ++width)
        QCOMPARE(labels.label.heightForWidth(width), labels.plain.heightForWidth(width));
    QCOMPARE(labels.label.sizeHint(), labels.plain.sizeHint());
    QCOMPARE(labels.label.minimumSizeHint(), labels.plain.minimumSizeHint());
}

QTEST_MAIN(TestTextLabel)
#include "tst_textlabel.moc"
