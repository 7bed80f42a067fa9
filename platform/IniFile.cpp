#include "IniFile.h"

#include "Folders.h"
#include "IniParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using DocumentPtr = std::shared_ptr<const IniParser::Document>;

// The parsed files of the open read scopes, by path as the callers give it
// (mapped to its local file once a scope). A null document records a file
// that could not be read. Reads come in runs on one file, so the last file
// used is tried first.
struct ReadCache
{
    int depth = 0;
    std::vector<std::pair<QString, DocumentPtr>> documents;
    std::size_t last = 0;

    void clear()
    {
        documents.clear();
        last = 0;
    }
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

// The scope's copy of the file, read now if the scope has none yet.
const IniParser::Document* cachedDocument(ReadCache& cache, const QString& path)
{
    auto& docs = cache.documents;
    if (cache.last < docs.size() && docs[cache.last].first == path)
        return docs[cache.last].second.get();
    for (std::size_t i = 0; i < docs.size(); ++i) {
        if (docs[i].first == path) {
            cache.last = i;
            return docs[i].second.get();
        }
    }
    cache.last = docs.size();
    docs.emplace_back(path, readDocument(Folders::localPath(path)));
    return docs.back().second.get();
}

std::optional<QByteArray> lookUp(const QString& path, QByteArrayView section, QByteArrayView key)
{
    ReadCache& cache = readCache();
    if (cache.depth > 0) {
        const IniParser::Document* doc = cachedDocument(cache, path);
        return doc ? IniParser::value(*doc, section, key) : std::nullopt;
    }
    const DocumentPtr doc = readDocument(Folders::localPath(path));
    return doc ? IniParser::value(*doc, section, key) : std::nullopt;
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
    std::optional<QByteArray> found = lookUp(path, section, key);
    if (found)
        return IniParser::toBuffer(std::move(*found), bufferSize);
    return IniParser::toBuffer(defaultText(defaultValue).toByteArray(), bufferSize);
}

bool WritePrivateProfileString(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                               const QString& path)
{
    // Another spelling of the same path may be cached too: forget them all.
    readCache().clear();
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
        cache.clear();
}

} // namespace IniFile
