#pragma once

#include <QString>

// The UI hooks for a program without windows: message boxes go to standard
// error with their texts, dialogs answer false (Cancel), and the end of the
// program exits with ExitCodes::Ended. Nothing waits for a person.
namespace ConsoleUi {

void install();

// How many failures (exclamation and critical messages) were reported.
int failures();

// A line on standard output or standard error, UTF-8.
void print(const QString& line);
void error(const QString& line);

} // namespace ConsoleUi
