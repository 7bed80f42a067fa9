#include "Folders.h"
#include "LangLookup.h"
#include "LangTestFiles.h"
#include "Languages.h"
#include "Variables.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace LangTestFiles;

class TestLanguages : public QObject
{
    Q_OBJECT

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void removeFiles();
    // Writes the text as language file `number`, loads it as the current language.
    void load(const QString& text, int number = 0);

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void lookup_data();
    void lookup();
    void indexMatchesScanOnMixedTexts();
    void messageNumbers_data();
    void messageNumbers();
    void readFileText_data();
    void readFileText();
    void languageFileFor_data();
    void languageFileFor();
    void loadLanguageFile();
    void languageName_data();
    void languageName();
    void availableLanguages_data();
    void availableLanguages();
    void badFiles_data();
    void badFiles();
    void hugeFile();
    void indexFollowsText();
};

void TestLanguages::removeFiles()
{
    const QStringList files = QDir(m_dir.path()).entryList(QDir::Files);
    for (const QString& file : files)
        QFile::remove(path(file));
}

void TestLanguages::load(const QString& text, int number)
{
    QVERIFY(writeText(Languages::LanguageFileFor(number), text));
    Parametres.Langue = number;
    LanguageBase = static_cast<qint16>(number * 2000);
    Languages::LoadLanguageFile();
}

void TestLanguages::init()
{
    QVERIFY(m_dir.isValid());
    removeFiles();
    ResetGlobals();
    Folders::setProgramFolder(m_dir.path());
}

void TestLanguages::cleanupTestCase()
{
    Folders::setProgramFolder(QString());
    ResetGlobals();
}

void TestLanguages::lookup_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString h = header();
    const QString z = QStringLiteral("ZORCFG");
    auto row = [&](const char* name, const QString& text, const QString& key,
                   const QString& expected, const QString& section = QStringLiteral("ZORCFG")) {
        QTest::newRow(name) << text << section << key << expected;
    };
    const QString star = QStringLiteral("*");

    row("plain entry", h + "12=Bonjour\r\n13=Salut\r\n", "12", "Bonjour");
    row("next entry", h + "12=Bonjour\r\n13=Salut\r\n", "13", "Salut");
    row("last line without line end", h + "12=Bonjour", "12", "Bonjour");
    row("last line ending in CR alone keeps it", h + "12=Bonjour\r", "12", "Bonjour\r");
    row("line feed alone loses last character", h + "12=Bonjour\n13=x\r\n", "12", "Bonjou");
    row("one character and line feed alone", h + "12=B\n", "12", star);
    row("blanks and tabs around removed", h + "12= \t Bon jour \t \r\n", "12", "Bon jour");
    row("carriage return inside kept", h + "12=Bonjour\r\r\n", "12", "Bonjour\r");
    row("empty value is missing", h + "12=\r\n13=x\r\n", "12", star);
    row("blank value is missing", h + "12= \t \r\n", "12", star);
    row("nothing after equals at end", h + "12=", "12", star);
    row("key without equals at end", h + "12", "12", star);
    row("value with bracket is cut after it", h + "12=a[b]c\r\n13=x\r\n", "12", "a[");
    row("entry after a bracket is lost", h + "12=a[b]c\r\n13=x\r\n", "13", star);
    row("blank before equals", h + "12 =x\r\n", "12", star);
    row("leading zero", h + "012=x\r\n", "12", star);
    row("indented entry", h + " 12=x\r\n", "12", star);
    row("tab-indented entry", h + "\t12=x\r\n", "12", star);
    row("longer key ending alike", h + "112=y\r\n12=x\r\n", "12", "x");
    row("only a longer key", h + "112=y\r\n", "12", star);
    row("first of two entries", h + "12=a\r\n12=b\r\n", "12", "a");
    row("keys ignore case", h + "Abc=x\r\n", "aBC", "x");
    row("empty key", h + "=nothing\r\n", "", "nothing");
    row("key holding equals", h + "a=b=c\r\n", "a=b", "c");
    row("same-length upper case of sharp s", h + "11=Straße\r\n12=Größe\r\n", "12", "Größe");
    row("sharp s in key", h + "ß=eszett\r\n", "ß", "eszett");
    row("long key", h + QString(80, u'k') + "=long\r\n", QString(80, u'K'), "long");
    row("sections ignore case", header().replace(z, "zOrCfG") + "12=x\r\n", "12", "x");
    row("header not at line start", header().replace("\r\n[ZORCFG]", "\r\n [ZORCFG]") + "12=x",
        "12", star);
    row("text after header", header().replace("[ZORCFG]", "[ZORCFG] texts") + "12=x", "12", "x");
    row("only first section of a name", h + "13=a\r\n[ZORCFG]\r\n12=b\r\n", "12", star);
    row("entry of the next section", h + "[OTHER]\r\n12=x\r\n", "12", star);
    row("other section", h + "[OTHER]\r\n12=x\r\n", "12", "x", "OTHER");
    row("missing section", h + "12=x\r\n", "12", star, "NOPE");
    row("section holding a bracket", h + "[A]B]\r\n1=x\r\n", "1", "x", "A]B");
    row("language section", h, "1", "Test", "LANG");
    row("empty text", "", "12", star);

    const QString rest = QStringLiteral("[ZORCFG]\r\n12=x\r\n");
    auto id = [&](const QString& entry) { return "first\r\n[LANGID]\r\n" + entry + "\r\n" + rest; };
    row("LANGID on the first line is never read", "[LANGID]\r\n1=1036\r\n" + rest, "12", star);
    row("byte-order mark then LANGID on the first line",
        QChar(0xFEFF) + QStringLiteral("[LANGID]\r\n1=1036\r\n") + rest, "12", star);
    row("byte-order mark on a line of its own",
        QChar(0xFEFF) + QStringLiteral("\r\n[LANGID]\r\n1=1036\r\n") + rest, "12", "x");
    row("no LANGID", "first\r\n" + rest, "12", star);
    row("LANGID number", id("1=1036"), "12", "x");
    row("LANGID negative number", id("1=-5"), "12", "x");
    row("LANGID not a number", id("1=abc"), "12", star);
    row("LANGID number then letters", id("1=1036x"), "12", star);
    row("LANGID too large", id("1=99999999999"), "12", star);
    row("LANGID empty", id("1="), "12", star);
    row("LANGID one leading tab", id("1=\t1036"), "12", "x");
    row("LANGID two leading tabs", id("1=\t\t1036"), "12", star);
    row("LANGID blanks around", id("1=  1036  "), "12", "x");
    row("LANGID key 01", id("01=1036"), "12", star);
    row("LANGID key with blank", id("1 =1036"), "12", star);
    row("LANGID line feed alone", "first\r\n[LANGID]\r\n1=1036\n" + rest, "12", "x");
    row("LANGID entry after a bracket", id("x=[\r\n1=1036"), "12", star);
    row("LANGID in lower case", "first\r\n[langid]\r\n1=1036\r\n" + rest, "12", "x");
    row("LANGID with dotless i", "first\r\n[langıd]\r\n1=1036\r\n" + rest, "12", "x");
    row("LANGID header at the end", "first\r\n" + rest + "[LANGID]\r\n1=1036", "12", "x");
}

