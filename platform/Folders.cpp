#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace {

QString& programFolderOverride()
{
    static QString folder;
    return folder;
}

QString withTrailingSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QDir::separator()) || folder.endsWith(u'/'))
        return folder;
    return folder + QDir::separator();
}

} // namespace

namespace Folders {

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString& folder)
{
    QString native = QDir::toNativeSeparators(folder);
    while (native.size() > 1 && native.endsWith(QDir::separator()))
        native.chop(1);
    programFolderOverride() = native;
}

QString executableBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString appDataFolder()
{
#ifdef Q_OS_WIN
    return QString(); // the registry read of the settings module serves Windows
#else
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return withTrailingSeparator(xdg);
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return withTrailingSeparator(home + QStringLiteral("/.config"));
    return QString();
#endif
}

QString join(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return withTrailingSeparator(folder) + name;
}

namespace {

// Of several spellings of the name, the first in code-unit order, so that the
// choice does not depend on the order of the folder's entries; empty if none.
QString spellingIn(const QStringList& names, const QString& name)
{
    QString found;
    for (const QString& entry : names) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0 && (found.isEmpty() || entry < found))
            found = entry;
    }
    return found;
}

} // namespace

QString fileIgnoringCase(const QString& folder, const QString& name)
{
    const QString exact = join(folder, name);
    if (QFileInfo::exists(localPath(exact)))
        return exact;
    const QString found = spellingIn(fileNames(folder), name);
    return found.isEmpty() ? exact : join(folder, found);
}

QString fileIgnoringCase(const QString& folder, const QString& name, const QStringList& names)
{
    if (names.contains(name))
        return join(folder, name);
    const QString found = spellingIn(names, name);
    return join(folder, found.isEmpty() ? name : found);
}

QStringList fileNames(const QString& folder)
{
    // Read as the directory lists them: no sorting, no second look at each.
    QStringList names;
    QDirIterator entries(localPath(folder), QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        names.append(entries.fileName());
    }
    return names;
}

QString programFile(const QString& name)
{
    return fileIgnoringCase(programFolder(), name);
}

bool isUncPath(const QString& path)
{
    return path.startsWith(QStringLiteral("\\\\"));
}

QString localPath(const QString& path)
{
#ifdef Q_OS_WIN
    return path;
#else
    if (!isUncPath(path))
        return path;
    // The root is read again at each call (tests point it elsewhere), but only
    // decoded when it changed: files are opened often.
    static QByteArray rawRoot;
    static QString root = QStringLiteral("/mnt");
    const char* env = std::getenv("ZOR_UNC_ROOT");
    const QByteArrayView current(env ? env : "");
    if (current != rawRoot) {
        rawRoot = current.toByteArray();
        root = rawRoot.isEmpty() ? QStringLiteral("/mnt") : QFile::decodeName(rawRoot);
        while (root.size() > 1 && root.endsWith(u'/'))
            root.chop(1);
    }
    QString local(root.size() + 1 + path.size() - 2, Qt::Uninitialized);
    QChar* out = std::copy(root.cbegin(), root.cend(), local.data());
    *out++ = u'/';
    std::replace_copy(path.cbegin() + 2, path.cend(), out, QChar(u'\\'), QChar(u'/'));
    return local;
#endif
}

} // namespace Folders
