#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

// Language files written by the tests themselves.
namespace LangTestFiles {

// A well-formed start of a language file, up to the ZORCFG header.
inline QString header(const QString& name = QStringLiteral("Test"))
{
    return QStringLiteral("Test language file\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=") + name +
           QStringLiteral("\r\n[ZORCFG]\r\n");
}

inline QByteArray utf16(const QString& text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline bool writeText(const QString& path, const QString& text)
{
    return writeBytes(path, utf16(text));
}

} // namespace LangTestFiles
