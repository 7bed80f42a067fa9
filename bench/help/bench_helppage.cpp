// The help window showing a hostile page, tables nested 100 deep (about 2 KB,
// which would take the rich-text engine far longer than a minute), against
// showing a topic of the shipped English help file. Each time is the help
// request to the window drawn, with a new window each round.
//   bench_helppage [rounds]

#include "ChmFixtures.h"
#include "Folders.h"
#include "HelpWindow.h"
#include "Languages.h"
#include "UiServices.h"
#include "Variables.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds from the request to the drawn window; -1 when nothing shows.
double show(const QString& file, int context)
{
    delete HelpWindow::instance();
    QElapsedTimer clock;
    clock.start();
    HelpWindow* window = HelpWindow::showTopic(file, context);
    if (window == nullptr)
        return -1;
    window->grab();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    Folders::setProgramFolder(QStringLiteral(ZOR_BUILD_PROGRAM_DIR));
    Parametres.Langue = 1;
    LanguageBase = 2000;
    Languages::LoadLanguageFile();
    int messages = 0;
    UiServices::hooks().messageBox = [&messages](const QString&, const QString&, UiServices::Icon,
                                                 UiServices::Buttons) {
        ++messages;
        return UiServices::Answer::Ok;
    };

    QTemporaryDir folder;
    const QByteArray deep = QByteArray("<table border=1><tr><td>").repeated(100) + "Deepest" +
                            QByteArray("</td></tr></table>").repeated(100);
    const QString hostile = ChmFixtures::compile(
        folder.path(), {{QStringLiteral("index.htm"), "<html><body>" + deep + "</body></html>"}});
    // For information: about the costliest page within the bounds, 120 KB of
    // text inside three tables.
    QTemporaryDir costly;
    const QByteArray three = QByteArray("<table border=1><tr><td>").repeated(3) +
                             QByteArray("words and words ").repeated(7500) +
                             QByteArray("</td></tr></table>").repeated(3);
    const QString bounded = ChmFixtures::compile(
        costly.path(), {{QStringLiteral("index.htm"), "<html><body>" + three + "</body></html>"}});
    const QString shipped = ChmFixtures::compiledFile(1);
    std::vector<double> deepMs;
    std::vector<double> shippedMs;
    for (int round = -3; round < rounds; ++round) {
        const double d = show(hostile, 110);
        const double s = show(shipped, 120);
        if (d < 0 || s < 0 || messages > 0) {
            std::fprintf(stderr, "bench_helppage: a page was not shown\n");
            return 1;
        }
        if (round >= 0) {
            deepMs.push_back(d);
            shippedMs.push_back(s);
        }
    }
    std::vector<double> boundedMs;
    for (int round = 0; round < 5; ++round)
        boundedMs.push_back(show(bounded, 110));
    delete HelpWindow::instance();
    const double ratio = median(deepMs) / median(shippedMs);
    std::printf("help window, tables nested 100 deep, median of %d rounds: %.2f ms\n", rounds,
                median(deepMs));
    std::printf("help window, shipped topic 120 (baseline): %.2f ms\n", median(shippedMs));
    std::printf("help window, 120 KB of text in three tables, within the bounds: %.1f ms\n",
                median(boundedMs));
    std::printf("RESULT help_deep_page ratio=%.3f target<=1.5\n", ratio);
    return 0;
}
