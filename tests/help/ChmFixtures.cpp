#include "ChmFixtures.h"

#include "ChmDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

namespace ChmFixtures {

QString compile(const QString& folder, const QList<std::pair<QString, QByteArray>>& files)
{
    QByteArray project = "[OPTIONS]\nCompiled file=help.chm\nDefault topic=index.htm\n"
                         "Display compile progress=No\n\n[FILES]\n";
    for (const auto& [path, bytes] : files) {
        QDir().mkpath(QFileInfo(QDir(folder).filePath(path)).path());
        if (!writeAll(QDir(folder).filePath(path), bytes))
            return {};
        project += path.toUtf8() + '\n';
    }
    project += "\n[ALIAS]\nIDH_PAGE=index.htm\n\n[MAP]\n#define IDH_PAGE 110\n";
    QProcess chmcmd;
    chmcmd.setWorkingDirectory(folder);
    if (!writeAll(QDir(folder).filePath(QStringLiteral("help.hhp")), project))
        return {};
    chmcmd.start(QStringLiteral(ZOR_CHMCMD), {QStringLiteral("help.hhp")});
    const bool made = chmcmd.waitForFinished(60000) && chmcmd.exitCode() == 0;
    return made ? QDir(folder).filePath(QStringLiteral("help.chm")) : QString();
}

namespace {

// A directory number: 7 bits a byte, most significant first, every byte but
// the last with its high bit set.
struct EncodedNumber
{
    qsizetype at = -1;
    qsizetype width = 0;
};

EncodedNumber numberAt(const QByteArray& bytes, qsizetype at)
{
    EncodedNumber number{at, 0};
    while (at + number.width < bytes.size() && (quint8(bytes[at + number.width]) & 0x80) != 0)
        ++number.width;
    ++number.width;
    return number;
}

// The field of the entry `name`: after the name come its space, offset and
// length numbers. The name is preceded by its own length.
EncodedNumber fieldOf(const QByteArray& file, const QByteArray& name, Field field)
{
    qsizetype at = 0;
    while ((at = file.indexOf(name, at + 1)) > 0) {
        if (quint8(file[at - 1]) != name.size())
            continue;
        EncodedNumber number = numberAt(file, at + name.size()); // space
        number = numberAt(file, number.at + number.width);       // offset
        if (field == Field::Length)
            number = numberAt(file, number.at + number.width);
        return number;
    }
    return {};
}

} // namespace

QString compiledFile(int language)
{
    return QDir(QStringLiteral(ZOR_PROGRAM_DIR))
        .filePath(QStringLiteral("Zor_Hp%1.chm").arg(language, 2, 10, QLatin1Char('0')));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool rewriteEntry(QByteArray* file, const QByteArray& name, Field field, quint64 value)
{
    const EncodedNumber number = fieldOf(*file, name, field);
    if (number.at < 0)
        return false;
    value = qMin(value, (quint64(1) << (7 * number.width)) - 1); // the widest that fits
    for (qsizetype i = number.width - 1; i >= 0; --i) {
        const bool last = i == number.width - 1;
        (*file)[number.at + i] = char((value & 0x7F) | (last ? 0 : 0x80));
        value >>= 7;
    }
    return true;
}

QByteArray patched32(QByteArray file, qsizetype at, quint32 value)
{
    qToLittleEndian(value, file.data() + at);
    return file;
}

qsizetype entryStart(const QByteArray& file, const QByteArray& lowerName)
{
    const qsizetype directory = qsizetype(qFromLittleEndian<quint64>(file.constData() + 0x48));
    const qsizetype content = qsizetype(qFromLittleEndian<quint64>(file.constData() + 0x58));
    ChmDirectory::Entries entries;
    ChmDirectory::check(QByteArrayView(file).sliced(directory), &entries);
    return content + qsizetype(entries.value(lowerName).offset);
}

} // namespace ChmFixtures
