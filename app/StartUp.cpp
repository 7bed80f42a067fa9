#include "StartUp.h"

#include "AgentRights.h"
#include "Folders.h"
#include "InstanceLock.h"
#include "Languages.h"
#include "Passerelle.h"
#include "RemoteTransfers.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "frmSplash.h"
#include "frm_Apropos.h"

#include <QApplication>
#include <QDir>

QPointer<frmSplash> GatewayHost;
QPointer<QWidget> MainWindow;

namespace StartUp {

QString ResolveStationFile()
{
    const QString programFolder = Folders::programFolder();
    const QString source = Folders::join(programFolder, QString()); // ends with the separator
    const QByteArray tarvello = SettingsFolders::ReadIniValue(
        "Config", "Tarvello", "0", Folders::join(programFolder, QStringLiteral("zor.ini")));
    const QString sub =
        tarvello.startsWith('1') ? QStringLiteral("ZOR") : Folders::executableBaseName();
    const QString base =
        SettingsFolders::GetAppDataFolder() + QStringLiteral("Q.R.S") + QDir::separator();
    return SettingsFolders::ResolveIniFile(QStringLiteral("zor.ini"), sub, source, base, true);
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
    UiServices::setBusy(true);              // 1
    StationIniPath = ResolveStationFile();  // 2 to 4
    Languages::LoadLanguageFile();          // 5, 6
    StationSettings::LoadStationSettings(); // 7
    AgentRights::GetModel_Ini();            // 8
    GatewayHost = &frmSplash::Load();       // 9
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
