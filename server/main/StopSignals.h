#pragma once

#include <functional>

class QObject;

// The ways a server is asked to stop from outside: SIGTERM and SIGINT on
// Unix, Ctrl+C and the console closing on Windows.
namespace StopSignals {

// Runs onStop on the thread of context's event loop each time a stop is
// asked for. False when the handlers cannot be installed.
bool install(QObject* context, std::function<void()> onStop);

// Each connection takes a descriptor: allow as many as the system lets us.
void raiseDescriptorLimit();

} // namespace StopSignals
