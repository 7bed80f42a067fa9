#include "SessionSupport.h"

#include "Folders.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace SessionSupport {

bool layOut(const QTemporaryDir& dir, bool withStationFile)
{
    const QString program = dir.filePath(QStringLiteral("program"));
    if (!QDir().mkpath(program))
        return false;
    QStringList files = {QStringLiteral("Zor_Lg00.txt"), QStringLiteral("Zor_Lg01.txt"),
                         QStringLiteral("Zor_Lg02.txt"), QStringLiteral("model.ini")};
    if (withStationFile)
        files.append(QStringLiteral("zor.ini"));
    for (const QString& file : files) {
        if (!QFile::copy(QDir(QStringLiteral(ZOR_PROGRAM_DIR)).filePath(file),
                         QDir(program).filePath(file)))
            return false;
    }
    Folders::setProgramFolder(program);
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    return true;
}

QString stationFile(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("config/Q.R.S/") + Folders::executableBaseName() +
                        QStringLiteral("/zor.ini"));
}

bool writeStationFile(const QString& path, const QStringList& lines)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
    return file.write(bytes) == bytes.size();
}

void onModal(const QString& objectName, std::function<void(QDialog*)> action)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(QStringLiteral("onModal"));
    const QDeadlineTimer deadline(30000);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        const bool shown = dialog && dialog->objectName() == objectName && dialog->isVisible();
        if (!shown && !deadline.hasExpired())
            return;
        timer->deleteLater();
        timer->stop();
        if (shown)
            action(dialog);
    });
    timer->start(10);
}

void dropPendingActions()
{
    const QList<QTimer*> timers = QCoreApplication::instance()->findChildren<QTimer*>(
        QStringLiteral("onModal"), Qt::FindDirectChildrenOnly);
    for (QTimer* timer : timers)
        delete timer;
}

void type(QWidget* window, const char* field, const QString& text)
{
    auto* edit = window->findChild<QLineEdit*>(QLatin1StringView(field));
    QVERIFY2(edit, field);
    edit->clear();
    // Key clicks carry ASCII only; other text is inserted as typed text is.
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}

void click(QWidget* window, const char* button)
{
    auto* target = window->findChild<QPushButton*>(QLatin1StringView(button));
    QVERIFY2(target, button);
    QTest::mouseClick(target, Qt::LeftButton);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace SessionSupport
