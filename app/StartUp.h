#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class frmSplash;

// The window that hosts the gateway's socket: the splash window, from step 9
// of the start-up on.
extern QPointer<frmSplash> GatewayHost;
// The configuration window created at the end of the start-up.
extern QPointer<QWidget> MainWindow;

// The start-up sequence, from the station settings to the configuration
// window. Every refusal on the way ends the program at once, storing nothing.
namespace StartUp {

// The whole sequence: settings, splash, supervisor settings, login, and the
// configuration window shown. Returns when the program is driven by the
// configuration window's events.
void Run();

// The per-user station settings file, created from the program folder's copy
// when it is missing.
QString ResolveStationFile();

// Creates and loads the configuration window (not shown).
QWidget* CreateMainWindow();

// The end of a run whose configuration window has closed: the splash window
// unloaded (which ends the socket) and the instance lock given back.
void Shutdown();

} // namespace StartUp
