#pragma once

// Reading the system's font configuration takes a few milliseconds of the
// start-up, before the first window can lay out any text. The program starts
// it on a second thread at once, while it loads its settings and builds its
// first window, and waits for it before the first text is measured.
namespace FontWarmUp {

// Starts reading the font configuration; nothing where Qt does not use the
// system's font configuration library.
void start();

// Returns once the font configuration is read (at once when start() was not
// called or has finished). Called before the first window lays out text.
void wait();

} // namespace FontWarmUp
