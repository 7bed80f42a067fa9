#pragma once

#include <QList>
#include <QString>

// Language files and the lookup of the program's numbered texts.
//
// One language file per language lives in the program folder: Zor_Lg00.txt
// (French, the default), Zor_Lg01.txt and so on. A file is UTF-16 little-endian
// text with CRLF line ends, read as it stands (a byte-order mark is simply the
// first character). Its first line is never read; then come three sections:
//
//     any first line
//     [LANGID]
//     1=1036                  locale number of the language (required)
//     [LANG]
//     1=Français              name shown in the language list
//     [ZORCFG]
//     101=OK                  the texts, by number 0 to 1999
//
// The loaded file lives in the globals LanguageFilePath, LanguageText and
// LanguageTextUpper (Variables.h). Lookups of the loaded text use an index
// that is rebuilt whenever either text is replaced or changed.
namespace Languages {

// The bytes of a file taken as UTF-16 little-endian characters: maxBytes bytes
// when 0 < maxBytes <= the file's length, else the whole file. An odd last byte
// is dropped. A missing or unreadable file gives the empty text.
QString ReadFileText(const QString& path, qint32 maxBytes);

// The language file of language `language`: program folder + "Zor_Lg" + the
// number with at least two digits + ".txt", its name compared without regard
// to case.
QString LanguageFileFor(int language);
bool LanguageFileExists(int language);

// Loads the file of Parametres.Langue into LanguageFilePath, LanguageText and
// LanguageTextUpper. A missing file leaves an empty text: every lookup then
// gives its default.
void LoadLanguageFile();

// The value of `key` in `section` of `text`, searched in `upper`, its
// upper-case copy of the same length; `defaultValue` when there is none.
QString GetLangString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& text, const QString& upper);

// Text n mod 2000 (the remainder keeps the sign of n) of section ZORCFG of the
// loaded language; "*" when it is missing. Callers pass LanguageBase + n.
QString GetMessageText(qint16 n);

// The name of language n div 2000 (n = language number * 2000 + 1), read from
// the first 400 bytes of its file; the empty text when there is none.
QString GetLanguageName(qint16 n);

struct LanguageEntry
{
    QString name;
    int number;
};

// The languages whose files are present, numbers 0 to 16 in increasing order,
// each with a non-empty name.
QList<LanguageEntry> AvailableLanguages();

} // namespace Languages
