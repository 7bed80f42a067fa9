#include "Folders.h"
#include "FormTranslator.h"
#include "LangTestFiles.h"
#include "Languages.h"
#include "Variables.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

using namespace LangTestFiles;

namespace {

const QString Design = QStringLiteral("design");

// A widget of the named kind showing the design text.
QWidget* makeControl(const QString& kind, QWidget* parent)
{
    if (kind == u"label")
        return new QLabel(Design, parent);
    if (kind == u"button")
        return new QPushButton(Design, parent);
    if (kind == u"checkbox")
        return new QCheckBox(Design, parent);
    if (kind == u"radio")
        return new QRadioButton(Design, parent);
    if (kind == u"groupbox")
        return new QGroupBox(Design, parent);
    if (kind == u"lineedit")
        return new QLineEdit(Design, parent);
    return nullptr;
}

QString shownText(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return QString();
}

// What a window's code does for a control: the numbers in the properties, the
// tool tip shown as designed.
void setNumbers(QWidget* widget, const QVariant& tag, const QString& toolTip)
{
    if (tag.isValid())
        widget->setProperty("Tag", tag);
    if (!toolTip.isEmpty()) {
        widget->setProperty("ToolTipText", toolTip);
        widget->setToolTip(toolTip);
    }
}

} // namespace

class TestFormTranslator : public QObject
{
    Q_OBJECT

private:
    void useLanguage(int number, const QString& entries);

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void controls_data();
    void controls();
    void windowTitle_data();
    void windowTitle();
    void entryZero();
    void languageBaseOverflow();
    void tabWidget();
    void tabBar();
    void treeHeader();
    void menus();
    void toolBar();
    void childWindowsAndCompositeWidgets();
    void translatingTwice();
};

void TestFormTranslator::useLanguage(int number, const QString& entries)
{
    QVERIFY(writeText(Languages::LanguageFileFor(number), header() + entries));
    Parametres.Langue = number;
    LanguageBase = static_cast<qint16>(number * 2000);
    Languages::LoadLanguageFile();
}

void TestFormTranslator::init()
{
    QVERIFY(m_dir.isValid());
    ResetGlobals();
    Folders::setProgramFolder(m_dir.path());
    useLanguage(0, "12=Douze\r\n13=Treize\r\n14=Quatorze\r\n");
}

void TestFormTranslator::cleanupTestCase()
{
    Folders::setProgramFolder(QString());
    ResetGlobals();
}

void TestFormTranslator::controls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("tag");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownToolTip");

    auto row = [](const char* name, const char* kind, const QVariant& tag, const QString& toolTip,
                  const QString& text, const QString& shownToolTip) {
        QTest::newRow(name) << QString::fromLatin1(kind) << tag << toolTip << text << shownToolTip;
    };
    const QVariant none;
    // Labels: strict numbers.
    row("label", "label", "12", "", "Douze", "");
    row("label without Tag", "label", none, "", Design, "");
    row("label with empty Tag", "label", "", "", Design, "");
    row("label number not in the file", "label", "99", "", "*", "");
    row("label number then letters", "label", "12abc", "", Design, "");
    row("label number with blanks", "label", " 12 ", "", "Douze", "");
    row("label negative number", "label", "-12", "", "*", "");
    row("label number beyond 16 bits", "label", "40000", "", Design, "");
    row("label number with decimals", "label", "12.5", "", "Douze", "");
    row("label numbered tool tip", "label", "12", "13", "Douze", "Treize");
    row("label tool tip of words", "label", "12", "Some help", "Douze", "Some help");
    row("label tool tip number then words", "label", "12", "13 help", "Douze", "13 help");
    row("label tool tip without Tag", "label", none, "13", Design, "Treize");
    // Every other kind: Val.
    row("button", "button", "12", "", "Douze", "");
    row("button Tag 0", "button", "0", "", Design, "");
    row("button empty Tag", "button", "", "", Design, "");
    row("button without Tag", "button", none, "", Design, "");
    row("button number then letters", "button", "12abc", "", "Douze", "");
    row("button blanks inside the number", "button", "1 2", "", "Douze", "");
    row("button half rounds to even, down", "button", "12.5", "", "Douze", "");
    row("button half rounds to even, up", "button", "13.5", "", "Quatorze", "");
    row("button fraction rounds", "button", "12.6", "", "Treize", "");
    row("button negative number", "button", "-12", "", Design, "");
    row("button number beyond 16 bits", "button", "99999", "", Design, "");
    row("button letters only", "button", "abc", "", Design, "");
    row("button number as integer property", "button", 13, "", "Treize", "");
    row("button numbered tool tip", "button", "12", "13", "Douze", "Treize");
    row("button tool tip number then words", "button", "12", "13 items", "Douze", "Treize");
    row("button tool tip 0", "button", "12", "0", "Douze", "0");
    row("button tool tip of words", "button", "12", "Aide", "Douze", "Aide");
    row("check box", "checkbox", "14", "", "Quatorze", "");
    row("option button", "radio", "13", "14", "Treize", "Quatorze");
    row("group box", "groupbox", "12", "", "Douze", "");
    row("text box keeps its text", "lineedit", "12", "", Design, "");
    row("text box tool tip", "lineedit", "12", "13", Design, "Treize");
}