void TestLanguages::lookup()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString star = QStringLiteral("*");
    const QString upper = LangLookup::upperSameLength(text);
    QCOMPARE(upper.size(), text.size());

    QCOMPARE(LangLookup::scan(section, key, star, text, upper), expected);
    QCOMPARE(LangLookup::Index(text, upper).lookup(section, key, star), expected);

    // Through a file, the loaded text and its index.
    load(text);
    QCOMPARE(Languages::GetLangString(section, key, star, LanguageText, LanguageTextUpper),
             expected);
    bool numeric = false;
    const int number = key.toInt(&numeric);
    if (section == QStringLiteral("ZORCFG") && numeric && number >= 0 && number < 2000)
        QCOMPARE(Languages::GetMessageText(static_cast<qint16>(number)), expected);
}

// Texts made of the characters that matter to the search, in every order:
// the index must always give what the scan gives.
void TestLanguages::indexMatchesScanOnMixedTexts()
{
    const QStringList pieces = {"\r\n",   "\n",       "\r",     "[", "]",  "=",
                                "1",      "2",        "12",     " ", "\t", "[LANGID]",
                                "1=1036", "[ZORCFG]", "[LANG]", "a", "ß",  "x"};
    const QStringList sections = {"ZORCFG", "LANG", "LANGID", "", "A]", "zorcfg"};
    const QStringList keys = {"1", "12", "2", "", "a", "1=", "X"};
    QRandomGenerator random(20261205);
    for (int round = 0; round < 3000; ++round) {
        QString text = QStringLiteral("first\r\n[LANGID]\r\n1=7\r\n");
        if (round % 3 == 0)
            text.clear();
        const int count = random.bounded(1, 40);
        for (int i = 0; i < count; ++i)
            text += pieces[random.bounded(pieces.size())];
        const QString upper = LangLookup::upperSameLength(text);
        const LangLookup::Index index(text, upper);
        for (const QString& section : sections) {
            for (const QString& key : keys) {
                const QString scanned = LangLookup::scan(section, key, "?", text, upper);
                if (index.lookup(section, key, "?") != scanned)
                    QFAIL(qPrintable("index and scan differ on " + text + " / " + section + " / " +
                                     key));
            }
        }
    }
}

