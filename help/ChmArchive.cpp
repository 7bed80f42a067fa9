#include "ChmArchive.h"

#include "ChmDirectory.h"
#include "Folders.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

#include <chm_lib.h>

using HelpIndex::Failure;
using HelpIndex::Problem;

namespace {

constexpr qsizetype HeaderBytes = 0x60;
constexpr const char* LzxGuid = "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}";

Problem damaged(const QString& detail)
{
    return Problem{Failure::Damaged, detail};
}

bool failed(const Problem& problem)
{
    return problem.failure != Failure::None;
}

// chmlib's name of an entry; empty when the name cannot be one.
QByteArray entryName(const QString& inner)
{
    const QByteArray name = inner.toUtf8();
    if (name.isEmpty() || name.size() > CHM_MAX_PATHLEN || name.contains('\0'))
        return {};
    return name;
}

int collectFirstHtml(chmFile*, chmUnitInfo* info, void* context)
{
    const QString path = QString::fromUtf8(info->path);
    if (path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)) {
        *static_cast<QString*>(context) = path;
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

// Whether an uncompressed entry lies inside a file of `size` bytes.
bool insideFile(quint64 size, quint64 contentOffset, const ChmDirectory::Entry& entry)
{
    return contentOffset <= size && entry.offset <= size - contentOffset &&
           entry.length <= size - contentOffset - entry.offset;
}

// The bytes of a small uncompressed entry, read from the file.
Problem readUncompressed(QFile& file, quint64 contentOffset, const ChmDirectory::Entry& entry,
                         QByteArray* bytes)
{
    constexpr quint64 MaxTableBytes = 1024 * 1024;
    if (entry.space != CHM_UNCOMPRESSED || entry.length > MaxTableBytes ||
        !file.seek(qint64(contentOffset + entry.offset)))
        return damaged(QStringLiteral("a table of the compressed space cannot be read"));
    *bytes = file.read(qint64(entry.length));
    if (quint64(bytes->size()) != entry.length)
        return damaged(QStringLiteral("a table of the compressed space is cut short"));
    return {};
}

// Everything chmlib trusts when it opens a file and decompresses its entries,
// checked from the file's own bytes before chmlib sees them: the container
// header, the directory, every uncompressed entry inside the file, and the
// control data and reset table of the compressed space.
Problem checkStructure(QFile& file)
{
    const QByteArray head = file.read(HeaderBytes);
    if (Problem problem = HelpIndex::checkContainerHeader(head, file.size()); failed(problem))
        return problem;
    const HelpIndex::Range range = HelpIndex::directoryRange(head);
    if (range.length > quint64(ChmArchive::MaxEntryBytes) || !file.seek(qint64(range.offset)))
        return damaged(QStringLiteral("directory of %1 bytes").arg(range.length));
    ChmDirectory::Entries entries;
    if (Problem problem = ChmDirectory::check(file.read(qint64(range.length)), &entries);
        failed(problem))
        return problem;
    const quint64 contentOffset = HelpIndex::contentOffset(head);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it->space == CHM_UNCOMPRESSED && !insideFile(quint64(file.size()), contentOffset, *it))
            return damaged(QString::fromUtf8(it.key()) +
                           QStringLiteral(" runs past the end of the file"));
    }
    QByteArray bytes;
    const QByteArray space = "::dataspace/storage/mscompressed/";
    const auto control = entries.constFind(space + "controldata");
    if (control == entries.cend())
        return {};
    const auto stream = entries.constFind(space + "content");
    const auto resetTable = entries.constFind(space + "transform/" + QByteArray(LzxGuid).toLower() +
                                              "/instancedata/resettable");
    if (stream == entries.cend() || resetTable == entries.cend())
        return damaged(QStringLiteral("the compressed space is incomplete"));
    if (Problem problem = readUncompressed(file, contentOffset, *control, &bytes); failed(problem))
        return problem;
    if (Problem problem = ChmDirectory::checkCompressionControl(bytes); failed(problem))
        return problem;
    if (Problem problem = readUncompressed(file, contentOffset, *resetTable, &bytes);
        failed(problem))
        return problem;
    return ChmDirectory::checkResetTable(bytes, stream->length);
}

} // namespace

ChmArchive::~ChmArchive()
{
    close();
}

