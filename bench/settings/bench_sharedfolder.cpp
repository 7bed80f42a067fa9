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

constexpr int kAgents = 32;
constexpr int kRounds = 7;
constexpr int kLoops = 40;

QByteArray supervisorText()
{
    QByteArray text = "[CONFIG]\r\nmot_de_passe=YI4I/MNH<H(L\r\nNbJourStockJournal= 10\r\n"
                      "TauxActiviteT1= 30\r\nTauxActiviteT2= 70\r\nlangue= 0\r\nModeLie= 1\r\n"
                      "ModeLieApp=Wscript.exe Post_it.vbs\r\nEtatinterdit= 0\r\nCmtAuto= 1\r\n"
                      "[FRAME]\r\n";
    for (const CouleurDef& colour : Couleurs)
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

// Median of kRounds timings of kLoops runs of fn, in microseconds per run.
double measure(const std::function<void()>& fn)
{
    std::vector<double> rounds;
    for (int r = 0; r < kRounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kLoops; ++i)
            fn();
        rounds.push_back(double(timer.nsecsElapsed()) / 1000.0 / kLoops);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
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
    for (int agent = 1; agent <= kAgents; ++agent) {
        files << shared + u'/' + AgentRights::AgentFileName(agent);
        writeFile(files.last(), agentText());
        rows.push_back(AgentsList::makeRow(QString::number(agent), QString()));
    }

    std::vector<QByteArray> contents(std::size_t(files.size()));
    const double rawRead = measure([&] {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QFile file(files[i]);
            file.open(QIODevice::ReadOnly);
            contents[std::size_t(i)] = file.readAll();
        }
    });
    const double fetch = measure([&] {
        SupervisorSettings::GetIniCouleurs();
        AgentRights::GetAgentxx_Ini(rows);
    });
    const double rawWrite = measure([&] {
        for (qsizetype i = 0; i < files.size(); ++i)
            writeFile(files[i], contents[std::size_t(i)]);
    });
    for (AgentsList::Row& row : rows)
        row.cells[AgentsList::ColChange] = QStringLiteral("3");
    const double store = measure([&] {
        SupervisorSettings::SetIniCouleurs();
        AgentRights::SetAgentxx_Ini(rows);
    });

    const double ratio = fetch / rawRead;
    std::printf("files: supervis.ini + %d agent files\n", kAgents);
    std::printf("raw read of the bytes     %10.1f us\n", rawRead);
    std::printf("full fetch (every key)    %10.1f us   ratio %.2f\n", fetch, ratio);
    std::printf("raw write of the bytes    %10.1f us\n", rawWrite);
    std::printf("full store (every key)    %10.1f us   ratio %.2f (atomic replace per key)\n",
                store, store / rawWrite);
    std::printf("RESULT shared_folder_fetch ratio=%.2f target<=2\n", ratio);
    return 0;
}
