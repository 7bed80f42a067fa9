// Renders every window of ZorCFG to PNG files, in each language whose file
// lies in the program folder, with a demonstration set of settings: a shared
// folder of its own, supervisor options and colours, and twelve named agents
// with varied rights.
//   zor_screenshots <output folder>
// Each language gets a sub-folder (fr, en, de, or langNN). Runs offscreen.
// The History window shows a demonstration page of the server's history.
#include "AgentDirectory.h"
#include "AgentRights.h"
#include "AgentsModel.h"
#include "Folders.h"
#include "InstanceLock.h"
#include "Languages.h"
#include "RemoteTransfers.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmCFG.h"
#include "frmDroit.h"
#include "frmHistory.h"
#include "frmPwd.h"
#include "frmSplash.h"
#include "frm_Apropos.h"
#include "frmconnexion.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

namespace {

const char* const AgentNames[] = {"Martin Dupont",    "Claire Lefèvre", "Julien Moreau",
                                  "Sophie Laurent",   "Nicolas Girard", "Emma Bonnet",
                                  "Thomas Mercier",   "Léa Fontaine",   "Hugo Chevalier",
                                  "Camille Rousseau", "Antoine Blanc",  "Manon Perrin"};
const int AgentNumbers[] = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112};

// Rights of each demo agent, as its rights file holds them: group,
// preferences, password, qualify, statistics, journal, records (0, 1, 2).
const char* const AgentRightsText[] = {"1111112", "1011101", "0111110", "1101111",
                                       "1111102", "0011100", "1111111", "1010012",
                                       "0110101", "1111112", "1001110", "0111011"};