Problem ChmArchive::open(const QString& path)
{
    close();
    const QString local = Folders::localPath(path);
    QFile file(local);
    if (!QFileInfo(local).isFile())
        return Problem{Failure::Missing, QStringLiteral("no file %1").arg(path)};
    if (!file.open(QIODevice::ReadOnly))
        return Problem{Failure::Missing, file.errorString()};
    if (Problem problem = checkStructure(file); failed(problem))
        return problem;
    file.close();
    m_file = chm_open(QFile::encodeName(local).constData());
    if (m_file == nullptr)
        return damaged(QStringLiteral("the directory of the file cannot be read"));
    m_path = path;
    return {};
}

void ChmArchive::close()
{
    if (m_file != nullptr)
        chm_close(m_file);
    m_file = nullptr;
    m_path.clear();
}

bool ChmArchive::contains(const QString& inner) const
{
    const QByteArray name = entryName(inner);
    chmUnitInfo info{};
    return m_file != nullptr && !name.isEmpty() &&
           chm_resolve_object(m_file, name.constData(), &info) == CHM_RESOLVE_SUCCESS;
}

qint64 ChmArchive::size(const QString& inner) const
{
    const QByteArray name = entryName(inner);
    chmUnitInfo info{};
    if (m_file == nullptr || name.isEmpty() ||
        chm_resolve_object(m_file, name.constData(), &info) != CHM_RESOLVE_SUCCESS)
        return -1;
    return qint64(std::min<quint64>(info.length, quint64(std::numeric_limits<qint64>::max())));
}

Problem ChmArchive::read(const QString& inner, QByteArray* data) const
{
    data->clear();
    const QByteArray name = entryName(inner);
    chmUnitInfo info{};
    if (m_file == nullptr || name.isEmpty() ||
        chm_resolve_object(m_file, name.constData(), &info) != CHM_RESOLVE_SUCCESS)
        return Problem{Failure::TopicMissing, QStringLiteral("no entry named %1").arg(inner)};
    if (info.length > quint64(MaxEntryBytes))
        return damaged(QStringLiteral("%1 declares %2 bytes").arg(inner).arg(info.length));
    if (info.length == 0)
        return {};
    QByteArray bytes(qsizetype(info.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(
        m_file, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0, LONGINT64(info.length));
    if (got != LONGINT64(info.length))
        return damaged(QStringLiteral("%1: %2 of %3 bytes could be read")
                           .arg(inner)
                           .arg(qMax<LONGINT64>(got, 0))
                           .arg(info.length));
    *data = std::move(bytes);
    return {};
}

Problem ChmArchive::topicForContext(quint32 context, HelpIndex::Topic* topic) const
{
    *topic = HelpIndex::Topic{};
    QByteArray ivb;
    QByteArray strings;
    if (!contains(QStringLiteral("/#IVB")))
        return Problem{Failure::UnknownContext, QStringLiteral("the file has no context map")};
    if (Problem problem = read(QStringLiteral("/#IVB"), &ivb); failed(problem))
        return problem;
    if (Problem problem = read(QStringLiteral("/#STRINGS"), &strings);
        failed(problem) && problem.failure != Failure::TopicMissing)
        return problem;
    return HelpIndex::topicForContext(
        ivb, strings, context, [this](const QString& path) { return contains(path); }, topic);
}

Problem ChmArchive::defaultTopic(HelpIndex::Topic* topic) const
{
    *topic = HelpIndex::Topic{};
    auto exists = [this](const QString& path) { return contains(path); };
    QByteArray system;
    QByteArray name;
    if (!failed(read(QStringLiteral("/#SYSTEM"), &system)) &&
        !failed(HelpIndex::defaultTopicName(system, &name)) && !name.isEmpty() &&
        !failed(HelpIndex::resolveTopic(name, exists, topic)))
        return {};
    for (const char* fallback : {"/index.htm", "/index.html", "/default.htm"}) {
        if (contains(QLatin1String(fallback))) {
            topic->path = QLatin1String(fallback);
            return {};
        }
    }
    topic->path = firstHtmlEntry();
    if (topic->path.isEmpty())
        return damaged(QStringLiteral("the file holds no topic"));
    return {};
}

QString ChmArchive::firstHtmlEntry() const
{
    QString found;
    if (m_file != nullptr)
        chm_enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectFirstHtml, &found);
    return found;
}
