#pragma once

#include "UiServices.h"

#include <QList>
#include <QString>

#include <functional>

// The recording implementation of the UI hooks, for tests: every call is kept
// in order, message boxes answer from a queue (Ok when it is empty), dialogs
// answer through a handler, and the end of the program throws ProgramEnded so
// that the test goes on.
namespace UiRecorder {

enum class Kind
{
    MessageBox,
    Beep,
    Dialog,
    Help,
    Busy,
    End
};

struct Call
{
    Kind kind;
    QString text;  // message text, help file
    QString title; // message title
    UiServices::Icon icon = UiServices::Icon::None;
    int value = 0; // buttons, dialog, help context, busy flag, exit code
};

struct ProgramEnded
{
    int exitCode;
};

// Installs the recorder and forgets earlier calls, answers and handler.
void install();

QList<Call>& calls();
QList<Call> callsOf(Kind kind);
int count(Kind kind);

// Answers for the next message boxes, in order.
void queueAnswer(UiServices::Answer answer);

// Runs when code asks for a dialog; its result is the dialog's Valide.
// Without a handler every dialog answers false.
void setDialogHandler(std::function<bool(UiServices::Dialog)> handler);

// Runs at each call once it is recorded: a look at the program at that moment.
void setWatcher(std::function<void(const Call&)> watcher);

// Runs fn and reports whether it ended the program.
bool endsProgram(const std::function<void()>& fn);

} // namespace UiRecorder
