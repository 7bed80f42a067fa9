#include "QtUi.h"

#include "UiServices.h"

#include <QApplication>
#include <QMessageBox>

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

} // namespace

namespace QtUi {

void install()
{
    UiServices::Hooks& hooks = UiServices::hooks();
    hooks.messageBox = [](const QString& text, const QString& title, UiServices::Icon icon,
                          UiServices::Buttons buttons) {
        QMessageBox box(toQt(icon), title, text, toQt(buttons));
        QApplication::restoreOverrideCursor();
        return fromQt(box.exec());
    };
    hooks.beep = [] { QApplication::beep(); };
    hooks.showHelp = [](const QString& helpFile, int context) {
#ifdef Q_OS_WIN
        // HH_HELP_CONTEXT (15): the topic of a context number, no owner window.
        HtmlHelpA(nullptr, helpFile.toLocal8Bit().constData(), HH_HELP_CONTEXT,
                  static_cast<DWORD_PTR>(context));
#else
        HelpWindow::showTopic(helpFile, context);
#endif
    };
    hooks.setBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.endProgram = [](int exitCode) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(exitCode);
    };
}

} // namespace QtUi
