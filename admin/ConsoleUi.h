#pragma once

#include <QString>

#include <functional>

// The UI hooks for a program without windows: message boxes go to standard
// error with their texts, dialogs answer false (Cancel), and the end of the
// program exits with ExitCodes::Ended. Nothing waits for a person.
namespace ConsoleUi {

void install();

// How many failures (exclamation and critical messages) were reported.
int failures();

// Called when the run ends as the program would end: it says what the run
// has to say and gives the exit status instead of ExitCodes::Ended. Empty to
// remove it.
void setEnding(std::function<int()> ending);

// A line on standard output or standard error, UTF-8.
void print(const QString& line);
void error(const QString& line);

} // namespace ConsoleUi
