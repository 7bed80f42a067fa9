#include "HelpIndex.h"

#include "Cp1252.h"

#include <QStringList>
#include <QtEndian>

namespace HelpIndex {

namespace {

Problem damaged(const QString& detail)
{
    return Problem{Failure::Damaged, detail};
}

quint32 read32(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

quint64 read64(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint64>(bytes.data() + at);
}

// A range [offset, offset + length) that must end inside a file of `size`
// bytes, without overflowing on the way.
bool rangeInside(quint64 offset, quint64 length, quint64 size)
{
    return offset <= size && length <= size - offset;
}

// Names are UTF-8 when they read as such; older help compilers wrote the
// Windows code page.
QString nameText(QByteArrayView bytes)
{
    const QString utf8 = QString::fromUtf8(bytes);
    if (utf8.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"))
        return Cp1252::toUnicode(bytes);
    return utf8;
}

QByteArray withoutFragment(const QByteArray& name)
{
    const qsizetype hash = name.indexOf('#');
    return hash < 0 ? name : name.first(hash);
}

} // namespace

Problem checkContainerHeader(QByteArrayView head, qint64 fileSize)
{
    constexpr qsizetype directoryEnd = 0x58; // signature up to the directory range
    if (head.size() < 4 || head.first(4) != "ITSF")
        return Problem{Failure::NotChm, QStringLiteral("no ITSF signature")};
    if (head.size() < directoryEnd)
        return damaged(QStringLiteral("header shorter than %1 bytes").arg(directoryEnd));
    const quint32 version = read32(head, 4);
    const quint32 headerLength = read32(head, 8);
    if (version != 2 && version != 3)
        return Problem{Failure::NotChm, QStringLiteral("container version %1").arg(version)};
    const quint64 size = quint64(fileSize);
    if (headerLength < quint32(directoryEnd) || headerLength > size)
        return damaged(QStringLiteral("header length %1").arg(headerLength));
    if (!rangeInside(read64(head, 0x38), read64(head, 0x40), size))
        return damaged(QStringLiteral("section 0 outside the file"));
    if (!rangeInside(read64(head, 0x48), read64(head, 0x50), size))
        return damaged(QStringLiteral("directory outside the file"));
    if (version == 3) {
        if (head.size() < 0x60 || headerLength < 0x60)
            return damaged(QStringLiteral("version 3 header shorter than 96 bytes"));
        if (read64(head, 0x58) > size)
            return damaged(QStringLiteral("content offset outside the file"));
    }
    return {};
}

Range directoryRange(QByteArrayView head)
{
    return Range{read64(head, 0x48), read64(head, 0x50)};
}

quint64 contentOffset(QByteArrayView head)
{
    if (read32(head, 4) == 3)
        return read64(head, 0x58);
    return read64(head, 0x48) + read64(head, 0x50);
}

Problem parseContextMap(QByteArrayView ivb, QList<ContextEntry>* entries)
{
    entries->clear();
    if (ivb.size() < 4)
        return damaged(
            QStringLiteral("#IVB holds %1 bytes, less than its length field").arg(ivb.size()));
    const quint32 length = read32(ivb, 0);
    if (length > quint64(ivb.size() - 4))
        return damaged(
            QStringLiteral("#IVB declares %1 bytes but holds %2").arg(length).arg(ivb.size() - 4));
    if (length % 8 != 0)
        return damaged(QStringLiteral("#IVB length %1 is not a whole number of pairs").arg(length));
    entries->reserve(length / 8);
    for (qsizetype at = 4; at < 4 + qsizetype(length); at += 8)
        entries->append(ContextEntry{read32(ivb, at), read32(ivb, at + 4)});
    return {};
}

Problem stringAt(QByteArrayView strings, quint32 offset, QByteArray* value)
{
    value->clear();
    if (offset >= quint64(strings.size()))
        return damaged(QStringLiteral("offset %1 outside #STRINGS (%2 bytes)")
                           .arg(offset)
                           .arg(strings.size()));
    const QByteArrayView rest = strings.sliced(offset);
    const qsizetype end = rest.indexOf('\0');
    if (end < 0)
        return damaged(QStringLiteral("string at offset %1 has no end").arg(offset));
    if (end == 0)
        return damaged(QStringLiteral("empty string at offset %1").arg(offset));
    *value = rest.first(end).toByteArray();
    return {};
}

Problem defaultTopicName(QByteArrayView system, QByteArray* name)
{
    constexpr quint16 defaultTopicCode = 2;
    name->clear();
    if (system.size() < 4)
        return damaged(QStringLiteral("#SYSTEM shorter than its version field"));
    qsizetype at = 4;
    while (at < system.size()) {
        if (system.size() - at < 4)
            return damaged(QStringLiteral("#SYSTEM record header cut at %1").arg(at));
        const quint16 code = qFromLittleEndian<quint16>(system.data() + at);
        const quint16 length = qFromLittleEndian<quint16>(system.data() + at + 2);
        at += 4;
        if (length > system.size() - at)
            return damaged(QStringLiteral("#SYSTEM record %1 runs past the data").arg(code));
        if (code == defaultTopicCode && name->isEmpty()) {
            const QByteArrayView data = system.sliced(at, length);
            const qsizetype end = data.indexOf('\0');
            *name = (end < 0 ? data : data.first(end)).toByteArray();
        }
        at += length;
    }
    return {};
}

QStringList candidatePaths(const QByteArray& name)
{
    if (name.size() > MaxNameBytes)
        return {};
    QString path = nameText(withoutFragment(name));
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString absolute =
        QLatin1Char('/') + path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
    QStringList candidates;
    for (qsizetype slash = 0; slash >= 0 && slash + 1 < absolute.size();
         slash = absolute.indexOf(QLatin1Char('/'), slash + 1))
        candidates.append(absolute.mid(slash));
    return candidates;
}

QString fragmentOf(const QByteArray& name)
{
    const qsizetype hash = name.indexOf('#');
    return hash < 0 ? QString() : nameText(QByteArrayView(name).sliced(hash + 1));
}

Problem resolveTopic(const QByteArray& name, const std::function<bool(const QString&)>& exists,
                     Topic* topic)
{
    *topic = Topic{};
    for (const QString& path : candidatePaths(name)) {
        if (exists(path)) {
            *topic = Topic{path, fragmentOf(name)};
            return {};
        }
    }
    return Problem{Failure::TopicMissing, QStringLiteral("no entry named %1").arg(nameText(name))};
}

Problem topicForContext(QByteArrayView ivb, QByteArrayView strings, quint32 context,
                        const std::function<bool(const QString&)>& exists, Topic* topic)
{
    *topic = Topic{};
    QList<ContextEntry> entries;
    if (Problem problem = parseContextMap(ivb, &entries); problem.failure != Failure::None)
        return problem;
    for (const ContextEntry& entry : entries) {
        if (entry.context != context)
            continue;
        QByteArray name;
        if (Problem problem = stringAt(strings, entry.offset, &name);
            problem.failure != Failure::None)
            return problem;
        return resolveTopic(name, exists, topic);
    }
    return Problem{Failure::UnknownContext, QStringLiteral("context %1").arg(context)};
}

} // namespace HelpIndex
