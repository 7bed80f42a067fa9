#include "Folders.h"
#include "FormTranslator.h"
#include "LangLookup.h"
#include "Languages.h"
#include "Variables.h"

#include <QTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

const QString Star = u"*"_s;
const QString Original = u"original"_s;
const QString FormTexts = u"0=Zéro\r\n12=Douze\r\n13=Treize\r\n14=Quatorze\r\n800=Huit cents\r\n"_s;

// A well-formed start of a language file, up to the ZORCFG header; its first
// line is 18 characters long.
QString header(const QString& name = u"Test"_s)
{
    return "Test language file\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=" + name + "\r\n[ZORCFG]\r\n";
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

constexpr int Label = 0, GroupBox = 1, TextBox = 2, Button = 3; // the order of controls()

} // namespace

class TestLang : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;

    static QByteArray utf16(const QString& t) { return QStringEncoder(QStringEncoder::Utf16LE)(t); }
    template <class W> static W* tagged(W* w, const char* t) { return w->setProperty("Tag", t), w; }

    // Writes the text as the file of language `number` and loads it.
    void load(const QString& text, int number = 0)
    {
        QVERIFY(writeBytes(Languages::LanguageFileFor(number), utf16(text)));
        Parametres.Langue = number;
        LanguageBase = static_cast<qint16>(number * 2000);
        Languages::LoadLanguageFile();
    }

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        ResetGlobals();
        Folders::setProgramFolder(m_dir->path());
    }

    void lookup_data()
    {
        for (const char* column : {"text", "section", "key", "expected"})
            QTest::addColumn<QString>(column);
        auto row = [](const char* name, const QString& text, const QString& expected,
                      const QString& key = u"12"_s, const QString& section = u"ZORCFG"_s) {
            QTest::newRow(name) << text << section << key << expected;
        };
        const QString h = header();
        row("line feed alone loses a character", h + "12=Bonjour\n13=x\r\n", "Bonjou");
        row("blanks and tabs around", h + "12= \t Bon jour \t \r\n", "Bon jour");
        row("empty value is missing", h + "12=\r\n13=x\r\n", Star);
        row("value cut after a bracket", h + "12=a[b]c\r\n13=x\r\n", "a[");
        row("entry after a bracket lost", h + "12=a[b]c\r\n13=x\r\n", Star, "13");
        row("blank before equals", h + "12 =x\r\n", Star);
        row("leading zero", h + "012=x\r\n", Star);
        row("longer key ending alike", h + "112=y\r\n12=x\r\n", "x");
        row("first of two entries", h + "12=a\r\n12=b\r\n", "a");
        row("first of two sections", h + "13=a\r\n[ZORCFG]\r\n12=b\r\n", Star);
        row("keys ignore case", h + "Abc=x\r\n", "x", "aBC");
        row("upper case keeps positions", h + "11=Straße\r\n12=Größe\r\n", "Größe");
        row("header not at line start", h + " [OTHER]\r\n12=x\r\n", Star, "12", "OTHER");

        const QString rest = u"[ZORCFG]\r\n12=x\r\n"_s;
        row("LANGID on the first line", "[LANGID]\r\n1=1036\r\n" + rest, Star);
        row("no LANGID", "first\r\n" + rest, Star);
        row("LANGID number then letters", "first\r\n[LANGID]\r\n1=1036x\r\n" + rest, Star);
        row("LANGID one tab", "first\r\n[LANGID]\r\n1=\t-1036\r\n" + rest, "x");
    }

    // The plain scan, the index, and the loaded text with its index all agree.
    void lookup()
    {
        QFETCH(QString, text);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString upper = LangLookup::upperSameLength(text);
        QCOMPARE(LangLookup::scan(section, key, Star, text, upper), expected);
        QCOMPARE(LangLookup::Index(text, upper).lookup(section, key, Star), expected);
        load(text, 3);
        Languages::GetMessageText(0); // builds the loaded text's index
        QCOMPARE(Languages::GetLangString(section, key, Star, LanguageText, LanguageTextUpper),
                 expected);
    }

    void loadAndMessageNumbers()
    {
        load(header() + "116=cent seize\r\n-12=moins douze\r\n0=zéro\r\n767=Größe\r\n", 16);
        const QList<std::pair<int, QString>> messages = {
            {116, "cent seize"},    {32116, "cent seize"}, {2000, "zéro"}, {-12, "moins douze"},
            {-2012, "moins douze"}, {117, Star},           {-32768, Star}, {32767, "Größe"}};
        for (const auto& [n, expected] : messages)
            QCOMPARE(Languages::GetMessageText(static_cast<qint16>(n)), expected);

        // The index follows the loaded text however it changes.
        LanguageText[LanguageText.size() - 3] = u'x';
        LanguageTextUpper = LangLookup::upperSameLength(LanguageText);
        QCOMPARE(Languages::GetMessageText(767), u"Größx"_s);
    }

    void files_data()
    {
        QTest::addColumn<QByteArray>("bytes");   // the file of language 0
        QTest::addColumn<QStringList>("others"); // "file name:language name"
        QTest::addColumn<QString>("message12");
        QTest::addColumn<QStringList>("list"); // "number:language name"
        auto row = [](const char* name, const QByteArray& bytes, const QString& message12,
                      const QStringList& list, const QStringList& others = {}) {
            QTest::newRow(name) << bytes << others << message12 << list;
        };
        const QString entries = u"12=Bonjour\r\n13=x\r\n"_s;
        const QByteArray good = utf16(header("Bon") + entries);
        QByteArray noise(10'000'000, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);

        row("well formed", good, "Bonjour", {"0:Bon"});
        row("byte-order mark", "\xFF\xFE" + good, "Bonjour", {"0:Bon"});
        row("truncated in the header", good.left(31), Star, {});
        row("odd length", good.left(good.indexOf(utf16("\r\n13=")) - 5), "Bonj", {"0:Bon"});
        row("binary", noise, Star, {});
        row("no LANGID", utf16("first\r\n[LANG]\r\n1=Bon\r\n[ZORCFG]\r\n" + entries), Star, {});
        // The list reads 400 bytes: 200 characters.
        row("name cut at 400 bytes",
            utf16(QString(166, u'x') + header("Bonsoir").mid(18) + entries), "Bonjour", {"0:Bons"});
        row("name beyond 400 bytes", utf16(QString(200, u'x') + header("Bon").mid(18) + entries),
            "Bonjour", {});
        // Gaps allowed, any case, two digits, 0 to 16 only, a name.
        row("other languages", good, "Bonjour", {"0:Bon", "1:Un", "5:Cinq", "16:Seize"},
            {"zor_lg01.txt:Un", "ZOR_LG05.TXT:Cinq", "Zor_Lg003.txt:Trois", "Zor_Lg16.txt:Seize",
             "Zor_Lg07.txt:", "Zor_Lg17.txt:Dix-sept", "Zor_Lg20.txt:Vingt"});
    }

    // The file as language 0, then no file at all: defaults, never a crash.
    void files()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, others);
        QFETCH(QString, message12);
        QFETCH(QStringList, list);
        QVERIFY(writeBytes(Languages::LanguageFileFor(0), bytes));
        for (const QString& file : others)
            QVERIFY(writeBytes(m_dir->filePath(file.section(u':', 0, 0)),
                               utf16(header(file.section(u':', 1)) + "12=x\r\n")));
        Languages::LoadLanguageFile();
        QCOMPARE(Languages::GetMessageText(12), message12);
        QStringList found;
        for (const Languages::LanguageEntry& language : Languages::AvailableLanguages())
            found << QString::number(language.number) + u':' + language.name;
        QCOMPARE(found, list);
        QVERIFY(QFile::remove(Languages::LanguageFileFor(0)));
        Languages::LoadLanguageFile();
        QCOMPARE(Languages::GetMessageText(12), Star);
        QCOMPARE(Languages::GetLanguageName(1), QString());
    }

    void controls_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("tag");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shownToolTip");
        auto row = [](const char* name, int kind, const QVariant& tag, const QString& toolTip,
                      const QString& text, const QString& shownToolTip = QString()) {
            QTest::newRow(name) << kind << tag << toolTip << text << shownToolTip;
        };
        // Labels: strict numbers.
        row("label", Label, "12", "", "Douze");
        row("label empty Tag", Label, "", "", Original);
        row("label Tag 0", Label, "0", "", "Zéro");
        row("label number then letters", Label, "12abc", "", Original);
        row("label numbered tool tip", Label, "12", "13", "Douze", "Treize");
        row("label hexadecimal", Label, "&H0C", "", "Douze");
        row("label exponent", Label, "1.2E1", "", "Douze");
        row("label tool tip number then words", Label, "12", "13 help", "Douze", "13 help");
        // Every other kind: Val.
        row("button", Button, "12", "", "Douze");
        row("button Tag 0", Button, "0", "", Original);
        row("button number then letters", Button, "1 2abc", "", "Douze");
        row("button half to even, down", Button, "12.5", "", "Douze");
        row("button half to even, up", Button, "13.5", "", "Quatorze");
        row("button number beyond 16 bits", Button, "99999", "", Original);
        row("button hexadecimal", Button, "&H0C", "", "Douze");
        row("button exponent", Button, "1.2E1", "", "Douze");
        row("button tool tip number then words", Button, "", "13 items", Original, "Treize");
        row("button tool tip of words", Button, "", "Aide", Original, "Aide");
        row("group box", GroupBox, "12", "", "Douze");
        row("text box keeps its text", TextBox, "12", "13", Original, "Treize");
    }

    // One control of each kind; a label after them is translated whatever
    // happens to them.
    void controls()
    {
        QFETCH(int, kind);
        QFETCH(QVariant, tag);
        QFETCH(QString, toolTip);
        QFETCH(QString, text);
        QFETCH(QString, shownToolTip);
        load(header() + FormTexts);
        const auto textKey = [](QWidget* w) {
            return qobject_cast<QGroupBox*>(w) ? "title" : "text";
        };
        QWidget window;
        const QList<QWidget*> controls = {new QLabel(&window), new QGroupBox(&window),
                                          new QLineEdit(&window), new QPushButton(&window)};
        for (QWidget* widget : controls)
            widget->setProperty(textKey(widget), Original);
        QWidget* control = controls[kind];
        control->setProperty("Tag", tag); // an invalid QVariant: no Tag at all
        control->setProperty("ToolTipText", toolTip);
        control->setToolTip(toolTip);
        QLabel* after = tagged(new QLabel(Original, &window), "13");

        FormTranslator::TranslateForm(&window);
        QCOMPARE(control->property(textKey(control)).toString(), text);
        QCOMPARE(control->toolTip(), shownToolTip);
        QCOMPARE(control->property("ToolTipText").toString(), shownToolTip);
        QCOMPARE(after->text(), u"Treize"_s);
    }

    // Tabs, tab bars, list headers, menus and tool bars, translated twice; then
    // in language 16, whose base 32000 leaves no room for number 800.
    void compositeControls()
    {
        load(header() + FormTexts);
        QWidget window;
        window.setProperty("Tag", "14");
        auto* tabs = new QTabWidget(&window);
        tabs->setTabToolTip(tabs->addTab(tagged(new QWidget, "12"), Original), u"14"_s);
        tabs->setTabToolTip(tabs->addTab(tagged(new QWidget, "x"), Original), u"help"_s);
        QPushButton* inPage = tagged(new QPushButton(Original, tabs->widget(0)), "13");
        auto* bar = new QTabBar(&window);
        bar->setTabData(bar->addTab(Original), u"12"_s);
        bar->setTabToolTip(bar->addTab(Original), u"13"_s);
        auto* tree = new QTreeWidget(&window);
        tree->setHeaderLabels({"h0", "h1"});
        tree->headerItem()->setData(0, Qt::UserRole, u"12"_s);
        QMenu* menu = (new QMenuBar(&window))->addMenu(u"12"_s);
        QAction* open = menu->addAction(u"13"_s);
        QAction* tool = (new QToolBar(&window))->addAction(u"a"_s);
        tool->setToolTip(u"13"_s);
        QLabel* inDialog = tagged(new QLabel(Original, new QDialog(&window)), "12");
        QLabel* fits = tagged(new QLabel(Original, &window), "700");
        QLabel* tooFar = tagged(new QLabel(Original, &window), "800");

        FormTranslator::TranslateForm(&window);
        FormTranslator::TranslateForm(&window);
        const QTreeWidgetItem* head = tree->headerItem();
        QCOMPARE(window.windowTitle(), u"Quatorze"_s);
        QCOMPARE(tabs->tabText(0), u"Douze"_s);
        QCOMPARE(tabs->tabText(1), Original);
        QCOMPARE(tabs->tabToolTip(0), u"Quatorze"_s);
        QCOMPARE(tabs->tabToolTip(1), u"help"_s);
        QCOMPARE(inPage->text(), u"Treize"_s);
        QCOMPARE(bar->tabText(0), u"Douze"_s);
        QCOMPARE(bar->tabText(1), Original);
        QCOMPARE(bar->tabToolTip(1), u"Treize"_s);
        QCOMPARE(head->text(0), u"Douze"_s);
        QCOMPARE(head->text(1), u"h1"_s);
        QCOMPARE(menu->title(), u"Douze"_s);
        QCOMPARE(open->text(), u"Treize"_s);
        QCOMPARE(tool->toolTip(), u"Treize"_s);
        QCOMPARE(tool->text(), u"a"_s);
        QCOMPARE(inDialog->text(), Original);
        QCOMPARE(fits->text(), Star);
        QCOMPARE(tooFar->text(), u"Huit cents"_s);

        load(header() + "12=Twelve\r\n13=Thirteen\r\n14=Fourteen\r\n700=Seven hundred\r\n", 16);
        FormTranslator::TranslateForm(&window);
        QCOMPARE(window.windowTitle(), u"Fourteen"_s);
        QCOMPARE(tabs->tabText(0), u"Twelve"_s);
        QCOMPARE(inPage->text(), u"Thirteen"_s);
        QCOMPARE(head->text(0), u"Twelve"_s);
        QCOMPARE(fits->text(), u"Seven hundred"_s);
        QCOMPARE(tooFar->text(), u"Huit cents"_s);
    }

    // A language file whose name differs in case is the same file: it is
    // found, loaded and listed.
    void fileNameCase()
    {
        QVERIFY(
            writeBytes(m_dir->filePath(u"zor_lg05.txt"_s), utf16(header(u"Cinq"_s) + "12=x\r\n")));
        QVERIFY(Languages::LanguageFileExists(5));
        QCOMPARE(Languages::LanguageFileFor(5), m_dir->filePath(u"zor_lg05.txt"_s));
        Parametres.Langue = 5;
        Languages::LoadLanguageFile();
        QCOMPARE(Languages::GetMessageText(12), u"x"_s);
        QVERIFY(!Languages::LanguageFileExists(6));
    }

    // Text 119 heads the read failure of the agent files as well as the write
    // failures: every shipped language says both.
    void shippedText119_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("saved");
        QTest::newRow("French") << 0 << u"lire"_s << u"enregistrer"_s;
        QTest::newRow("English") << 1 << u"read"_s << u"saved"_s;
        QTest::newRow("German") << 2 << u"gelesen"_s << u"gespeichert"_s;
    }
    void shippedText119()
    {
        QFETCH(int, language);
        QFETCH(QString, read);
        QFETCH(QString, saved);
        Folders::setProgramFolder(QStringLiteral(ZOR_PROGRAM_DIR));
        Parametres.Langue = language;
        Languages::LoadLanguageFile();
        const QString text = Languages::GetMessageText(119);
        QVERIFY2(text.contains(read), qPrintable(text));
        QVERIFY2(text.contains(saved), qPrintable(text));
    }

    // Every number the program asks for has a real text in every shipped
    // language; CRLF line ends only, and no "[" among the texts.
    void shippedTexts()
    {
        Folders::setProgramFolder(QStringLiteral(ZOR_PROGRAM_DIR));
        QFile list(QStringLiteral(ZOR_TEXT_NUMBERS_FILE));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QStringList numbers = QString::fromUtf8(list.readAll())
                                        .remove(QRegularExpression(u"#[^\n]*"_s))
                                        .split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
        QVERIFY(numbers.size() > 90);
        const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
        QCOMPARE(
            languages.size(),
            QDir(QStringLiteral(ZOR_PROGRAM_DIR)).entryList({"Zor_Lg*.txt"}, QDir::Files).size());
        QVERIFY(languages.size() >= 2);
        QCOMPARE(languages[0].name, u"Français"_s);
        QCOMPARE(languages[1].name, u"English"_s);
        for (const Languages::LanguageEntry& language : languages) {
            Parametres.Langue = language.number;
            Languages::LoadLanguageFile();
            QStringList missing;
            for (const QString& number : numbers)
                if (Languages::GetMessageText(static_cast<qint16>(number.toInt())).contains(u'*'))
                    missing << number;
            QVERIFY2(missing.isEmpty(), qPrintable(language.name + ": " + missing.join(u' ')));
            const qsizetype texts = LanguageText.indexOf(u"\r\n[ZORCFG]\r\n");
            QVERIFY2(texts > 0, qPrintable(language.name));
            QVERIFY2(LanguageText.indexOf(u'[', texts + 3) < 0, qPrintable(language.name));
            QCOMPARE(LanguageText.count(u'\n'), LanguageText.count(u"\r\n"));
        }
    }
};

QTEST_MAIN(TestLang)
#include "tst_lang.moc"
