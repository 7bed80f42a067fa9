#include "DirectoryClient.h"
#include "HistoryProtocol.h"
#include "Passerelle.h"
#include "Pictures.h"
#include "QtUi.h"
#include "StartUp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(ZOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("ZorCFG"));
    QApplication::setWindowIcon(QIcon(Pictures::ApplicationIcon()));
    QtUi::install();
    DirectoryClient::install();
    Passerelle::ClientProgram = HistoryProtocol::Client::ZorCFG;
    StartUp::Run();
    const int exitCode = QApplication::exec();
    StartUp::Shutdown();
    return exitCode;
}