void TestLanguages::messageNumbers_data()
{
    QTest::addColumn<int>("langue");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");

    QTest::newRow("number of language 0") << 0 << 116 << "cent seize";
    QTest::newRow("base plus number, language 1") << 1 << 2116 << "cent seize";
    QTest::newRow("plain number, language 1") << 1 << 116 << "cent seize";
    QTest::newRow("base plus number, language 16") << 16 << 32116 << "cent seize";
    QTest::newRow("zero") << 0 << 0 << "zéro";
    QTest::newRow("2000 is entry 0") << 0 << 2000 << "zéro";
    QTest::newRow("negative keeps its sign") << 0 << -12 << "moins douze";
    QTest::newRow("negative remainder keeps its sign") << 0 << -2012 << "moins douze";
    QTest::newRow("missing number") << 0 << 117 << "*";
    QTest::newRow("lowest number") << 0 << -32768 << "*";
    QTest::newRow("highest number") << 0 << 32767 << "sept cent soixante-sept";
}

void TestLanguages::messageNumbers()
{
    QFETCH(int, langue);
    QFETCH(int, n);
    QFETCH(QString, expected);
    load(header() +
             "116=cent seize\r\n-12=moins douze\r\n0=zéro\r\n767=sept cent soixante-sept\r\n",
         langue);
    QCOMPARE(LanguageBase, qint16(langue * 2000));
    QCOMPARE(Languages::GetMessageText(static_cast<qint16>(n)), expected);
}

void TestLanguages::readFileText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");

    const QByteArray ab("A\0B\0", 4);
    QTest::newRow("whole file") << ab << 0 << "AB";
    QTest::newRow("first two bytes") << ab << 2 << "A";
    QTest::newRow("odd maximum") << ab << 3 << "A";
    QTest::newRow("maximum equal to the length") << ab << 4 << "AB";
    QTest::newRow("maximum above the length") << ab << 100 << "AB";
    QTest::newRow("negative maximum") << ab << -5 << "AB";
    QTest::newRow("odd length drops the last byte") << QByteArray("A\0B", 3) << 0 << "A";
    QTest::newRow("byte-order mark is a character") << QByteArray("\xFF\xFE"
                                                                  "A\0",
                                                                  4)
                                                    << 0 << QString(QChar(0xFEFF)) + "A";
    QTest::newRow("bytes taken as they are") << QByteArray("\0A", 2) << 0 << QString(QChar(0x4100));
    QTest::newRow("empty file") << QByteArray() << 0 << "";
}

void TestLanguages::readFileText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QVERIFY(writeBytes(path("file.txt"), bytes));
    QCOMPARE(Languages::ReadFileText(path("file.txt"), maxBytes), expected);
    QCOMPARE(Languages::ReadFileText(path("missing.txt"), maxBytes), QString());
}

void TestLanguages::languageFileFor_data()
{
    QTest::addColumn<int>("langue");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "Zor_Lg00.txt";
    QTest::newRow("3") << 3 << "Zor_Lg03.txt";
    QTest::newRow("16") << 16 << "Zor_Lg16.txt";
    QTest::newRow("123") << 123 << "Zor_Lg123.txt";
    QTest::newRow("-1") << -1 << "Zor_Lg-01.txt";
}

void TestLanguages::languageFileFor()
{
    QFETCH(int, langue);
    QFETCH(QString, name);
    QCOMPARE(Languages::LanguageFileFor(langue),
             QDir::toNativeSeparators(m_dir.path()) + QDir::separator() + name);
}

