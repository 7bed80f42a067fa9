#include "ChmArchive.h"

#include "Folders.h"

#include <QFile>
#include <QFileInfo>

#include <chm_lib.h>

using HelpIndex::Failure;
using HelpIndex::Problem;

namespace {

constexpr qsizetype HeaderBytes = 0x60;

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

struct UncompressedCheck
{
    quint64 contentOffset = 0;
    quint64 fileSize = 0;
    QString outside; // the first entry that runs past the end of the file
};

// Uncompressed entries, the compressed stream among them, are stored as they
// are: each must end inside the file, or the file was cut short.
int checkUncompressed(chmFile*, chmUnitInfo* info, void* context)
{
    auto* check = static_cast<UncompressedCheck*>(context);
    if (info->space != CHM_UNCOMPRESSED || info->length == 0)
        return CHM_ENUMERATOR_CONTINUE;
    const quint64 end = check->fileSize;
    if (check->contentOffset > end || info->start > end - check->contentOffset ||
        info->length > end - check->contentOffset - info->start) {
        check->outside = QString::fromUtf8(info->path);
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
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
    const QByteArray head = file.read(HeaderBytes);
    if (Problem problem = HelpIndex::checkContainerHeader(head, file.size()); failed(problem))
        return problem;
    UncompressedCheck check{HelpIndex::contentOffset(head), quint64(file.size()), {}};
    file.close();
    m_file = chm_open(QFile::encodeName(local).constData());
    if (m_file == nullptr)
        return damaged(QStringLiteral("the directory of the file cannot be read"));
    chm_enumerate(m_file, CHM_ENUMERATE_ALL, checkUncompressed, &check);
    if (!check.outside.isEmpty()) {
        close();
        return damaged(QStringLiteral("%1 runs past the end of the file").arg(check.outside));
    }
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
