#pragma once

#include <QString>

#include <functional>

// Everything the user sees or answers outside a window's own controls goes
// through here: message boxes, the beep, the modal dialogs that code asks for,
// help, the busy pointer and ending the program. The app installs the Qt
// implementation; tests install UiRecorder, which records each call and
// answers it.
namespace UiServices {

enum class Icon
{
    None,
    Information,
    Exclamation,
    Critical,
    Question
};
enum class Buttons
{
    Ok,
    OkCancel,
    YesNo
};
enum class Answer
{
    Ok,
    Cancel,
    Yes,
    No
};

// Modal dialogs that code outside the windows asks for. Each returns its
// public Valide when it has closed.
enum class Dialog
{
    Connection,
    Login
};

struct Hooks
{
    std::function<Answer(const QString& text, const QString& title, Icon icon, Buttons buttons)>
        messageBox;
    std::function<void()> beep;
    std::function<bool(Dialog dialog)> showDialog;
    std::function<void(const QString& helpFile, int context)> showHelp;
    std::function<void(bool busy)> setBusy;
    // Ends the program at once. An implementation that returns (a test's)
    // must leave by throwing; UiServices::endProgram never returns to its caller.
    std::function<void(int exitCode)> endProgram;
};

// The installed hooks. Unset hooks fall back to quiet defaults: messages go
// to standard error and answer Ok, dialogs answer false, the end is _Exit.
Hooks& hooks();

Answer messageBox(const QString& text, const QString& title, Icon icon,
                  Buttons buttons = Buttons::Ok);
void beep();
bool showDialog(Dialog dialog);
void showHelp(const QString& helpFile, int context);
void setBusy(bool busy);
// The program-wide busy flag, as the last setBusy left it.
bool isBusy();
[[noreturn]] void endProgram(int exitCode = 0);

} // namespace UiServices