void TestLanguages::loadLanguageFile()
{
    const QString text = header() + "12=Größe\r\n";
    load(text, 2);
    QCOMPARE(LanguageFilePath, Languages::LanguageFileFor(2));
    QCOMPARE(LanguageText, text);
    QCOMPARE(LanguageTextUpper.size(), LanguageText.size());
    QCOMPARE(LanguageTextUpper, LangLookup::upperSameLength(text));
    QVERIFY(LanguageTextUpper.contains(QStringLiteral("GRÖßE")));
    QCOMPARE(Languages::GetMessageText(4012), QStringLiteral("Größe"));

    // A missing file: an empty text, every message "*".
    Parametres.Langue = 5;
    Languages::LoadLanguageFile();
    QCOMPARE(LanguageFilePath, Languages::LanguageFileFor(5));
    QVERIFY(LanguageText.isEmpty());
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("*"));
}

void TestLanguages::languageName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");

    const QString tail = QStringLiteral("12=x\r\n");
    QTest::newRow("language 0") << "Zor_Lg00.txt" << header("Français") + tail << 1 << "Français";
    QTest::newRow("language 2") << "Zor_Lg02.txt" << header("Deutsch") + tail << 4001 << "Deutsch";
    QTest::newRow("no file of that number") << "Zor_Lg01.txt" << header() + tail << 1 << "";
    QTest::newRow("lower-case file name")
        << "zor_lg03.txt" << header("Trois") + tail << 6001 << "Trois";
    QTest::newRow("upper-case file name")
        << "ZOR_LG04.TXT" << header("Quatre") + tail << 8001 << "Quatre";
    QTest::newRow("no LANGID") << "Zor_Lg00.txt" << QStringLiteral("first\r\n[LANG]\r\n1=Nom\r\n")
                               << 1 << "";
    QTest::newRow("empty name") << "Zor_Lg00.txt" << header("") + tail << 1 << "";
    QTest::newRow("other key of LANG")
        << "Zor_Lg00.txt" << header() + QStringLiteral("[LANG2]\r\n") << 2 << "";
    // Only the first 400 bytes are read: the name is cut at the 200th character.
    QTest::newRow("name cut at 400 bytes")
        << "Zor_Lg00.txt" << QString(166, u'x') + header("Français").mid(18) << 1 << "Fran";
    QTest::newRow("LANG beyond 400 bytes")
        << "Zor_Lg00.txt" << QString(200, u'x') + header("Français").mid(18) << 1 << "";
}

void TestLanguages::languageName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QVERIFY(writeText(path(fileName), text));
    QCOMPARE(Languages::GetLanguageName(static_cast<qint16>(n)), expected);
}

void TestLanguages::availableLanguages_data()
{
    QTest::addColumn<QStringList>("files"); // "name" or "name:language name"
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("numbers");

    QTest::newRow("none") << QStringList() << QStringList() << QList<int>();
    QTest::newRow("0 and 5 without 1 to 4") << QStringList{"Zor_Lg05.txt:Cinq", "Zor_Lg00.txt:Zéro"}
                                            << QStringList{"Zéro", "Cinq"} << QList<int>{0, 5};
    QTest::newRow("16 listed, 17 and 20 not")
        << QStringList{"Zor_Lg16.txt:Seize", "Zor_Lg17.txt:Dix-sept", "Zor_Lg20.txt:Vingt"}
        << QStringList{"Seize"} << QList<int>{16};
    QTest::newRow("empty name not listed")
        << QStringList{"Zor_Lg00.txt:", "Zor_Lg01.txt:Un"} << QStringList{"Un"} << QList<int>{1};
    QTest::newRow("file names in any case") << QStringList{"zor_lg01.txt:Un", "ZOR_LG02.TXT:Deux"}
                                            << QStringList{"Un", "Deux"} << QList<int>{1, 2};
    QTest::newRow("three-digit name not a language")
        << QStringList{"Zor_Lg001.txt:Un"} << QStringList() << QList<int>();
}

void TestLanguages::availableLanguages()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, numbers);
    for (const QString& file : files) {
        const QStringList parts = file.split(u':');
        QVERIFY(writeText(path(parts[0]), header(parts[1]) + "12=x\r\n"));
    }
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    QStringList foundNames;
    QList<int> foundNumbers;
    for (const Languages::LanguageEntry& language : languages) {
        foundNames << language.name;
        foundNumbers << language.number;
    }
    QCOMPARE(foundNames, names);
    QCOMPARE(foundNumbers, numbers);
}

