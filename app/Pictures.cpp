#include "Pictures.h"

#include "Folders.h"

#include <QDir>
#include <QFileInfo>

namespace Pictures {

QPixmap BuiltInLogo()
{
    return QPixmap(QStringLiteral(":/LOGO"));
}

QPixmap ApplicationIcon()
{
    return QPixmap(QStringLiteral(":/icon.png"));
}

QPixmap Padlock()
{
    return QPixmap(QStringLiteral(":/padlock.png"));
}

QString FindProgramFile(const QString& name)
{
    const QDir folder(Folders::programFolder());
    if (QFileInfo(folder.filePath(name)).isFile())
        return folder.filePath(name);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    }
    return {};
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
