#include "DirectoryClient.h"
#include "QtUi.h"
#include "StartUp.h"
#include "UiServices.h"
#include "Variables.h"

#include <QApplication>

#include <cstdio>

namespace {

// What start-up loaded, for the supervisor until the login and the
// configuration window take over.
void printSettings()
{
    const SettingsRecord& p = Parametres;
    std::printf("ZorCFG: settings loaded\n");
    std::printf("  station file      %s\n", qPrintable(StationIniPath));
    std::printf("  mode              %s\n", p.TcpPort ? "configuration server" : "shared folder");
    std::printf("  server            %s:%d\n", qPrintable(p.VS_addr), p.TcpPort);
    if (!p.TcpPort)
        std::printf("  shared folder     %s\n", qPrintable(p.ConfigDir));
    std::printf("  language          %d (%s)\n", p.Langue, qPrintable(LanguageFilePath));
    std::printf("  journal days      %d\n", p.NbJourStockJournal);
    std::printf("  thresholds        T1 %d%%, T2 %d%%\n", p.TauxActiviteT1, p.TauxActiviteT2);
    std::printf("  link mode         %d (%s)\n", p.ModeLie, qPrintable(p.ModeLieApp));
    for (const ColourDef& colour : ColourTable) {
        const unsigned bgr = unsigned(p.*colour.field); // red in the low byte
        std::printf("  %-17s #%02X%02X%02X\n", colour.key, bgr & 0xFFu, (bgr >> 8) & 0xFFu,
                    (bgr >> 16) & 0xFFu);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QtUi::install();
    DirectoryClient::install();
    StartUp::PrepareSettings();
    UiServices::setBusy(false);
    printSettings();
    return 0;
}
