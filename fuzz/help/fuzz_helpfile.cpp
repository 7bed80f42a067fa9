// A whole help file, opened through chmlib: the checks made before chmlib
// reads a file must keep every hostile file from hanging or crashing it.
// Each input is written to a file, opened, and its contexts, default topic
// and style sheet are read; each page read is measured as the help window
// measures it before showing it.

#include "ChmArchive.h"
#include "HelpPage.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input.chm"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            return 0;
    }
    ChmArchive archive;
    if (archive.open(path).failure != HelpIndex::Failure::None)
        return 0;
    HelpIndex::Topic topic;
    QByteArray bytes;
    const auto measure = [&archive, &bytes](const QString& page) {
        if (archive.size(page) <= HelpPage::MaxPageBytes &&
            archive.read(page, &bytes).failure == HelpIndex::Failure::None)
            HelpPage::measure(QString::fromUtf8(bytes));
    };
    for (quint32 context : {110u, 121u, 204u}) {
        if (archive.topicForContext(context, &topic).failure == HelpIndex::Failure::None)
            measure(topic.path);
    }
    if (archive.defaultTopic(&topic).failure == HelpIndex::Failure::None)
        measure(topic.path);
    archive.read(QStringLiteral("/zorhelp.css"), &bytes);
    return 0;
}