// The control under test stands between two others, which are translated
// whatever happens to it.
void TestFormTranslator::controls()
{
    QFETCH(QString, kind);
    QFETCH(QVariant, tag);
    QFETCH(QString, toolTip);
    QFETCH(QString, text);
    QFETCH(QString, shownToolTip);

    QWidget window;
    auto* before = new QLabel(Design, &window);
    before->setProperty("Tag", "13");
    QWidget* control = makeControl(kind, &window);
    QVERIFY(control);
    setNumbers(control, tag, toolTip);
    auto* after = new QPushButton(Design, &window);
    after->setProperty("Tag", "14");

    FormTranslator::TranslateForm(&window);

    QCOMPARE(shownText(control), text);
    QCOMPARE(control->toolTip(), shownToolTip);
    QCOMPARE(control->property("ToolTipText").toString(), shownToolTip);
    QCOMPARE(before->text(), QStringLiteral("Treize"));
    QCOMPARE(after->text(), QStringLiteral("Quatorze"));
}

void TestFormTranslator::windowTitle_data()
{
    QTest::addColumn<QVariant>("tag");
    QTest::addColumn<QString>("title");
    QTest::newRow("number") << QVariant("13") << "Treize";
    QTest::newRow("no Tag") << QVariant() << Design;
    QTest::newRow("empty Tag") << QVariant("") << Design;
    QTest::newRow("letters") << QVariant("abc") << Design;
    QTest::newRow("number then letters") << QVariant("13abc") << Design;
    QTest::newRow("missing number") << QVariant("0") << "*";
}

void TestFormTranslator::windowTitle()
{
    QFETCH(QVariant, tag);
    QFETCH(QString, title);
    QWidget window;
    window.setWindowTitle(Design);
    if (tag.isValid())
        window.setProperty("Tag", tag);
    auto* label = new QLabel(Design, &window);
    label->setProperty("Tag", "12");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(label->text(), QStringLiteral("Douze"));
}

void TestFormTranslator::entryZero()
{
    QWidget window;
    auto* label = new QLabel(Design, &window);
    label->setProperty("Tag", "0");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(label->text(), QStringLiteral("*"));

    useLanguage(0, "0=Zéro\r\n");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(label->text(), QStringLiteral("Zéro"));
}

