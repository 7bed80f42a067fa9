#include "Languages.h"

#include "Conversions.h"
#include "Folders.h"
#include "LangLookup.h"
#include "Variables.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <optional>

namespace {

constexpr qint16 MessageRange = 2000;
constexpr qint32 NameBytes = 400; // the language list reads only this much of a file
constexpr int HighestListed = 99;

QString languageFileName(qint64 language)
{
    return QStringLiteral("Zor_Lg") + Conversions::padded(language, 2) + QStringLiteral(".txt");
}

// The index of the loaded language text.
std::optional<LangLookup::Index>& loadedIndex()
{
    static std::optional<LangLookup::Index> index;
    return index;
}

const LangLookup::Index& indexOfLoadedText()
{
    std::optional<LangLookup::Index>& index = loadedIndex();
    if (!index || !index->isFor(LanguageText, LanguageTextUpper))
        index.emplace(LanguageText, LanguageTextUpper);
    return *index;
}

} // namespace

namespace Languages {

QString ReadFileText(const QString& path, qint32 maxBytes)
{
    QFile file(Folders::localPath(path));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const qint64 length = file.size();
    const qint64 wanted = maxBytes > 0 && maxBytes <= length ? maxBytes : length;
    const QByteArray bytes = file.read(wanted);
    const qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes.constData(), units, text.data());
    return text;
}

QString LanguageFileFor(int language)
{
    return Folders::programFile(languageFileName(language));
}

bool LanguageFileExists(int language)
{
    return QFileInfo(LanguageFileFor(language)).isFile();
}

void LoadLanguageFile()
{
    LanguageFilePath = LanguageFileFor(Parametres.Langue);
    LanguageText = ReadFileText(LanguageFilePath, 0);
    LanguageTextUpper = LangLookup::upperSameLength(LanguageText);
}

QString GetLangString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& text, const QString& upper)
{
    const std::optional<LangLookup::Index>& index = loadedIndex();
    if (index && index->isFor(text, upper))
        return index->lookup(section, key, defaultValue);
    return LangLookup::scan(section, key, defaultValue, text, upper);
}

QString GetMessageText(qint16 n)
{
    // The key, n mod 2000 in decimal, written on the stack: this runs for
    // every text the program shows.
    char16_t digits[8];
    qsizetype start = 8;
    int rest = n % MessageRange;
    const bool negative = rest < 0;
    rest = qAbs(rest);
    do {
        digits[--start] = char16_t(u'0' + rest % 10);
        rest /= 10;
    } while (rest > 0);
    if (negative)
        digits[--start] = u'-';
    const QStringView key(digits + start, 8 - start);
    return indexOfLoadedText().lookup(u"ZORCFG", key, QStringLiteral("*"));
}

namespace {

// The name GetLanguageName looks the language file of n up by.
QString nameLookedUp(qint16 n)
{
    return QStringLiteral("zor_lg") + Conversions::padded(n / MessageRange, 2) +
           QStringLiteral(".txt");
}

// The language name entry of n in the file at path.
QString languageNameIn(const QString& path, qint16 n)
{
    const QString text = ReadFileText(path, NameBytes);
    return LangLookup::scan(QStringLiteral("LANG"), QString::number(n % MessageRange), QString(),
                            text, LangLookup::upperSameLength(text));
}

} // namespace

QString GetLanguageName(qint16 n)
{
    return languageNameIn(Folders::programFile(nameLookedUp(n)), n);
}

QList<LanguageEntry> AvailableLanguages()
{
    // The program folder is listed once and each language file found in
    // that list, as GetLanguageName would find it.
    const QString folder = Folders::programFolder();
    const QStringList names = Folders::fileNames(folder);
    QSet<QString> present;
    for (const QString& entry : names)
        present.insert(entry.toLower());
    QList<LanguageEntry> languages;
    for (int number = 0; number <= HighestListed; ++number) {
        if (number * MessageRange + 1 > 32767)
            continue; // the language's base does not fit 16 bits
        if (!present.contains(languageFileName(number).toLower()))
            continue;
        const auto n = static_cast<qint16>(number * MessageRange + 1);
        const QString name =
            languageNameIn(Folders::fileIgnoringCase(folder, nameLookedUp(n), names), n);
        if (!name.isEmpty())
            languages.append({name, number});
    }
    return languages;
}

} // namespace Languages
