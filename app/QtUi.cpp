#include "QtUi.h"

#include "Ui.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace {

QMessageBox::Icon toQt(Ui::Icon icon)
{
    switch (icon) {
    case Ui::Icon::Information:
        return QMessageBox::Information;
    case Ui::Icon::Exclamation:
        return QMessageBox::Warning;
    case Ui::Icon::Critical:
        return QMessageBox::Critical;
    case Ui::Icon::Question:
        return QMessageBox::Question;
    case Ui::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(Ui::Buttons buttons)
{
    switch (buttons) {
    case Ui::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Ui::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Ui::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

Ui::Answer fromQt(int button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return Ui::Answer::Cancel;
    case QMessageBox::Yes:
        return Ui::Answer::Yes;
    case QMessageBox::No:
        return Ui::Answer::No;
    default:
        return Ui::Answer::Ok;
    }
}

} // namespace

namespace QtUi {

void install()
{
    Ui::Hooks& hooks = Ui::hooks();
    hooks.messageBox = [](const QString& text, const QString& title, Ui::Icon icon,
                          Ui::Buttons buttons) {
        QMessageBox box(toQt(icon), title, text, toQt(buttons));
        QApplication::restoreOverrideCursor();
        return fromQt(box.exec());
    };
    hooks.beep = [] { QApplication::beep(); };
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