// Language 16 has the base 32000: numbers that push the sum past 32767 are
// skipped.
void TestFormTranslator::languageBaseOverflow()
{
    useLanguage(16, "700=Sept cents\r\n12=Douze\r\n");
    QWidget window;
    window.setWindowTitle(Design);
    window.setProperty("Tag", "800");
    auto* fits = new QLabel(Design, &window);
    fits->setProperty("Tag", "700");
    auto* tooFar = new QLabel(Design, &window);
    tooFar->setProperty("Tag", "800");
    auto* button = new QPushButton(Design, &window);
    button->setProperty("Tag", "800");
    auto* last = new QPushButton(Design, &window);
    last->setProperty("Tag", "12");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(window.windowTitle(), Design);
    QCOMPARE(fits->text(), QStringLiteral("Sept cents"));
    QCOMPARE(tooFar->text(), Design);
    QCOMPARE(button->text(), Design);
    QCOMPARE(last->text(), QStringLiteral("Douze"));
}

void TestFormTranslator::tabWidget()
{
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    const QStringList tags = {"12", "13", "", "x"};
    const QStringList tips = {"14", "help", "", "13"};
    QPushButton* inside = nullptr;
    for (int i = 0; i < tags.size(); ++i) {
        auto* page = new QWidget;
        page->setProperty("Tag", tags[i]);
        if (i == 0) {
            inside = new QPushButton(Design, page);
            inside->setProperty("Tag", "13");
        }
        tabs->addTab(page, Design);
        tabs->setTabToolTip(i, tips[i]);
    }
    FormTranslator::TranslateForm(&window);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Douze"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Treize"));
    QCOMPARE(tabs->tabText(2), Design);
    QCOMPARE(tabs->tabText(3), Design);
    QCOMPARE(tabs->tabToolTip(0), QStringLiteral("Quatorze"));
    QCOMPARE(tabs->tabToolTip(1), QStringLiteral("help"));
    QCOMPARE(tabs->tabToolTip(2), QString());
    QCOMPARE(tabs->tabToolTip(3), QStringLiteral("Treize"));
    QCOMPARE(inside->text(), QStringLiteral("Treize"));
}

void TestFormTranslator::tabBar()
{
    QWidget window;
    auto* bar = new QTabBar(&window);
    bar->addTab(Design);
    bar->addTab(Design);
    bar->addTab(Design);
    bar->setTabData(0, QStringLiteral("12"));
    bar->setTabData(1, QStringLiteral("12 x"));
    bar->setTabToolTip(0, QStringLiteral("help"));
    bar->setTabToolTip(2, QStringLiteral("13"));
    FormTranslator::TranslateForm(&window);
    QCOMPARE(bar->tabText(0), QStringLiteral("Douze"));
    QCOMPARE(bar->tabText(1), Design);
    QCOMPARE(bar->tabText(2), Design);
    QCOMPARE(bar->tabToolTip(0), QStringLiteral("help"));
    QCOMPARE(bar->tabToolTip(2), QStringLiteral("Treize"));
}

void TestFormTranslator::treeHeader()
{
    QWidget window;
    auto* tree = new QTreeWidget(&window);
    tree->setHeaderLabels({"h0", "h1", "h2", "h3"});
    tree->headerItem()->setData(0, Qt::UserRole, QStringLiteral("12"));
    tree->headerItem()->setData(2, Qt::UserRole, QStringLiteral("abc"));
    tree->headerItem()->setData(3, Qt::UserRole, QStringLiteral("14"));
    FormTranslator::TranslateForm(&window);
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Douze"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("h1"));
    QCOMPARE(tree->headerItem()->text(2), QStringLiteral("h2"));
    QCOMPARE(tree->headerItem()->text(3), QStringLiteral("Quatorze"));
}

