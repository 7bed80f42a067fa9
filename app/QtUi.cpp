#include "QtUi.h"

#include "InstanceLock.h"
#include "Passerelle.h"
#include "SettingsMessages.h"
#include "frmPwd.h"
#include "frmSplash.h"
#include "frmconnexion.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>

#include <htmlhelp.h>
#else
#include "HelpWindow.h"
#endif

#include <cstdio>
#include <cstdlib>

namespace {

QMessageBox::Icon toQt(UiServices::Icon icon)
{
    switch (icon) {
    case UiServices::Icon::Information:
        return QMessageBox::Information;
    case UiServices::Icon::Exclamation:
        return QMessageBox::Warning;
    case UiServices::Icon::Critical:
        return QMessageBox::Critical;
    case UiServices::Icon::Question:
        return QMessageBox::Question;
    case UiServices::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(UiServices::Buttons buttons)
{
    switch (buttons) {
    case UiServices::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case UiServices::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case UiServices::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

UiServices::Answer fromQt(int button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return UiServices::Answer::Cancel;
    case QMessageBox::Yes:
        return UiServices::Answer::Yes;
    case QMessageBox::No:
        return UiServices::Answer::No;
    default:
        return UiServices::Answer::Ok;
    }
}

UiServices::Answer firstButton(UiServices::Buttons buttons)
{
    return buttons == UiServices::Buttons::YesNo ? UiServices::Answer::Yes : UiServices::Answer::Ok;
}

UiServices::Answer messageBox(const QString& text, const QString& title, UiServices::Icon icon,
                              UiServices::Buttons buttons)
{
    if (QtUi::exitAtLogin()) {
        std::printf("ZorCFG: message %s: %s\n", qPrintable(title), qPrintable(text));
        std::fflush(stdout);
        return firstButton(buttons);
    }
    QMessageBox box(toQt(icon), title, text, toQt(buttons));
    // The pointer is an arrow over the box, whatever the program is doing.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int button = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    return fromQt(button);
}

void setBusy(bool busy)
{
    if (busy && !QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (busy)
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

bool showLogin()
{
    frmPwd dialog;
    if (QtUi::exitAtLogin()) {
        QTimer::singleShot(0, &dialog, [] {
            std::printf("ZorCFG: login dialog shown\n");
            QtUi::endProgram(0);
        });
    }
    dialog.exec();
    return dialog.Valide;
}

} // namespace

namespace QtUi {

bool exitAtLogin()
{
    static const bool probe = qEnvironmentVariableIsSet("ZORCFG_EXIT_AT_LOGIN");
    return probe;
}

bool showDialog(UiServices::Dialog dialog)
{
    switch (dialog) {
    case UiServices::Dialog::Connection:
        if (exitAtLogin()) {
            std::printf("ZorCFG: connection dialog cancelled\n");
            return false;
        }
        return frmconnexion::ShowModal();
    case UiServices::Dialog::Login:
        return showLogin();
    }
    return false;
}

// Until the help window exists, a Help button says plainly that there is no
// help to show.
void showHelp(const QString& helpFile, int context)
{
#ifdef Q_OS_WIN
    // HH_HELP_CONTEXT (15): the topic of a context number, no owner window.
    HtmlHelpA(nullptr, helpFile.toLocal8Bit().constData(), HH_HELP_CONTEXT,
              static_cast<DWORD_PTR>(context));
#else
    HelpWindow::showTopic(helpFile, context);
#endif
}

void endProgram(int exitCode)
{
    Passerelle::CloseSession();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        window->hide();
    frmSplash::Unload();
    InstanceLock::Release();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

void install()
{
    UiServices::Hooks& hooks = UiServices::hooks();
    hooks.messageBox = messageBox;
    hooks.beep = [] { QApplication::beep(); };
    hooks.showDialog = showDialog;
    hooks.showHelp = showHelp;
    hooks.setBusy = setBusy;
    hooks.endProgram = endProgram;
}

} // namespace QtUi
