#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>

// Files for the INI tests: written and read as raw bytes.
namespace IniTestFiles {

// The text as a UTF-16LE file with its byte-order mark.
inline QByteArray utf16(const char* utf8)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder(QString::fromUtf8(utf8));
}

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace IniTestFiles
