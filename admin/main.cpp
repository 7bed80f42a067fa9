// zoradm: the ZorCFG settings from the command line. See AdminCommandLine.cpp
// for the commands and ExitCodes.h for the exit status.
#include "AdminCommandLine.h"
#include "AdminCommands.h"
#include "ConsoleUi.h"
#include "DirectoryClient.h"
#include "ExitCodes.h"
#include "HistoryProtocol.h"
#include "Passerelle.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ConsoleUi::install();
    DirectoryClient::install();
    Passerelle::ClientProgram = HistoryProtocol::Client::Zoradm;
    const AdminCommandLine::Parsed parsed = AdminCommandLine::Parse(QCoreApplication::arguments());
    if (parsed.options.help) {
        ConsoleUi::print(AdminCommandLine::Help(parsed.options.command).trimmed());
        return ExitCodes::Done;
    }
    if (!parsed.error.isEmpty() || parsed.options.command.isEmpty()) {
        ConsoleUi::error(QStringLiteral("zoradm: ") + (parsed.error.isEmpty()
                                                           ? QStringLiteral("missing command")
                                                           : parsed.error));
        ConsoleUi::error(QStringLiteral("Try 'zoradm --help' for more information."));
        return ExitCodes::Usage;
    }
    const int code = AdminCommands::Run(parsed.options);
    std::fflush(stdout);
    return code;
}
