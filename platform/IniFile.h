#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The private-profile INI functions, as Windows' GetPrivateProfileStringA and
// WritePrivateProfileStringA behave, so that files shared with Windows
// installations read and write the same on every station.
//
// Texts are code page 1252 bytes. Paths may be in data form ("\\SRV\ZOR\x.ini");
// they are mapped with Folders::localPath when the file is opened.
namespace IniFile {

// The value of key in the first section named section, as the Windows call
// leaves it in a buffer of bufferSize bytes: at most bufferSize - 1 bytes, cut
// at the first NUL. A missing file, section or key gives defaultValue without
// its trailing spaces (cut the same way).
QByteArray GetPrivateProfileString(QByteArrayView section, QByteArrayView key,
                                   QByteArrayView defaultValue, int bufferSize,
                                   const QString& path);

// Sets key in section to value, creating the file, section or key as needed,
// and replaces the file atomically. Every untouched line keeps its bytes.
// Returns false when the file could not be written (missing folder,
// read-only folder or file); the file is then unchanged.
bool WritePrivateProfileString(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                               const QString& path);

// While a ReadScope lives, each file is read from disk and parsed at most once
// by the reads inside it; a write through this module drops that file's copy.
// Outside any scope every read goes to the disk. Scopes nest.
class ReadScope
{
public:
    ReadScope();
    ~ReadScope();
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
};

} // namespace IniFile
