#include "EditorTestSupport.h"

#include "AgentDirectory.h"
#include "AgentRights.h"
#include "ColourChooser.h"
#include "Folders.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "StationSettings.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QTabBar>
#include <QTest>
#include <QTimer>

namespace EditorTestSupport {

Setup::Setup(bool withIcon)
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("unc/SRV/ZOR"));
    root.mkpath(QStringLiteral("appdata"));
    const QDir build(QStringLiteral(ZOR_BUILD_PROGRAM_DIR));
    QStringList names = build.entryList({QStringLiteral("Zor_Lg*.txt")}, QDir::Files);
    names << QStringLiteral("model.ini");
    if (withIcon)
        names << QStringLiteral("Zorcfg16.ico");
    for (const QString& name : names)
        QFile::copy(build.filePath(name), programFile(name));
    ResetGlobals();
    Folders::setProgramFolder(m_dir.filePath(QStringLiteral("program")));
    qputenv("ZOR_UNC_ROOT", m_dir.filePath(QStringLiteral("unc")).toUtf8());
    UiRecorder::install();
    UiServices::setBusy(false);
    AgentDirectory::install({});
    ColourChooser::install([](qint32, QWidget*) { return std::optional<qint32>(); });
    frmCFG::sessionWindows() = {};
}

Setup::~Setup()
{
    Folders::setProgramFolder(QString());
    AgentDirectory::install({});
    ColourChooser::install({});
}

QString Setup::programFile(const QString& name) const
{
    return m_dir.filePath(QStringLiteral("program/") + name);
}

QString Setup::sharedFolder() const
{
    return m_dir.filePath(QStringLiteral("unc/SRV/ZOR"));
}

QString Setup::sharedFile(const QString& name) const
{
    return sharedFolder() + u'/' + name;
}

void Setup::startUp(quint16 port, int langue)
{
    StationIniPath = m_dir.filePath(QStringLiteral("appdata/zor.ini"));
    const QByteArray station = "[AGENT]\r\nLangue=" + QByteArray::number(langue) +
                               "\r\n[VOICE_SERVER]\r\nVS_addr=127.0.0.1\r\nVS_port=20772\r\n"
                               "Recv_timeout=10\r\n[CONFIG]\r\nServer_Tcp=" +
                               (port ? "1" : "0") +
                               "\r\nTCP_port=" + QByteArray::number(qint16(port)) +
                               "\r\nPATH_config=SRV\r\n";
    writeFile(StationIniPath, station);
    Languages::LoadLanguageFile();
    StationSettings::LoadStationSettings();
    Languages::LoadLanguageFile();
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();
}

void Setup::useLanguage(int n)
{
    Parametres.Langue = n;
    LanguageBase = qint16(n * 2000);
    Languages::LoadLanguageFile();
}

frmCFG* openWindow()
{
    auto* window = new frmCFG;
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("the configuration window was not exposed");
    return window;
}

void onNextModal(std::function<void(QWidget* dialog)> act, int attempts)
{
    // A dialog that waits for a server as it loads is shown only afterwards.
    QTimer::singleShot(attempts < 1000 ? 10 : 0, qApp, [act = std::move(act), attempts]() mutable {
        if (QWidget* dialog = QApplication::activeModalWidget())
            act(dialog);
        else if (attempts > 0)
            onNextModal(std::move(act), attempts - 1);
    });
}

QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names)
        files.insert(name, readFile(folder + u'/' + name));
    return files;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void clickBox(QWidget* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void leaveField(QWidget* field)
{
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &event);
}

QStringList unnamedControls(QWidget* window)
{
    QStringList unnamed;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) || !widget->isEnabled() ||
            widget->focusPolicy() == Qt::NoFocus || widget->focusProxy())
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        if (qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; face && i < face->childCount(); ++i) {
                if (face->child(i)->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed << QStringLiteral("tab %1").arg(i);
            }
            continue;
        }
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << widget->objectName();
    }
    return unnamed;
}

QString message(int n)
{
    return Languages::GetMessageText(qint16(LanguageBase + n));
}

} // namespace EditorTestSupport
