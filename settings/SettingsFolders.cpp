#include "SettingsFolders.h"

#include "Conversions.h"
#include "Folders.h"
#include "IniFile.h"
#include "Languages.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr int IniBufferSize = 255;

bool fileExists(const QString& path)
{
    return QFileInfo(Folders::localPath(path)).isFile();
}

bool folderExists(const QString& path)
{
    return QFileInfo(Folders::localPath(path)).isDir();
}

bool makeFolder(const QString& path)
{
    QString local = Folders::localPath(path);
    while (local.size() > 1 && (local.endsWith(u'/') || local.endsWith(QDir::separator())))
        local.chop(1);
    return QDir().mkdir(local);
}

// A new settings file: one line made of a single space.
bool createPlaceholderFile(const QString& path)
{
    QFile file(Folders::localPath(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    return file.write(" \r\n") == 3;
}

// Read-only, hidden, system and archive have no meaning here but the first:
// the file must be writable by its owner.
bool clearAttributes(const QString& path)
{
    QFile file(Folders::localPath(path));
    return file.setPermissions(file.permissions() | QFileDevice::WriteOwner |
                               QFileDevice::ReadOwner);
}

} // namespace

namespace SettingsFolders {

QString AddBackslash(const QString& path)
{
    if (path.endsWith(u'\\'))
        return path;
    return path + u'\\';
}

QByteArray TrimIniValue(QByteArray& buffer)
{
    auto isSpace = [](char c) { return c == ' '; };
    qsizetype begin = 0;
    qsizetype end = buffer.size();
    while (begin < end && isSpace(buffer[begin]))
        ++begin;
    while (end > begin && isSpace(buffer[end - 1]))
        --end;
    buffer = buffer.mid(begin, end - begin);
    QByteArray value = buffer;
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    while (!value.isEmpty() && isSpace(value.back()))
        value.chop(1);
    return value;
}

QString TrimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin).toString();
}

#ifdef Q_OS_WIN
QString ReadRegString(void* rootKey, const QString& keyPath, const QString& valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(static_cast<HKEY>(rootKey), keyPath.toLocal8Bit().constData(), 0, 0x3F,
                      &key) != ERROR_SUCCESS)
        return QString();
    QByteArray buffer(255, ' ');
    DWORD size = 255;
    DWORD type = REG_SZ;
    RegQueryValueExA(key, valueName.toLocal8Bit().constData(), nullptr, &type,
                     reinterpret_cast<LPBYTE>(buffer.data()), &size);
    RegCloseKey(key);
    if (size == 0)
        return QString();
    return QString::fromLocal8Bit(buffer.left(qsizetype(size) - 1)).trimmed();
}
#endif

QString GetAppDataFolder()
{
#ifdef Q_OS_WIN
    const QString folder = ReadRegString(
        HKEY_CURRENT_USER,
        QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
        QStringLiteral("AppData"));
    return folder.isEmpty() ? QString() : AddBackslash(folder);
#else
    const QString folder = Folders::appDataFolder();
    if (!folder.isEmpty())
        QDir().mkpath(folder); // a failure shows when the settings folder is made in it
    return folder;
#endif
}

QString ResolveIniFile(const QString& file, const QString& sub, const QString& source,
                       const QString& base, bool createIfMissing)
{
    const QString fallback = source + file;
    if (base.trimmed().isEmpty())
        return fallback;
    if (!folderExists(base) && !makeFolder(base))
        return fallback;
    const QString folder = Folders::join(base, sub) + QDir::separator();
    const QString target = folder + file;
    if (!fileExists(target)) {
        if (!folderExists(folder) && !makeFolder(folder))
            return fallback;
        if (fileExists(source + file)) {
            if (!QFile::copy(Folders::localPath(source + file), Folders::localPath(target)))
                return fallback;
        } else if (createIfMissing && !createPlaceholderFile(target)) {
            return fallback;
        }
    }
    if (fileExists(target) && !clearAttributes(target))
        return fallback;
    return target;
}

QByteArray ReadIniValue(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue,
                        const QString& path)
{
    // The buffer of 255 spaces receives the value and a NUL; trimmed of spaces
    // that is the value without its leading spaces, then the NUL. Built
    // directly, it gives what TrimIniValue gives without scanning the spaces.
    const QByteArray value =
        IniFile::GetPrivateProfileString(section, key, defaultValue, IniBufferSize, path);
    qsizetype begin = 0;
    while (begin < value.size() && value[begin] == ' ')
        ++begin;
    qsizetype end = value.size();
    while (end > begin && value[end - 1] == ' ')
        --end;
    const qsizetype used = value.size() - begin;
    IniBuffer.resize(used + 1); // keeps its storage from one read to the next
    char* buffer = IniBuffer.data();
    std::memcpy(buffer, value.constData() + begin, std::size_t(used));
    buffer[used] = '\0';
    if (begin == 0 && end == value.size())
        return value;
    return value.mid(begin, end - begin);
}

IniFile::WriteResult WriteIniValue(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                   const QString& path)
{
    return IniFile::WritePrivateProfileString(section, key, value, path);
}

void WriteIniValues(std::span<const IniFile::KeyWrite> writes, const QString& path)
{
    const IniFile::WriteResult result = IniFile::WritePrivateProfileStrings(writes, path);
    if (!result)
        throw WriteFailure(result);
}

Conversions::Failure WriteFailure(const IniFile::WriteResult& result)
{
    // The numbers the settings operations have always used for files.
    int number = 75; // Path/File access error
    switch (result.error) {
    case ENOENT:
    case ENOTDIR:
        number = 76; // Path not found
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = 70; // Permission denied
        break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        number = 61; // Disk full
        break;
    default:
        break;
    }
    return {number, result.file + QStringLiteral(": ") + result.reason};
}

void ChooseHelpFile(int fallback)
{
    auto helpFor = [](int language) {
        return Folders::programFile(QStringLiteral("Zor_Hp") + Conversions::padded(language, 2) +
                                    QStringLiteral(".chm"));
    };
    HelpFile = helpFor(Parametres.Langue);
    if (!fileExists(HelpFile))
        HelpFile = helpFor(fallback);
}

void ApplyLanguageNumber(qint32 language)
{
    Parametres.Langue = Languages::LanguageFileExists(language) ? language : 0;
    LanguageBase = Conversions::toInt16(Parametres.Langue * 2000.0);
    ChooseHelpFile();
}

} // namespace SettingsFolders
