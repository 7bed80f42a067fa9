#pragma once

#include "Folders.h"
#include "UiRecorder.h"
#include "Variables.h"

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
        for (const char* sub : {"program", "unc/SRV/ZOR", "appdata"})
            QDir(dir->path()).mkpath(QLatin1StringView(sub));
        Folders::setProgramFolder(path(QStringLiteral("program")));
        qputenv("ZOR_UNC_ROOT", path(QStringLiteral("unc")).toUtf8());
        ResetGlobals();
        UiRecorder::install();
        Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
        Parametres.ConfigDir = QStringLiteral("\\\\SRV\\ZOR\\");
    }

    QString path(const QString& relative) const { return dir->path() + u'/' + relative; }
    QString program(const QString& name) const { return path(QStringLiteral("program/") + name); }
    QString shared(const QString& name) const
    {
        return path(QStringLiteral("unc/SRV/ZOR/") + name);
    }

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
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Only the file's presence matters to the settings readers.
    void addLanguageFile(int number) const
    {
        write(program(QStringLiteral("Zor_Lg%1.txt").arg(number, 2, 10, QChar(u'0'))), "x");
    }

    static QString lastMessage()
    {
        const auto boxes = UiRecorder::callsOf(UiRecorder::Kind::MessageBox);
        return boxes.isEmpty() ? QStringLiteral("") : boxes.last().text;
    }
};
