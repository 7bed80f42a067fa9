#pragma once

#include "FileIo.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <span>

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

// What became of a write: true when the file was written; otherwise the
// local file and the system's error number and text. A file that could not be
// written is unchanged.
using WriteResult = FileIo::Result;

// Sets key in section to value, creating the file, section or key as needed,
// and replaces the file atomically (see FileIo::edit for a folder that
// refuses new files). Every untouched line keeps its bytes. Fails for a
// missing folder, a read-only file, a path that is a folder.
WriteResult WritePrivateProfileString(QByteArrayView section, QByteArrayView key,
                                      QByteArrayView value, const QString& path);

// One key of several written to one file.
struct KeyWrite
{
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

// The bytes that WritePrivateProfileString of each key in turn would leave,
// written with one replace: a reader sees the file as it was before all of
// them or after all of them.
WriteResult WritePrivateProfileStrings(std::span<const KeyWrite> writes, const QString& path);

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