void TestFormTranslator::menus()
{
    QWidget window;
    auto* bar = new QMenuBar(&window);
    QMenu* file = bar->addMenu(QStringLiteral("12"));
    QAction* open = file->addAction(QStringLiteral("13"));
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit"));
    QMenu* more = file->addMenu(QStringLiteral("14"));
    QAction* deep = more->addAction(QStringLiteral("12"));
    QMenu* words = bar->addMenu(QStringLiteral("Edit"));
    FormTranslator::TranslateForm(&window);
    QCOMPARE(file->title(), QStringLiteral("Douze"));
    QCOMPARE(open->text(), QStringLiteral("Treize"));
    QCOMPARE(quit->text(), QStringLiteral("Quit"));
    QCOMPARE(more->title(), QStringLiteral("Quatorze"));
    QCOMPARE(deep->text(), QStringLiteral("Douze"));
    QCOMPARE(words->title(), QStringLiteral("Edit"));
}

void TestFormTranslator::toolBar()
{
    QWidget window;
    auto* bar = new QToolBar(&window);
    QAction* numbered = bar->addAction(QStringLiteral("a"));
    numbered->setToolTip(QStringLiteral("13"));
    bar->addSeparator();
    QAction* worded = bar->addAction(QStringLiteral("b"));
    worded->setToolTip(QStringLiteral("Save"));
    FormTranslator::TranslateForm(&window);
    QCOMPARE(numbered->toolTip(), QStringLiteral("Treize"));
    QCOMPARE(numbered->text(), QStringLiteral("a"));
    QCOMPARE(worded->toolTip(), QStringLiteral("Save"));
}

// Another window parented to this one keeps its texts; widgets made of
// other widgets take no harm from carrying numbers.
void TestFormTranslator::childWindowsAndCompositeWidgets()
{
    QWidget window;
    auto* dialog = new QDialog(&window);
    auto* dialogLabel = new QLabel(Design, dialog);
    dialogLabel->setProperty("Tag", "12");
    auto* combo = new QComboBox(&window);
    combo->setEditable(true);
    combo->setProperty("Tag", "12");
    combo->addItem(Design);
    auto* spin = new QSpinBox(&window);
    spin->setProperty("Tag", "13");
    spin->setProperty("ToolTipText", "14");
    auto* label = new QLabel(Design, &window);
    label->setProperty("Tag", "12");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(dialogLabel->text(), Design);
    QCOMPARE(combo->currentText(), Design);
    QCOMPARE(spin->toolTip(), QStringLiteral("Quatorze"));
    QCOMPARE(label->text(), QStringLiteral("Douze"));
    FormTranslator::TranslateForm(nullptr);
}

// The numbers stay in the properties: a second translation, in the same or
// another language, starts from them again.
void TestFormTranslator::translatingTwice()
{
    QWidget window;
    window.setProperty("Tag", "14");
    auto* label = new QLabel(Design, &window);
    label->setProperty("Tag", "12");
    label->setProperty("ToolTipText", "Help words");
    label->setToolTip(QStringLiteral("Help words"));
    auto* box = new QCheckBox(Design, &window);
    box->setProperty("Tag", "13");
    auto* tabs = new QTabWidget(&window);
    auto* page = new QWidget;
    page->setProperty("Tag", "12");
    tabs->addTab(page, Design);

    FormTranslator::TranslateForm(&window);
    FormTranslator::TranslateForm(&window);
    QCOMPARE(window.windowTitle(), QStringLiteral("Quatorze"));
    QCOMPARE(label->text(), QStringLiteral("Douze"));
    QCOMPARE(label->toolTip(), QStringLiteral("Help words"));
    QCOMPARE(box->text(), QStringLiteral("Treize"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Douze"));

    useLanguage(1, "12=Twelve\r\n13=Thirteen\r\n14=Fourteen\r\n");
    FormTranslator::TranslateForm(&window);
    QCOMPARE(window.windowTitle(), QStringLiteral("Fourteen"));
    QCOMPARE(label->text(), QStringLiteral("Twelve"));
    QCOMPARE(box->text(), QStringLiteral("Thirteen"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Twelve"));
}

QTEST_MAIN(TestFormTranslator)
#include "tst_formtranslator.moc"
