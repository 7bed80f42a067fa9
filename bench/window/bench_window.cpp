// Speed of the configuration window against a real zorsrv on loopback:
//  - opening it: the whole load (languages, pages, the agents list with the
//    rights of 32 agents fetched from the server) and the first show, against
//    showing an empty tabbed window with as many widgets: the same kinds
//    (tab widget, tree view, combo boxes, line edits, check and option
//    boxes, push buttons, group boxes, frames, labels), counts and nesting as
//    the window's designed widgets, read from a real window at run time, but
//    without texts, data, icons or handlers;
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
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
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

// The widgets the configuration window was designed with: its children
// that carry a name of their own, not the parts Qt builds inside a widget
// (a list's header and scroll bars, a tab widget's bar and stack).
QList<QWidget*> designedChildren(const QWidget* parent)
{
    QList<QWidget*> designed;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->objectName().isEmpty() &&
            !widget->objectName().startsWith(QLatin1String("qt_")))
            designed.append(widget);
    }
    return designed;
}

// The kind of a designed widget and, in their order, its designed children
// (for a tab widget: its pages).
struct Shape
{
    QByteArray kind;
    std::vector<Shape> children;
};

// The Qt class of a widget: a widget of our own counts as the one it extends.
QByteArray kindOf(const QWidget* widget)
{
    const QMetaObject* meta = widget->metaObject();
    while (meta->superClass() && !QByteArray(meta->className()).startsWith('Q'))
        meta = meta->superClass();
    return meta->className();
}

Shape shapeOf(const QWidget* widget)
{
    Shape shape{kindOf(widget), {}};
    if (const auto* tabs = qobject_cast<const QTabWidget*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i)
            shape.children.push_back(shapeOf(tabs->widget(i)));
        return shape;
    }
    for (const QWidget* child : designedChildren(widget))
        shape.children.push_back(shapeOf(child));
    return shape;
}

int countOf(const Shape& shape)
{
    int count = 1;
    for (const Shape& child : shape.children)
        count += countOf(child);
    return count;
}

// A new, empty widget of the kind: no text, no data, no handler. Kinds the
// table does not know become plain widgets.
QWidget* emptyWidget(const QByteArray& kind)
{
    using Make = QWidget* (*)();
    static const QHash<QByteArray, Make> makers = {
        {"QTabWidget", []() -> QWidget* { return new QTabWidget; }},
        {"QTreeView", []() -> QWidget* { return new QTreeView; }},
        {"QComboBox", []() -> QWidget* { return new QComboBox; }},
        {"QLineEdit", []() -> QWidget* { return new QLineEdit; }},
        {"QCheckBox", []() -> QWidget* { return new QCheckBox; }},
        {"QRadioButton", []() -> QWidget* { return new QRadioButton; }},
        {"QPushButton", []() -> QWidget* { return new QPushButton; }},
        {"QGroupBox", []() -> QWidget* { return new QGroupBox; }},
        {"QLabel", []() -> QWidget* { return new QLabel; }},
        {"QFrame", []() -> QWidget* { return new QFrame; }},
    };
    const Make make = makers.value(kind);
    return make ? make() : new QWidget;
}

// The children of the shape, empty, in `widget`: laid out in a plain column,
// or as the tabs of a tab widget.
void addEmptyChildren(const Shape& shape, QWidget* widget)
{
    auto* tabs = qobject_cast<QTabWidget*>(widget);
    auto* column = tabs || shape.children.empty() ? nullptr : new QVBoxLayout(widget);
    for (const Shape& child : shape.children) {
        QWidget* empty = emptyWidget(child.kind);
        addEmptyChildren(child, empty);
        if (tabs)
            tabs->addTab(empty, QString());
        else
            column->addWidget(empty);
    }
}

// The baseline: a window with empty widgets of the kinds, counts and nesting
// of the configuration window's designed ones, made and shown.
double openEmptyTabs(const Shape& shape)
{
    QElapsedTimer clock;
    clock.start();
    auto* window = new QWidget;
    addEmptyChildren(shape, window);
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
    const Shape shape = shapeOf(probe);
    const int widgets = countOf(shape);
    delete probe;
    openEmptyTabs(shape); // warm-up of both

    std::vector<double> opened, empty, stored, plain;
    for (int round = 0; round < rounds; ++round) {
        frmCFG* window = openWindow(ms);
        opened.push_back(ms);
        empty.push_back(openEmptyTabs(shape));
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
