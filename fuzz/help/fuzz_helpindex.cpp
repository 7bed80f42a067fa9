// The parsing of compiled help files that runs on bytes from the file: the
// container header, the directory and the compressed space's tables, the
// context map (/#IVB), the string table (/#STRINGS), the system records and
// the lookup of a context's topic.
//
// Input: 4 bytes of context number; a 16-bit length and that many bytes of
// context map; a 16-bit length and that many bytes of string table; the rest
// is both the system records and the list of the file's entries, one a line.
// Every result must keep the promises of HelpIndex.h.

#include "ChmDirectory.h"
#include "HelpIndex.h"

#include <QSet>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool fact)
{
    if (!fact)
        std::abort();
}

QByteArrayView take(QByteArrayView* input, qsizetype count)
{
    count = std::min(count, input->size());
    const QByteArrayView part = input->first(count);
    *input = input->sliced(count);
    return part;
}

QByteArrayView takeSized(QByteArrayView* input)
{
    const QByteArrayView size = take(input, 2);
    return take(input, size.size() < 2 ? 0 : qFromLittleEndian<quint16>(size.data()));
}

void checkCandidates(const QByteArray& name)
{
    const QStringList paths = HelpIndex::candidatePaths(name);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        check(paths[i].startsWith(QLatin1Char('/')) && paths[i].size() > 1);
        check(!paths[i].contains(QLatin1String("//")) && !paths[i].contains(QLatin1Char('\\')));
        if (i > 0)
            check(paths[i - 1].endsWith(paths[i]) && paths[i - 1].size() > paths[i].size());
    }
}

void checkContextMap(QByteArrayView ivb, QByteArrayView strings)
{
    QList<HelpIndex::ContextEntry> entries;
    const HelpIndex::Problem problem = HelpIndex::parseContextMap(ivb, &entries);
    check((problem.failure == HelpIndex::Failure::None) == problem.detail.isEmpty());
    if (problem.failure != HelpIndex::Failure::None)
        return check(entries.isEmpty());
    check(entries.size() == qFromLittleEndian<quint32>(ivb.data()) / 8);
    for (const HelpIndex::ContextEntry& entry :
         entries.first(std::min<qsizetype>(entries.size(), 16))) {
        QByteArray value;
        if (HelpIndex::stringAt(strings, entry.offset, &value).failure != HelpIndex::Failure::None)
            continue;
        check(!value.isEmpty() && !value.contains('\0'));
        check(strings.sliced(entry.offset).startsWith(value));
        checkCandidates(value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView whole(reinterpret_cast<const char*>(data), qsizetype(size));
    HelpIndex::checkContainerHeader(whole, qint64(size));
    ChmDirectory::Entries listed;
    if (ChmDirectory::check(whole, &listed).failure == HelpIndex::Failure::None) {
        for (auto it = listed.cbegin(); it != listed.cend(); ++it)
            check(it.key().size() <= 512 && it.key() == it.key().toLower());
    }
    ChmDirectory::checkCompressionControl(whole);
    ChmDirectory::checkResetTable(whole, size);

    QByteArrayView input = whole;
    const QByteArrayView contextBytes = take(&input, 4);
    const quint32 context =
        contextBytes.size() == 4 ? qFromLittleEndian<quint32>(contextBytes.data()) : 0;
    const QByteArrayView ivb = takeSized(&input);
    const QByteArrayView strings = takeSized(&input);

    QSet<QString> entries;
    for (const QByteArray& line : input.toByteArray().split('\n')) {
        for (const QString& path : HelpIndex::candidatePaths(line))
            entries.insert(path);
    }
    auto exists = [&entries](const QString& path) { return entries.contains(path); };

    checkContextMap(ivb, strings);
    HelpIndex::Topic topic;
    const HelpIndex::Problem problem =
        HelpIndex::topicForContext(ivb, strings, context, exists, &topic);
    check((problem.failure == HelpIndex::Failure::None) == !topic.path.isEmpty());
    if (problem.failure == HelpIndex::Failure::None)
        check(entries.contains(topic.path));

    QByteArray name;
    if (HelpIndex::defaultTopicName(input, &name).failure == HelpIndex::Failure::None)
        checkCandidates(name);
    return 0;
}
