#include "ConsoleUi.h"

#include "ExitCodes.h"
#include "UiServices.h"

#include <cstdio>
#include <cstdlib>

namespace {

int g_failures = 0;
std::function<int()> g_ending;

void write(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = (line + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

} // namespace

namespace ConsoleUi {

void install()
{
    UiServices::Hooks& hooks = UiServices::hooks();
    hooks.messageBox = [](const QString& text, const QString& title, UiServices::Icon icon,
                          UiServices::Buttons buttons) {
        if (icon == UiServices::Icon::Exclamation || icon == UiServices::Icon::Critical)
            ++g_failures;
        error(QStringLiteral("zoradm: %1: %2").arg(title, text));
        // Nobody answers: a question is declined.
        if (buttons == UiServices::Buttons::YesNo)
            return UiServices::Answer::No;
        return buttons == UiServices::Buttons::OkCancel ? UiServices::Answer::Cancel
                                                        : UiServices::Answer::Ok;
    };
    hooks.beep = [] {};
    hooks.showDialog = [](UiServices::Dialog) { return false; };
    hooks.showHelp = [](const QString&, int) {};
    hooks.setBusy = [](bool) {};
    hooks.endProgram = [](int) {
        const int code = g_ending ? g_ending() : ExitCodes::Ended;
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    };
}

int failures()
{
    return g_failures;
}

void setEnding(std::function<int()> ending)
{
    g_ending = std::move(ending);
}

void print(const QString& line)
{
    write(stdout, line);
}

void error(const QString& line)
{
    write(stderr, line);
}

} // namespace ConsoleUi
