// The whole shared-folder fetch: every key of supervis.ini and of 32 agent
// files, then writing them all back, against plain reading and writing of the
// same files' bytes in the same run.

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

namespace {

constexpr int Agents = 32;
constexpr int Rounds = 15;
constexpr int Loops = 20;

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

// Times Loops runs of fn, in microseconds per run.
double timeOnce(const std::function<void()>& fn)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Loops; ++i)
        fn();
    return double(timer.nsecsElapsed()) / 1000.0 / Loops;
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
Pair compare(const std::function<void()>& baseline, const std::function<void()>& measured)
{
    std::vector<double> base;
    std::vector<double> work;
    std::vector<double> ratios;
    for (int r = 0; r < Rounds; ++r) {
        base.push_back(timeOnce(baseline));
        work.push_back(timeOnce(measured));
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

    std::vector<QByteArray> contents(std::size_t(files.size()));
    auto rawRead = [&] {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QFile file(files[i]);
            file.open(QIODevice::ReadOnly);
            contents[std::size_t(i)] = file.readAll();
        }
    };
    auto fetch = [&] {
        SupervisorSettings::GetIniCouleurs();
        AgentRights::GetAgentxx_Ini(rows);
    };
    rawRead();
    const Pair read = compare(rawRead, fetch);

    for (AgentsList::Row& row : rows)
        row.cells[AgentsList::ColChangeState] = QStringLiteral("3");
    auto rawWrite = [&] {
        for (qsizetype i = 0; i < files.size(); ++i)
            writeFile(files[i], contents[std::size_t(i)]);
    };
    auto store = [&] {
        SupervisorSettings::SetIniCouleurs();
        AgentRights::SetAgentxx_Ini(rows);
    };
    const Pair write = compare(rawWrite, store);

    std::printf("files: supervis.ini + %d agent files, %d rounds of %d runs\n", Agents, Rounds,
                Loops);
    std::printf("raw read of the bytes     %10.1f us\n", read.baseline);
    std::printf("full fetch (every key)    %10.1f us   ratio %.2f\n", read.measured, read.ratio);
    std::printf("raw write of the bytes    %10.1f us\n", write.baseline);
    std::printf("full store (every key)    %10.1f us   ratio %.2f (a durable replace per key)\n",
                write.measured, write.ratio);
    std::printf("RESULT shared_folder_fetch ratio=%.2f target<=2\n", read.ratio);
    return 0;
}
