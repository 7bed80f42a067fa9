#include "Folders.h"
#include "Languages.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

// The language files the build lays in the program folder: each must give a
// real text for every number a window or a message uses.
class TestShippedTexts : public QObject
{
    Q_OBJECT

private:
    QList<int> m_numbers;

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void shippedLanguages();
    void everyNumberHasText_data();
    void everyNumberHasText();
    void fileForm_data();
    void fileForm();
};

namespace {

QList<int> readNumbers(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<int> numbers;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QStringList words = line.section(u'#', 0, 0).split(u' ', Qt::SkipEmptyParts);
        for (const QString& word : words)
            numbers.append(word.trimmed().toInt());
    }
    return numbers;
}

void addLanguageRows()
{
    QTest::addColumn<int>("langue");
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    for (const Languages::LanguageEntry& language : languages)
        QTest::newRow(qPrintable(language.name)) << language.number;
}

} // namespace

void TestShippedTexts::initTestCase()
{
    Folders::setProgramFolder(QStringLiteral(ZOR_PROGRAM_DIR));
    m_numbers = readNumbers(QStringLiteral(ZOR_TEXT_NUMBERS_FILE));
    QVERIFY(m_numbers.size() > 90);
    QVERIFY(m_numbers.contains(0));
    QVERIFY(m_numbers.contains(313));
    QVERIFY(m_numbers.contains(1288));
}

void TestShippedTexts::cleanupTestCase()
{
    Folders::setProgramFolder(QString());
    ResetGlobals();
}

// French is language 0, the default; English is language 1.
void TestShippedTexts::shippedLanguages()
{
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    QVERIFY(languages.size() >= 2);
    QCOMPARE(languages[0].number, 0);
    QCOMPARE(languages[0].name, QStringLiteral("Français"));
    QCOMPARE(languages[1].number, 1);
    QCOMPARE(languages[1].name, QStringLiteral("English"));
    const QStringList files =
        QDir(QStringLiteral(ZOR_PROGRAM_DIR)).entryList({"Zor_Lg*.txt"}, QDir::Files);
    QCOMPARE(files.size(), languages.size());
}

void TestShippedTexts::everyNumberHasText_data()
{
    addLanguageRows();
}

void TestShippedTexts::everyNumberHasText()
{
    QFETCH(int, langue);
    ResetGlobals();
    Parametres.Langue = langue;
    LanguageBase = static_cast<qint16>(langue * 2000);
    Languages::LoadLanguageFile();

    QStringList missing;
    for (int number : std::as_const(m_numbers)) {
        const QString text = Languages::GetMessageText(static_cast<qint16>(LanguageBase + number));
        if (text == u"*" || text.contains(u'*'))
            missing << QString::number(number);
    }
    QVERIFY2(missing.isEmpty(), qPrintable("no text for " + missing.join(u' ')));

    // Placeholders filled by the window.
    auto text = [](int n) {
        return Languages::GetMessageText(static_cast<qint16>(LanguageBase + n));
    };
    QVERIFY(text(239).contains(u"|1"));
    QVERIFY(!text(239).contains(u"|2"));
    QVERIFY(text(240).contains(u"|1"));
    QVERIFY(text(240).contains(u"|2"));
    QVERIFY(text(241).contains(u"|1"));
    QVERIFY(!text(241).contains(u"|2"));
    QVERIFY(text(313).contains(u"|1"));
}

void TestShippedTexts::fileForm_data()
{
    addLanguageRows();
}

// UTF-16LE with CRLF line ends, a first line of its own, the identification
// within the 400 bytes the language list reads, and only listed numbers.
void TestShippedTexts::fileForm()
{
    QFETCH(int, langue);
    QFile file(Languages::LanguageFileFor(langue));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size() % 2, 0);
    const QString text = Languages::ReadFileText(file.fileName(), 0);
    QVERIFY(bytes.startsWith("\xFF\xFE")); // byte-order mark, then the first line
    QCOMPARE(text.mid(1), QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()),
                                             bytes.size() / 2));
    QVERIFY(text.endsWith(u"\r\n"));
    QCOMPARE(text.count(u'\n'), text.count(u"\r\n"));
    QCOMPARE(text.count(u'\r'), text.count(u"\r\n"));
    QVERIFY(!text.startsWith(u'['));

    const QString head = Languages::ReadFileText(file.fileName(), 400);
    QVERIFY(head.contains(u"\r\n[LANGID]\r\n1="));
    QVERIFY(head.contains(u"\r\n[LANG]\r\n1="));

    const qsizetype texts = text.indexOf(u"\r\n[ZORCFG]\r\n");
    QVERIFY(texts > 0);
    const QString body = text.mid(texts + 12);
    QVERIFY2(!body.contains(u'['), "a \"[\" would end the section");
    QVERIFY(!body.contains(u'*'));
    const QStringList lines = body.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    static const QRegularExpression entry(QStringLiteral("^(0|[1-9][0-9]*)=\\S"));
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = entry.match(line);
        QVERIFY2(match.hasMatch(), qPrintable("not an entry: " + line));
        QVERIFY2(m_numbers.contains(match.captured(1).toInt()),
                 qPrintable("number not in the list: " + line));
    }
    QCOMPARE(lines.size(), QSet<int>(m_numbers.cbegin(), m_numbers.cend()).size());
}

QTEST_GUILESS_MAIN(TestShippedTexts)
#include "tst_shippedtexts.moc"
