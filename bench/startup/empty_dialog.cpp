// The baseline of bench_startup: a Qt Widgets program that shows an empty
// dialog, says so and ends, as ZorCFG does at its login dialog when
// ZORCFG_EXIT_AT_LOGIN is set. Built with ONE_LABEL, the dialog holds one
// label of text: what showing any text at all adds to the start-up.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
#ifdef ONE_LABEL
    new QLabel(QStringLiteral("Mot de passe :"), &dialog);
#endif
    QTimer::singleShot(0, &dialog, [] {
        std::printf("dialog shown\n");
        std::fflush(stdout);
        std::_Exit(0);
    });
    dialog.exec();
    return 0;
}
