#include "UiServices.h"

#include <cstdio>
#include <cstdlib>

namespace UiServices {

Hooks& hooks()
{
    static Hooks installed;
    return installed;
}

Answer messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    if (hooks().messageBox)
        return hooks().messageBox(text, title, icon, buttons);
    std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
    return Answer::Ok;
}

void beep()
{
    if (hooks().beep)
        hooks().beep();
}

bool showDialog(Dialog dialog)
{
    return hooks().showDialog ? hooks().showDialog(dialog) : false;
}

void showHelp(const QString& helpFile, int context)
{
    if (hooks().showHelp)
        hooks().showHelp(helpFile, context);
}

namespace {
bool busyFlag = false;
} // namespace

void setBusy(bool busy)
{
    busyFlag = busy;
    if (hooks().setBusy)
        hooks().setBusy(busy);
}

bool isBusy()
{
    return busyFlag;
}

void endProgram(int exitCode)
{
    if (hooks().endProgram)
        hooks().endProgram(exitCode);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

} // namespace UiServices
