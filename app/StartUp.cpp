#include "StartUp.h"

#include "Folders.h"
#include "InstanceLock.h"
#include "Passerelle.h"
#include "RemoteTransfers.h"
#include "SettingsLoad.h"
#include "StationFile.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "frmSplash.h"
#include "frm_Apropos.h"

#include <QApplication>

QPointer<frmSplash> GatewayHost;
QPointer<QWidget> MainWindow;

namespace StartUp {

QString ResolveStationFile()
{
    return StationFile::Resolve(Folders::executableBaseName());
}

// The configuration window reaches the About box and the splash window
// through the session's own windows.
QWidget* CreateMainWindow()
{
    frmCFG::sessionWindows().showAbout = [](QWidget* owner) { frm_Apropos::ShowModal(owner); };
    frmCFG::sessionWindows().unloadSplash = [] { frmSplash::Unload(); };
    return new frmCFG;
}

void Run()
{
    // While the start-up's own windows come and go, none of them ends the
    // program by closing; the configuration window does.
    QApplication::setQuitOnLastWindowClosed(false);
    InstanceLock::Take();                  // a second instance is refused at its login (11)
    UiServices::setBusy(true);             // 1
    StationIniPath = ResolveStationFile(); // 2 to 4
    SettingsLoad::LoadLocalSettings();     // 5 to 8
    GatewayHost = &frmSplash::Load();      // 9
    Passerelle::SetSocket(GatewayHost->Wsock());
    GatewayHost->show();
    RemoteTransfers::FetchSupervisorSettings(); // 10
    if (!UiServices::showDialog(UiServices::Dialog::Login))
        UiServices::endProgram();    // 11; the dialog is unloaded when it closes (12)
    UiServices::setBusy(true);       // 13
    MainWindow = CreateMainWindow(); // 14
    GatewayHost->hide();             // 15
    UiServices::setBusy(false);      // 16
    MainWindow->show();              // 17
    QApplication::setQuitOnLastWindowClosed(true);
}

void Shutdown()
{
    delete MainWindow.data();
    frmSplash::Unload();
    InstanceLock::Release();
}

} // namespace StartUp
