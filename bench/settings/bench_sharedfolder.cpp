// The whole shared-folder fetch: every key of supervis.ini and of 32 agent
// files, against a raw read of the same files' bytes with QFile (and, for
// information, with bare system calls); then the whole store of
// every key, against a raw atomic write of the same bytes (a temporary file
// written, flushed to disk, renamed over the file, and the folder flushed,
// file after file), in the same run.

#include "AgentRights.h"
#include "Folders.h"
#include "SupervisorSettings.h"
#include "Variables.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Agents = 32;
constexpr int ReadRounds = 15;
constexpr int ReadLoops = 20;
constexpr int WriteRounds = 9;
constexpr int WriteLoops = 3;

QByteArray supervisorText()
{
    QByteArray text = "[CONFIG]\r\nmot_de_passe=YI4I/MNH<H(L\r\nNbJourStockJournal= 10\r\n"
                      "TauxActiviteT1= 30\r\nTauxActiviteT2= 70\r\nlangue= 0\r\nModeLie= 1\r\n"
                      "ModeLieApp=Wscript.exe Post_it.vbs\r\nEtatinterdit= 0\r\nCmtAuto= 1\r\n"
                      "[FRAME]\r\n";
    for (const ColourDef& colour : ColourTable)
        text += colour.key + QByteArray("= ") + QByteArray::number(colour.defaultValue) + "\r\n";
    return text;
}

QByteArray agentText()
{
    return "[SUPER]\r\nDroit_Modif_Group=1\r\nDroit_Modif_Fiche=2\r\nDroit_Preference=0\r\n"
           "Droit_Modif_MotDePasse=1\r\nDroit_Qualif=1\r\nDroit_Stat=0\r\nDroit_ListeAppel=1\r\n"
           "[CONFIG]\r\nmot_de_passe=Y;<>4:5\r\n";
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

// The bytes of a file with the fewest calls: open, size, read, close.
QByteArray rawRead(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        qFatal("cannot read %s", path.constData());
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    if (::read(fd, bytes.data(), std::size_t(bytes.size())) != info.st_size)
        qFatal("short read of %s", path.constData());
    ::close(fd);
    return bytes;
}

// A durable atomic replace with nothing else around it.
void rawAtomicWrite(const QByteArray& folder, const QByteArray& path, const QByteArray& bytes)
{
    const QByteArray temporary = path + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), std::size_t(bytes.size())) != bytes.size() ||
        ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.constData(), path.constData()))
        qFatal("cannot write %s", path.constData());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
}

// Times loops runs of fn, in microseconds per run.
double timeOnce(const std::function<void()>& fn, int loops)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < loops; ++i)
        fn();
    return double(timer.nsecsElapsed()) / 1000.0 / loops;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Pair
{
    double baseline;
    double measured;
    double ratio;
};

// The baseline and the measured work alternate round after round, so that a
// machine that slows down or speeds up meanwhile weighs on both alike; the
// ratio is the median of the rounds' ratios.
Pair compare(const std::function<void()>& baseline, const std::function<void()>& measured,
             int rounds, int loops)
{
    std::vector<double> base;
    std::vector<double> work;
    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        base.push_back(timeOnce(baseline, loops));
        work.push_back(timeOnce(measured, loops));
        ratios.push_back(work.back() / base.back());
    }
    return {median(base), median(work), median(ratios)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString shared = dir.path() + QStringLiteral("/unc/SRV/ZOR");
    QDir().mkpath(shared);
    qputenv("ZOR_UNC_ROOT", (dir.path() + QStringLiteral("/unc")).toUtf8());
    Folders::setProgramFolder(dir.path());
    // The program folder of an installation: the language and help files of
    // language 0 are there (the fetch only asks whether they exist).
    writeFile(dir.filePath(QStringLiteral("Zor_Lg00.txt")), QByteArray());
    writeFile(dir.filePath(QStringLiteral("Zor_Hp00.chm")), QByteArray());
    Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
    Parametres.ConfigDir = QStringLiteral("\\\\SRV\\ZOR\\");

    QStringList files{shared + QStringLiteral("/supervis.ini")};
    writeFile(files[0], supervisorText());
    AgentsList::Rows rows;
    for (int agent = 1; agent <= Agents; ++agent) {
        files << shared + u'/' + AgentRights::AgentFileName(agent);
        writeFile(files.last(), agentText());
        rows.push_back(AgentsList::makeRow(QString::number(agent), QString()));
    }

    std::vector<QByteArray> localNames;
    for (const QString& file : files)
        localNames.push_back(QFile::encodeName(file));
    std::vector<QByteArray> contents(localNames.size());
    auto readBytes = [&] {
        for (std::size_t i = 0; i < localNames.size(); ++i)
            contents[i] = rawRead(localNames[i]);
    };
    // The whole file's bytes as a Qt program reads them.
    auto readFiles = [&] {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QFile file(files[i]);
            if (!file.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", qPrintable(files[i]));
            contents[std::size_t(i)] = file.readAll();
        }
    };
    auto fetch = [&] {
        SupervisorSettings::GetIniCouleurs();
        AgentRights::GetAgentxx_Ini(rows);
    };
    const Pair read = compare(readFiles, fetch, ReadRounds, ReadLoops);
    const Pair readSyscalls = compare(readBytes, fetch, ReadRounds, ReadLoops);

    for (AgentsList::Row& row : rows)
        row.cells[AgentsList::ColChangeState] = QStringLiteral("3");
    auto store = [&] {
        SupervisorSettings::SetIniCouleurs();
        AgentRights::SetAgentxx_Ini(rows);
    };
    store(); // from now on every store writes the same bytes again
    readBytes();
    const QByteArray folder = QFile::encodeName(shared);
    auto writeBytes = [&] {
        for (std::size_t i = 0; i < localNames.size(); ++i)
            rawAtomicWrite(folder, localNames[i], contents[i]);
    };
    const Pair write = compare(writeBytes, store, WriteRounds, WriteLoops);

    std::printf("files: supervis.ini + %d agent files\n", Agents);
    std::printf("raw read of the bytes (QFile)  %10.1f us\n", read.baseline);
    std::printf("full fetch (every key)         %10.1f us   ratio %.2f\n", read.measured,
                read.ratio);
    std::printf("bare system calls read         %10.1f us\n", readSyscalls.baseline);
    std::printf("full fetch (every key)         %10.1f us   ratio %.2f (for information)\n",
                readSyscalls.measured, readSyscalls.ratio);
    std::printf("raw atomic write of the bytes  %10.1f us\n", write.baseline);
    std::printf("full store (every key)         %10.1f us   ratio %.2f\n", write.measured,
                write.ratio);
    std::printf("RESULT shared_folder_fetch ratio=%.2f target<=1.5\n", read.ratio);
    std::printf("RESULT shared_folder_store ratio=%.2f target<=3\n", write.ratio);
    return 0;
}
