#include "IniFile.h"

#include "Folders.h"
#include "IniParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using DocumentPtr = std::shared_ptr<const IniParser::Document>;

// The parsed files of the open read scopes, by local path. A null document
// records a file that could not be read.
struct ReadCache
{
    int depth = 0;
    QHash<QString, DocumentPtr> documents;
};

ReadCache& readCache()
{
    static ReadCache cache;
    return cache;
}

DocumentPtr readDocument(const QString& localPath)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return nullptr;
    return std::make_shared<const IniParser::Document>(IniParser::parse(bytes));
}

DocumentPtr document(const QString& localPath)
{
    ReadCache& cache = readCache();
    if (cache.depth == 0)
        return readDocument(localPath);
    const auto it = cache.documents.constFind(localPath);
    if (it != cache.documents.constEnd())
        return it.value();
    DocumentPtr doc = readDocument(localPath);
    cache.documents.insert(localPath, doc);
    return doc;
}

QByteArrayView defaultText(QByteArrayView text)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text = text.first(nul);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

// Windows refuses to write a read-only file. Without write permission for
// its owner a file counts as read-only here, whoever runs the program.
bool isReadOnly(const QFileInfo& info)
{
    return !info.isWritable() || !info.permissions().testFlag(QFileDevice::WriteOwner);
}

// The current bytes of the file to edit: empty for a file that does not exist
// yet, nothing when it exists but cannot be edited.
std::optional<QByteArray> currentBytes(const QFileInfo& info)
{
    if (!info.exists())
        return QByteArray();
    if (!info.isFile() || isReadOnly(info))
        return std::nullopt;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// Makes the rename that replaced a file in folder last through a power cut.
void syncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Writes a temporary file beside the target, flushes it to disk and renames
// it over the target with the target's permissions, so that a reader sees
// either the old or the new file, never a part of one.
bool replaceFile(const QString& localPath, const QByteArray& bytes)
{
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    syncFolder(QFileInfo(localPath).absolutePath());
    return true;
}

} // namespace

namespace IniFile {

QByteArray GetPrivateProfileString(QByteArrayView section, QByteArrayView key,
                                   QByteArrayView defaultValue, int bufferSize, const QString& path)
{
    if (bufferSize < 1)
        return {};
    const DocumentPtr doc = document(Folders::localPath(path));
    if (doc) {
        if (const auto found = IniParser::value(*doc, section, key))
            return IniParser::toBuffer(*found, bufferSize);
    }
    return IniParser::toBuffer(defaultText(defaultValue), bufferSize);
}

bool WritePrivateProfileString(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                               const QString& path)
{
    // Another spelling of the same path may be cached too: forget them all.
    readCache().documents.clear();
    const QFileInfo info(Folders::localPath(path));
    if (!info.absoluteDir().exists())
        return false;
    const std::optional<QByteArray> bytes = currentBytes(info);
    if (!bytes)
        return false;
    return replaceFile(info.filePath(),
                       IniParser::withValue(IniParser::parse(*bytes), section, key, value));
}

ReadScope::ReadScope()
{
    ++readCache().depth;
}

ReadScope::~ReadScope()
{
    ReadCache& cache = readCache();
    if (--cache.depth == 0)
        cache.documents.clear();
}

} // namespace IniFile
