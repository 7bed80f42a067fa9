// Renders the session windows to PNG files, in each shipped language, with
// the program folder of this executable (its language files and pictures):
//   screenshots <output folder>
// Files: <NN>-splash.png, <NN>-connection.png, <NN>-login.png,
// <NN>-login-change.png, <NN>-about.png, NN being the language number.

#include "Languages.h"
#include "Variables.h"
#include "frmPwd.h"
#include "frmSplash.h"
#include "frm_Apropos.h"
#include "frmconnexion.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name)
{
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(folder.filePath(name));
    window.hide();
    if (!saved)
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(folder.filePath(name)));
    return saved;
}

bool renderLanguage(int langue, const QDir& folder)
{
    Parametres.Langue = langue;
    LanguageBase = static_cast<qint16>(langue * 2000);
    Languages::LoadLanguageFile();
    const QString prefix = QStringLiteral("%1-").arg(langue, 2, 10, QLatin1Char('0'));
    bool ok = save(frmSplash::Load(), folder, prefix + QStringLiteral("splash.png"));

    Parametres.VS_addr = QStringLiteral("srv-config01");
    frmconnexion connection;
    ok = save(connection, folder, prefix + QStringLiteral("connection.png")) && ok;

    Parametres.MotDePasse = QStringLiteral("SUPER");
    frmPwd login;
    ok = save(login, folder, prefix + QStringLiteral("login.png")) && ok;
    login.findChild<QLineEdit*>(QStringLiteral("txtPwd"))->setText(QStringLiteral("super"));
    login.findChild<QPushButton*>(QStringLiteral("cmdModifier"))->click();
    ok = save(login, folder, prefix + QStringLiteral("login-change.png")) && ok;

    frm_Apropos about;
    ok = save(about, folder, prefix + QStringLiteral("about.png")) && ok;
    frmSplash::Unload();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    const QList<Languages::LanguageEntry> languages = Languages::AvailableLanguages();
    for (const Languages::LanguageEntry& language : languages)
        ok = renderLanguage(language.number, folder) && ok;
    if (languages.isEmpty()) {
        std::fprintf(stderr, "screenshots: no language file beside the program\n");
        return 1;
    }
    return ok ? 0 : 1;
}
