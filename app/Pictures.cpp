#include "Pictures.h"

#include "Folders.h"

#include <QFileInfo>
#include <QImageReader>

namespace Pictures {

namespace {

// A built-in picture is a PNG, read by Qt's own reader: with the format
// detection off, no image-format plug-in is loaded (and asked in turn) just
// to read it, which saves start-up time.
QPixmap builtInPng(const QString& path)
{
    QImageReader reader(path, "PNG");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace

QPixmap BuiltInLogo()
{
    return builtInPng(QStringLiteral(":/LOGO"));
}

QPixmap ApplicationIcon()
{
    return builtInPng(QStringLiteral(":/icon.png"));
}

QPixmap Padlock()
{
    return builtInPng(QStringLiteral(":/padlock.png"));
}

QString FindProgramFile(const QString& name)
{
    const QString path = Folders::programFile(name);
    return QFileInfo(Folders::localPath(path)).isFile() ? path : QString();
}

QPixmap LogoFromProgramFolder(const QString& fileName)
{
    const QString path = FindProgramFile(fileName);
    QPixmap picture;
    if (!path.isEmpty() && picture.load(path))
        return picture;
    return BuiltInLogo();
}

} // namespace Pictures
