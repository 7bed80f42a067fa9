// Opening the History window against a real zorsrv whose audit holds 100,000
// writes (the most the default retention keeps), until its first page is
// shown; against the same window on a server whose audit is empty, in the
// same run. The target is absolute: the first page within 100 ms.
//   bench_history [rounds]

#include "AgentRights.h"
#include "AuditFixture.h"
#include "Folders.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "UiServices.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmHistory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int AuditRows = 100000;
constexpr int Agents = 50;
constexpr double TargetMs = 100;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The window made, loaded with its first page and shown; -1 when no row came.
double openHistory(const ZorsrvProcess& server, const AgentsList::Rows& agents, bool rows)
{
    Parametres.TcpPort = qint16(server.port());
    QElapsedTimer clock;
    clock.start();
    frmHistory window(agents, 0, nullptr);
    window.show();
    QApplication::processEvents();
    const double ms = clock.nsecsElapsed() / 1e6;
    const bool shown = window.model().rowCount() > 0;
    return shown == rows ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    UiServices::hooks().messageBox = [](const QString&, const QString&, UiServices::Icon,
                                        UiServices::Buttons) { return UiServices::Answer::Ok; };
    Folders::setProgramFolder(QStringLiteral(ZOR_BUILD_PROGRAM_DIR));

    ZorsrvProcess full, empty;
    QElapsedTimer filling;
    filling.start();
    if (!AuditFixture::write(full.databasePath(), AuditRows, Agents,
                             QDateTime::currentDateTimeUtc().addDays(-80)) ||
        !full.start() || !empty.start()) {
        std::fprintf(stderr, "bench_history: %s%s\n", qPrintable(full.errorText()),
                     qPrintable(empty.errorText()));
        return 1;
    }
    std::printf("audit of %d rows written and zorsrv started in %.1f s\n", AuditRows,
                filling.nsecsElapsed() / 1e9);
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.VS_port = QStringLiteral("20772");
    Parametres.Poste = QStringLiteral("0000");
    Parametres.TcpPort = qint16(full.port());
    RecvTimeout = 10;
    Languages::LoadLanguageFile();
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();
    AgentsList::Rows agents;
    for (int agent = 1; agent <= Agents; ++agent)
        agents.push_back(AgentsList::makeRow(QString::number(agent), QString()));

    openHistory(full, agents, true); // warm-up of both
    openHistory(empty, agents, false);
    std::vector<double> opened, baseline;
    for (int round = 0; round < rounds; ++round) {
        opened.push_back(openHistory(full, agents, true));
        baseline.push_back(openHistory(empty, agents, false));
    }
    if (std::count(opened.begin(), opened.end(), -1) +
            std::count(baseline.begin(), baseline.end(), -1) >
        0) {
        std::fprintf(stderr, "bench_history: a window did not show what its audit holds\n");
        return 1;
    }
    std::printf("History window, first page shown, median of %d rounds:\n", rounds);
    std::printf("  audit of %d rows   %.3f ms (slowest %.3f ms)\n", AuditRows, median(opened),
                *std::max_element(opened.begin(), opened.end()));
    std::printf("  empty audit          %.3f ms\n", median(baseline));
    std::printf("RESULT history_first_page ratio=%.3f target<=1\n", median(opened) / TargetMs);
    return 0;
}
