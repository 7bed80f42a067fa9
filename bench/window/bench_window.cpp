// Speed of the configuration window against a real zorsrv on loopback:
//  - opening it: the whole load (languages, pages, the agents list with the
//    rights of 32 agents fetched from the server) and the first show, against
//    showing an empty tabbed window with as many widgets;
//  - OK storing 32 changed agents and the supervisor record, against a plain
//    client making the same exchanges.
// Both pairs alternate in the same run; medians are compared.
//   bench_window [rounds]

#include "AgentRights.h"
#include "AgentsModel.h"
#include "Folders.h"
#include "Languages.h"
#include "Layout.h"
#include "RawClient.h"
#include "RemoteTransfers.h"
#include "UiServices.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmCFG.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Agents = 32;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void settle()
{
    QApplication::processEvents();
}

// The load and the first show of the configuration window; the window is
// returned loaded and shown.
frmCFG* openWindow(double& ms)
{
    QElapsedTimer clock;
    clock.start();
    auto* window = new frmCFG;
    window->show();
    settle();
    ms = clock.nsecsElapsed() / 1e6;
    return window;
}

// An empty tabbed window with `count` plain widgets over three pages.
double openEmptyTabs(int count)
{
    QElapsedTimer clock;
    clock.start();
    auto* window = new QWidget;
    auto* layout = new QVBoxLayout(window);
    auto* tabs = new QTabWidget(window);
    layout->addWidget(tabs);
    QWidget* pages[3];
    for (QWidget*& page : pages) {
        page = new QWidget;
        new QVBoxLayout(page);
        tabs->addTab(page, QStringLiteral("Page"));
    }
    for (int i = 0; i < count; ++i)
        pages[i % 3]->layout()->addWidget(new QLabel(QStringLiteral("Label %1").arg(i)));
    window->show();
    settle();
    const double ms = clock.nsecsElapsed() / 1e6;
    delete window;
    return ms;
}

// OK with every agent marked changed (one right turned over) and one option
// changed: 32 agent records and the supervisor record stored.
double storeWithOk(frmCFG* window, int round)
{
    AgentsModel& agents = window->agentsModel();
    for (int row = 0; row < agents.rowCount(); ++row) {
        AgentsList::Row cells = agents.rows()[std::size_t(row)];
        cells.cells[AgentsList::ColStatistics] = round % 2 ? QStringLiteral("X") : QString();
        cells.cells[AgentsList::ColChangeState] = QStringLiteral("1");
        agents.setRow(row, cells);
    }
    QElapsedTimer clock;
    clock.start();
    window->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    const double ms = clock.nsecsElapsed() / 1e6;
    settle();
    return ms;
}

// The same exchanges by a plain client: for each agent a read and a write on
// one connection, then the supervisor record on another.
double storeByPlainClient(quint16 port, int round)
{
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    {
        RawClient client;
        ok = client.connectTo(port) && client.login() == 0;
        for (int agent = 0; ok && agent < Agents; ++agent) {
            QByteArray data = client.read(agent).data;
            data.resize(Layout::AgentDataSize);
            Layout::writeInt(reinterpret_cast<quint8*>(data.data()), Layout::Agent::Droit_Stat,
                             round % 2);
            ok = client.write(agent, data).code() == 0;
        }
    }
    {
        RawClient client;
        ok = ok && client.connectTo(port) && client.login() == 0 &&
             client.write(Layout::SupervisorRecordNumber,
                          QByteArray(Layout::SupervisorDataSize, '\1'))
                     .code() == 0;
    }
    if (!ok)
        std::fprintf(stderr, "bench_window: the plain client's exchanges failed\n");
    return clock.nsecsElapsed() / 1e6;
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

    ZorsrvProcess server;
    if (!server.start()) {
        std::fprintf(stderr, "bench_window: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.VS_port = QStringLiteral("20772");
    Parametres.Poste = QStringLiteral("0000");
    Parametres.TcpPort = qint16(server.port());
    RecvTimeout = 10;
    Languages::LoadLanguageFile();
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();

    double ms = 0;
    frmCFG* probe = openWindow(ms);
    const int widgets = int(probe->findChildren<QWidget*>().size());
    delete probe;
    openEmptyTabs(widgets); // warm-up of both

    std::vector<double> opened, empty, stored, plain;
    for (int round = 0; round < rounds; ++round) {
        frmCFG* window = openWindow(ms);
        opened.push_back(ms);
        empty.push_back(openEmptyTabs(widgets));
        stored.push_back(storeWithOk(window, round));
        plain.push_back(storeByPlainClient(server.port(), round));
    }
    {
        AgentsList::Rows rows;
        for (int agent = 1; agent <= Agents; ++agent)
            rows.push_back(AgentsList::makeRow(QString::number(agent), QString()));
        QElapsedTimer clock;
        clock.start();
        RemoteTransfers::FetchAgentRights(rows);
        std::printf("  rights of %d agents alone   %.3f ms\n", Agents, clock.nsecsElapsed() / 1e6);
    }
    const double openRatio = median(opened) / median(empty);
    const double storeRatio = median(stored) / median(plain);
    std::printf("Configuration window, %d widgets, %d agents from zorsrv, median of %d rounds:\n",
                widgets, Agents, rounds);
    std::printf("  open (load and show)      %.3f ms\n", median(opened));
    std::printf("  empty tabbed window       %.3f ms\n", median(empty));
    std::printf("  OK storing %d agents + supervisor  %.3f ms\n", Agents, median(stored));
    std::printf("  plain client, same exchanges       %.3f ms\n", median(plain));
    std::printf("RESULT window_open ratio=%.3f target<=2\n", openRatio);
    std::printf("RESULT window_store ratio=%.3f target<=2\n", storeRatio);
    return 0;
}
