#include "IniFile.h"

#include "Folders.h"
#include "IniParser.h"

#include <QHash>

#include <memory>
#include <utility>

namespace {

using DocumentPtr = std::shared_ptr<const IniParser::Document>;

// The parsed files of the open read scopes, by path as the callers give it
// (mapped to its local file once a scope). A null document records a file
// that could not be read. Reads come in runs on one file, so the last file
// used is tried first.
struct ReadCache
{
    int depth = 0;
    QHash<QString, DocumentPtr> documents;
    QString lastPath;
    const IniParser::Document* lastDocument = nullptr;

    void clear()
    {
        documents.clear();
        lastPath.clear();
        lastDocument = nullptr;
    }
};

ReadCache& readCache()
{
    static ReadCache cache;
    return cache;
}

DocumentPtr readDocument(const QString& localPath)
{
    QByteArray bytes;
    if (!FileIo::readAll(localPath, bytes))
        return nullptr;
    return std::make_shared<const IniParser::Document>(IniParser::parse(bytes));
}

// The scope's copy of the file, read now if the scope has none yet. The
// reads of one file usually pass the very same string.
const IniParser::Document* cachedDocument(ReadCache& cache, const QString& path)
{
    const bool same =
        cache.lastPath.constData() == path.constData() && cache.lastPath.size() == path.size();
    if (!cache.lastPath.isNull() && (same || cache.lastPath == path))
        return cache.lastDocument;
    auto found = cache.documents.constFind(path);
    if (found == cache.documents.cend())
        found = cache.documents.insert(path, readDocument(Folders::localPath(path)));
    cache.lastPath = path;
    cache.lastDocument = found->get();
    return cache.lastDocument;
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

// The bytes that writing each key in turn leaves.
QByteArray withValues(QByteArray bytes, std::span<const IniFile::KeyWrite> writes)
{
    for (const IniFile::KeyWrite& write : writes)
        bytes =
            IniParser::withValue(IniParser::parse(bytes), write.section, write.key, write.value);
    return bytes;
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

WriteResult WritePrivateProfileString(QByteArrayView section, QByteArrayView key,
                                      QByteArrayView value, const QString& path)
{
    const KeyWrite write{section.toByteArray(), key.toByteArray(), value.toByteArray()};
    return WritePrivateProfileStrings({&write, 1}, path);
}

WriteResult WritePrivateProfileStrings(std::span<const KeyWrite> writes, const QString& path)
{
    // Another spelling of the same path may be cached too: forget them all.
    readCache().clear();
    return FileIo::edit(Folders::localPath(path),
                        [writes](const QByteArray& bytes) { return withValues(bytes, writes); });
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
