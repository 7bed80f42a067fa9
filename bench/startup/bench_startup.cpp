// Start-up speed: the time from the process start to the login dialog shown,
// offscreen, in server mode against a real zorsrv, against a Qt Widgets
// program that shows a dialog with one label of text (reading the font
// configuration and loading a font, which any window with text needs); the
// peak resident memory of that run against the same program's empty dialog.
// For information, the time against the empty dialog too. The three
// alternate in the same run; medians are compared.
//   bench_startup [rounds]

#include "ZorsrvProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Run
{
    bool ok = false;
    double ms = 0;   // process start to the line that says the dialog is shown
    long peakKb = 0; // peak resident memory
};

// Starts the program with the environment given, waits (at most 60 s) for a
// line holding "shown" on its standard output, then for its end.
Run measure(const char* program, const std::vector<std::string>& env)
{
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(program), nullptr};
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    Run run;
    std::string text;
    while (spawned == 0 && text.find("shown") == std::string::npos && clock.elapsed() < 60000) {
        pollfd fd{out[0], POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    run.ms = double(clock.nsecsElapsed()) / 1e6;
    run.ok = text.find("shown") != std::string::npos;
    close(out[0]);
    if (spawned != 0)
        return {};
    if (!run.ok)
        kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.peakKb = usage.ru_maxrss;
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::vector<std::string> environment(const QTemporaryDir& home)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("XDG_", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("ZORCFG_EXIT_AT_LOGIN=1");
    env.push_back("XDG_CONFIG_HOME=" + home.filePath(QStringLiteral("config")).toStdString());
    env.push_back("XDG_RUNTIME_DIR=" + home.filePath(QStringLiteral("runtime")).toStdString());
    return env;
}

bool writeStation(const QTemporaryDir& home, quint16 port)
{
    const QString folder = home.filePath(QStringLiteral("config/Q.R.S/ZorCFG"));
    QDir().mkpath(folder);
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile file(folder + QStringLiteral("/zor.ini"));
    const QByteArray text = "[VOICE_SERVER]\r\nVS_addr=127.0.0.1\r\n[CONFIG]\r\nServer_Tcp=1\r\n"
                            "TCP_port=" +
                            QByteArray::number(port) + "\r\n";
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    ZorsrvProcess server;
    QTemporaryDir home;
    if (!home.isValid() || !server.startOnStationPort() || !writeStation(home, server.port())) {
        std::fprintf(stderr, "bench_startup: the server or the station file failed: %s\n",
                     qPrintable(server.errorText()));
        return 1;
    }
    const std::vector<std::string> env = environment(home);
    std::vector<double> programMs, baselineMs, labelMs, programKb, baselineKb;
    measure(ZORCFG_PATH, env); // warm the file cache for all three
    measure(EMPTY_DIALOG_PATH, env);
    measure(LABEL_DIALOG_PATH, env);
    for (int i = 0; i < rounds; ++i) {
        const Run program = measure(ZORCFG_PATH, env);
        const Run baseline = measure(EMPTY_DIALOG_PATH, env);
        const Run label = measure(LABEL_DIALOG_PATH, env);
        if (!program.ok || !baseline.ok || !label.ok) {
            std::fprintf(stderr, "bench_startup: a run did not reach its dialog (%s)\n",
                         !program.ok    ? "ZorCFG"
                         : !baseline.ok ? "empty dialog"
                                        : "label dialog");
            return 1;
        }
        programMs.push_back(program.ms);
        baselineMs.push_back(baseline.ms);
        labelMs.push_back(label.ms);
        programKb.push_back(double(program.peakKb));
        baselineKb.push_back(double(baseline.peakKb));
    }
    const double timeRatio = median(programMs) / median(labelMs);
    const double memoryRatio = median(programKb) / median(baselineKb);
    std::printf(
        "start to the login dialog, server mode:  %8.1f ms  peak %7.0f kB  (median of %d)\n",
        median(programMs), median(programKb), rounds);
    std::printf("start to a dialog with one label (time baseline):  %8.1f ms\n", median(labelMs));
    std::printf("start to an empty dialog (memory baseline):        %8.1f ms  peak %7.0f kB\n",
                median(baselineMs), median(baselineKb));
    std::printf("login dialog / empty dialog, for information:      %8.2f x\n",
                median(programMs) / median(baselineMs));
    std::printf("one label / empty dialog, for information:         %8.2f x\n",
                median(labelMs) / median(baselineMs));
    std::printf("RESULT startup_time ratio=%.2f target<=1.75\n", timeRatio);
    std::printf("RESULT startup_memory ratio=%.2f target<=1.5\n", memoryRatio);
    return 0;
}