void TestLanguages::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message12");
    QTest::addColumn<QString>("name");

    const QByteArray good = utf16(header("Bon") + "12=Bonjour\r\n13=x\r\n");
    const qsizetype valueEnd = good.indexOf(utf16("\r\n13="));
    QTest::newRow("well formed") << good << "Bonjour"
                                 << "Bon";
    QTest::newRow("byte-order mark") << QByteArray("\xFF\xFE", 2) + good << "Bonjour"
                                     << "Bon";
    QTest::newRow("truncated in the header") << good.left(31) << "*"
                                             << "";
    QTest::newRow("truncated in a value") << good.left(valueEnd - 6) << "Bonj"
                                          << "Bon";
    QTest::newRow("truncated in a character") << good.left(valueEnd - 5) << "Bonj"
                                              << "Bon";
    QTest::newRow("odd length") << good + QByteArray(1, 'Z') << "Bonjour"
                                << "Bon";
    QTest::newRow("shifted by one byte") << QByteArray(1, '\0') + good << "*"
                                         << "";
    QTest::newRow("UTF-8 instead of UTF-16") << (header("Bon") + "12=Bonjour\r\n").toUtf8() << "*"
                                             << "";
    QTest::newRow("big-endian UTF-16") << QByteArray(1, '\0') + good.left(good.size() - 1) << "*"
                                       << "";
    QTest::newRow("empty") << QByteArray() << "*"
                           << "";
    QTest::newRow("only zero bytes") << QByteArray(4096, '\0') << "*"
                                     << "";

    QRandomGenerator random(42);
    QByteArray noise(1 << 16, Qt::Uninitialized);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    QTest::newRow("binary") << noise << "*"
                            << "";
    QTest::newRow("binary after a good entry") << good.left(valueEnd + 4) + noise << "Bonjour"
                                               << "Bon";
}

void TestLanguages::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message12);
    QFETCH(QString, name);
    QVERIFY(writeBytes(Languages::LanguageFileFor(0), bytes));
    Languages::LoadLanguageFile();
    QCOMPARE(Languages::GetMessageText(12), message12);
    QCOMPARE(Languages::GetLanguageName(1), name);
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    QCOMPARE(languages.size(), name.isEmpty() ? 0 : 1);

    QVERIFY(QFile::remove(Languages::LanguageFileFor(0)));
    Languages::LoadLanguageFile();
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("*"));
    QCOMPARE(Languages::GetLanguageName(1), QString());
}

// A 10 MB file: many entries before the one asked for, and 10 MB of noise.
void TestLanguages::hugeFile()
{
    QString text = header("Gros");
    text.reserve(5 * 1024 * 1024 + 64);
    for (int i = 2000; text.size() < 5 * 1024 * 1024; ++i)
        text += QString::number(i) + QStringLiteral("=filler text of entry ") + QString::number(i) +
                QStringLiteral("\r\n");
    text += QStringLiteral("12=the end");
    load(text);
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("the end"));
    QCOMPARE(Languages::GetMessageText(13), QStringLiteral("*"));
    QCOMPARE(Languages::GetLanguageName(1), QStringLiteral("Gros"));

    QRandomGenerator random(7);
    QByteArray noise(10 * 1024 * 1024, Qt::Uninitialized);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    QVERIFY(writeBytes(Languages::LanguageFileFor(0), noise));
    Languages::LoadLanguageFile();
    QCOMPARE(LanguageText.size(), noise.size() / 2);
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("*"));
    QCOMPARE(Languages::GetLanguageName(1), QString());
}

// The loaded text's index is rebuilt whenever the text changes, however it
// changes.
void TestLanguages::indexFollowsText()
{
    load(header() + "12=Bonjour\r\n");
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("Bonjour"));

    LanguageText.replace(QStringLiteral("Bonjour"), QStringLiteral("Salut"));
    LanguageTextUpper = LangLookup::upperSameLength(LanguageText);
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("Salut"));

    LanguageText[LanguageText.size() - 3] = u'x'; // in place, same length
    LanguageTextUpper = LangLookup::upperSameLength(LanguageText);
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("Salux"));

    LanguageText = header() + "12=Hello\r\n";
    LanguageTextUpper = LangLookup::upperSameLength(LanguageText);
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("Hello"));

    // An upper-case copy of another length: positions of the scan, as given.
    LanguageText = header() + "11=ß\r\n12=Hello\r\n";
    LanguageTextUpper = LanguageText.toUpper();
    QCOMPARE(Languages::GetMessageText(12), LangLookup::scan(u"ZORCFG", u"12", QStringLiteral("*"),
                                                             LanguageText, LanguageTextUpper));

    LanguageText.clear();
    LanguageTextUpper.clear();
    QCOMPARE(Languages::GetMessageText(12), QStringLiteral("*"));
}

QTEST_GUILESS_MAIN(TestLanguages)
#include "tst_languages.moc"
