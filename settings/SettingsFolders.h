#pragma once

#include "Conversions.h"
#include "IniFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where the settings files are, and the one way every settings key is read.
namespace SettingsFolders {

// The path with "\" appended unless it already ends with one.
QString AddBackslash(const QString& path);

// The value in an INI read buffer: cut before its first NUL, without
// surrounding spaces. The buffer itself is left trimmed of spaces.
QByteArray TrimIniValue(QByteArray& buffer);

// The text without surrounding spaces; tabs and other blanks stay.
QString TrimSpaces(QStringView text);

// The per-user application-data folder with a trailing separator, or empty.
// Outside Windows the whole path of the folder is created when missing: a
// fresh account may have no ~/.config yet.
QString GetAppDataFolder();

#ifdef Q_OS_WIN
QString ReadRegString(void* rootKey, const QString& keyPath, const QString& valueName);
#endif

// The settings file to use: folder base + sub, created and filled from the
// source folder's copy when missing; source + file when anything fails.
QString ResolveIniFile(const QString& file, const QString& sub, const QString& source,
                       const QString& base, bool createIfMissing);

// The INI read convention: IniBuffer set to 255 spaces, the private-profile
// read into it, and TrimIniValue of the buffer.
QByteArray ReadIniValue(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue,
                        const QString& path);

// The INI write convention for a single key, for callers that go on silently
// when it fails.
IniFile::WriteResult WriteIniValue(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                   const QString& path);

// The keys one operation writes to one file, in their order, with one replace
// of the file. A failure throws WriteFailure of its result.
void WriteIniValues(std::span<const IniFile::KeyWrite> writes, const QString& path);

// A write that failed, as the settings operations report it: a failure number
// and a description naming the file and the system's reason.
Conversions::Failure WriteFailure(const IniFile::WriteResult& result);

// Sets HelpFile to the help file of Parametres.Langue, or of language
// `fallback` (00 at start-up) when that one does not exist.
void ChooseHelpFile(int fallback = 0);

// The steps that apply a new language number: Langue becomes the number, or 0
// when its language file does not exist; LanguageBase becomes Langue * 2000;
// the help file is chosen for it. When the base does not fit 16 bits the
// conversion fails (Conversions::Failure) after Langue was set: LanguageBase
// and the help file keep their values. The language text is not loaded here.
void ApplyLanguageNumber(qint32 language);

} // namespace SettingsFolders
