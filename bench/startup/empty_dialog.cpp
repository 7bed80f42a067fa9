// The baseline of bench_startup: a Qt Widgets program that shows an empty
// dialog, says so and ends, as ZorCFG does at its login dialog when
// ZORCFG_EXIT_AT_LOGIN is set.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
    QTimer::singleShot(0, &dialog, [] {
        std::printf("empty dialog shown\n");
        std::fflush(stdout);
        std::_Exit(0);
    });
    dialog.exec();
    return 0;
}
