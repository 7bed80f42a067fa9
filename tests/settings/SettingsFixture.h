#pragma once

#include "Folders.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// A program folder and a shared folder \\SRV\ZOR of their own for each test,
// with the recording UI installed and the globals as at program start.
struct SettingsFixture
{
    std::unique_ptr<QTemporaryDir> dir;

    void setUp()
    {
        dir = std::make_unique<QTemporaryDir>();
        QDir(dir->path()).mkpath(QStringLiteral("program"));
        QDir(dir->path()).mkpath(QStringLiteral("unc/SRV/ZOR"));
        Folders::setProgramFolder(programFolder());
        qputenv("ZOR_UNC_ROOT", (dir->path() + QStringLiteral("/unc")).toUtf8());
        ResetGlobals();
        UiRecorder::install();
        Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
        Parametres.ConfigDir = QStringLiteral("\\\\SRV\\ZOR\\");
    }

    QString programFolder() const { return dir->path() + QStringLiteral("/program"); }
    QString sharedFolder() const { return dir->path() + QStringLiteral("/unc/SRV/ZOR"); }
    QString program(const QString& name) const { return programFolder() + u'/' + name; }
    QString shared(const QString& name) const { return sharedFolder() + u'/' + name; }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }

    // An empty language file entry: tests of several languages only need the
    // file to exist.
    void addLanguageFile(int number) const
    {
        write(program(QStringLiteral("Zor_Lg%1.txt").arg(number, 2, 10, QChar(u'0'))), "x");
    }
};
