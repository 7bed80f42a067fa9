#pragma once

#include "UiServices.h"

#include <QString>

// The Qt implementation of the UI services: message boxes with their icon,
// buttons and title, the beep, the busy flag shown as the wait cursor, the
// modal dialogs the core asks for, help, and the end of the program.
namespace QtUi {

void install();

// The real dialogs, shown modal; returns their Valide. Tests that drive the
// real windows answer UiServices::showDialog with it.
bool showDialog(UiServices::Dialog dialog);

// Opens the help file at a context number.
void showHelp(const QString& helpFile, int context);

// Ends the program at once: the socket closed, the windows closed, the
// instance lock given back.
[[noreturn]] void endProgram(int exitCode);

// Set in the environment, ZORCFG_EXIT_AT_LOGIN makes the program an
// unattended probe for benchmarks and process tests: message boxes are
// written to standard output ("ZorCFG: message <title>: <text>") and answered
// with their first button instead of being shown, and when the login dialog
// is shown the program writes "ZorCFG: login dialog shown" and ends.
bool exitAtLogin();

} // namespace QtUi