QString languageFolder(int number)
{
    switch (number) {
    case 0:
        return QStringLiteral("fr");
    case 1:
        return QStringLiteral("en");
    case 2:
        return QStringLiteral("de");
    default:
        return QStringLiteral("lang%1").arg(number, 2, 10, QLatin1Char('0'));
    }
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// The shared folder \\DEMO\ZOR: supervis.ini and the demo agents' files.
void layOutSharedFolder(const QString& root)
{
    const QString folder = root + QStringLiteral("/DEMO/ZOR");
    QDir().mkpath(folder);
    writeFile(folder + QStringLiteral("/supervis.ini"),
              "[CONFIG]\r\nNbJourStockJournal= 15\r\nTauxActiviteT1= 40\r\n"
              "TauxActiviteT2= 85\r\nModeLie= 1\r\nModeLieApp=Wscript.exe Fiche_client.vbs\r\n"
              "Etatinterdit= 1\r\nCmtAuto= 0\r\n[FRAME]\r\nCouleurGrFile= 12632256\r\n"
              "CouleurEtatSatu= 33023\r\n");
    const char* const keys[] = {"Droit_Modif_Group", "Droit_Preference", "Droit_Modif_MotDePasse",
                                "Droit_Qualif",      "Droit_Stat",       "Droit_ListeAppel",
                                "Droit_Modif_Fiche"};
    for (int i = 0; i < 12; ++i) {
        QByteArray text = "[SUPER]\r\n";
        for (int k = 0; k < 7; ++k)
            text += QByteArray(keys[k]) + '=' + AgentRightsText[i][k] + "\r\n";
        writeFile(folder + QStringLiteral("/agent%1.ini").arg(AgentNumbers[i]), text);
    }
}

// The agent directory of the demonstration: twelve named agents.
void installDemoDirectory()
{
    AgentDirectory::install([] {
        AgentDirectory::Connection c;
        c.ServerAddress = [](const QString&) {};
        c.ServerPort = [](qint32) {};
        c.Extension = [](const QString&) {};
        c.OpenLink = [] {};
        c.CloseLink = [] {};
        c.GetAgentNameList = [] {
            QList<AgentDirectory::AgentNameEntry> table;
            for (int i = 0; i < 12; ++i)
                table.append({AgentNumbers[i], QString::fromUtf8(AgentNames[i]), {}});
            return table;
        };
        return c;
    });
}

// A page of the configuration server's history, newest first: two writes
// from the tool, one from zoradm, one from an older station that named
// nobody.
HistoryTransfer::Result demoHistory(const HistoryProtocol::Query&)
{
    using K = HistoryProtocol::FieldKind;
    namespace C = HistoryProtocol::Client;
    const auto at = [](const char* time) {
        return QDateTime::fromString(QString::fromLatin1(time), Qt::ISODate).toMSecsSinceEpoch();
    };
    const QString desk = QStringLiteral("192.168.10.21:50412");
    HistoryTransfer::Result result;
    result.outcome = HistoryTransfer::Outcome::Page;
    result.page.rows = {
        {6,
         at("2025-03-14T16:42:08Z"),
         102,
         C::ZorCFG,
         false,
         desk,
         QStringLiteral("clefevre"),
         {{QStringLiteral("Droit_Modif_Fiche"), K::Fiche, {2, {}}, {1, {}}},
          {QStringLiteral("Droit_Stat"), K::Right, {1, {}}, {0, {}}}}},
        {5,
         at("2025-03-14T11:05:51Z"),
         -1,
         C::Zoradm,
         false,
         QStringLiteral("192.168.10.5:41877"),
         QStringLiteral("admin"),
         {{QStringLiteral("CouleurGrFile"), K::Colour, {16777215, {}}, {12632256, {}}},
          {QStringLiteral("TauxActiviteT1"), K::Number, {30, {}}, {40, {}}}}},
        {4,
         at("2025-03-13T17:30:12Z"),
         107,
         C::ZorCFG,
         false,
         desk,
         QStringLiteral("clefevre"),
         {{QStringLiteral("password"), K::Password, {1, {}}, {0, {}}}}},
        {3,
         at("2025-03-12T09:14:40Z"),
         109,
         C::Unknown,
         false,
         QStringLiteral("192.168.10.34:49233"),
         {},
         {{QStringLiteral("Droit_Modif_Group"), K::Right, {0, {}}, {1, {}}}}},
        {2,
         at("2025-03-11T08:02:19Z"),
         -1,
         C::ZorCFG,
         false,
         desk,
         QStringLiteral("clefevre"),
         {{QStringLiteral("NbJourStockJournal"), K::Number, {10, {}}, {15, {}}},
          {QStringLiteral("ModeLie"), K::Number, {0, {}}, {1, {}}}}},
    };
    return result;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool save(QWidget* window, const QString& path)
{
    window->show();
    settle();
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

bool renderLanguage(int number, const QString& folder)
{
    Parametres.Langue = number;
    LanguageBase = qint16(number * 2000);
    Languages::LoadLanguageFile();
    QDir().mkpath(folder);
    bool ok = true;
    const auto file = [&](const char* name) { return folder + u'/' + QLatin1String(name); };

    frmSplash& splash = frmSplash::Load();
    ok = save(&splash, file("01-splash.png")) && ok;
    splash.hide();
    {
        const QString address = Parametres.VS_addr;
        Parametres.VS_addr = QStringLiteral("srv-config01");
        frmconnexion connection;
        Parametres.VS_addr = address;
        ok = save(&connection, file("02-connection.png")) && ok;
    }
    {
        frmPwd login;
        ok = save(&login, file("03-login.png")) && ok;
        if (auto* password = login.findChild<QLineEdit*>(QStringLiteral("txtPwd")))
            password->setText(QStringLiteral("super"));
        if (auto* change = login.findChild<QPushButton*>(QStringLiteral("cmdModifier")))
            change->click();
        ok = save(&login, file("04-login-change-password.png")) && ok;
    }
    auto* window = new frmCFG;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tbsOptions"));
    const char* const pages[] = {"05-configuration-general.png", "06-configuration-colours.png",
                                 "07-configuration-agents.png"};
    for (int tab = 0; tab < 3; ++tab) {
        tabs->setCurrentIndex(tab);
        ok = save(window, file(pages[tab])) && ok;
    }
    auto* list = window->findChild<QTreeView*>(QStringLiteral("lvListView"));
    list->setCurrentIndex(list->model()->index(2, 0));
    {
        frmDroit rights(window->agentsModel(), 2, window);
        ok = save(&rights, file("08-agent-rights.png")) && ok;
    }
    {
        frm_Apropos about;
        ok = save(&about, file("09-about.png")) && ok;
    }
    {
        frmHistory history(window->agentsModel().rows(), 0, window, demoHistory);
        ok = save(&history, file("10-history.png")) && ok;
    }
    delete window;
    frmSplash::Unload();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");  // the history's times, the same on every machine
    QTemporaryDir runtime; // the instance lock of the login dialog goes here
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QApplication app(argc, argv);
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argc == 2 ? argv[1] : "."))) {
        std::fprintf(stderr, "usage: zor_screenshots <output folder>\n");
        return 2;
    }
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir share;
    qputenv("ZOR_UNC_ROOT", share.path().toUtf8());
    layOutSharedFolder(share.path());
    // Nothing is asked of the user: message boxes answer OK unseen.
    UiServices::hooks().messageBox = [](const QString&, const QString&, UiServices::Icon,
                                        UiServices::Buttons) { return UiServices::Answer::Ok; };
    installDemoDirectory();

    Parametres.VS_addr = QStringLiteral("DEMO");
    Parametres.VS_port = QStringLiteral("20772");
    Parametres.Poste = QStringLiteral("0000");
    Parametres.ConfigPath = QStringLiteral("\\\\DEMO\\ZOR");
    Parametres.ConfigDir = Parametres.ConfigPath + u'\\';
    Parametres.TcpPort = 0;
    AgentRights::GetModel_Ini();
    RemoteTransfers::FetchSupervisorSettings();

    bool ok = true;
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    for (const Languages::LanguageEntry& language : languages)
        ok = renderLanguage(language.number, output + u'/' + languageFolder(language.number)) && ok;
    InstanceLock::Release();
    return ok && !languages.isEmpty() ? 0 : 1;
}
