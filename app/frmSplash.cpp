#include "frmSplash.h"

#include "Pictures.h"
#include "SettingsMessages.h"
#include "ui_frmSplash.h"

#include <QCloseEvent>
#include <QPointer>
#include <QScreen>
#include <QTcpSocket>

using SettingsMessages::text;

namespace {

QPointer<frmSplash> g_splash;

} // namespace

frmSplash& frmSplash::Load()
{
    if (!g_splash)
        g_splash = new frmSplash;
    return *g_splash;
}

frmSplash* frmSplash::Loaded()
{
    return g_splash;
}

void frmSplash::Unload()
{
    if (!g_splash)
        return;
    g_splash->close();
    delete g_splash.data();
}

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_ui(new Ui::frmSplash),
      m_wsock(new QTcpSocket(this))
{
    m_ui->setupUi(this);
    m_wsock->setObjectName(QStringLiteral("Wsock"));
    Form_Load();
}

frmSplash::~frmSplash()
{
    m_wsock->abort();
}

void frmSplash::Form_Load()
{
    m_ui->picLogo->setPixmap(Pictures::LogoFromProgramFolder(QStringLiteral("zorcfg_l1.bmp")));
    m_ui->lbl_Version->setText(text(318));
    m_ui->lbl_Copyright->setText(text(261));
    m_ui->Lbl_email->setText(text(1287));
    m_ui->lbl_NomApplication->setText(text(1275));
    m_ui->lbl_Platform->setText(text(1288));
    setWindowTitle(text(1275));

    QFont name = m_ui->lbl_NomApplication->font();
    name.setPointSizeF(name.pointSizeF() * 1.6);
    name.setBold(true);
    m_ui->lbl_NomApplication->setFont(name);

    // Centred on the screen, so that the connection dialog can centre itself
    // on it before it is shown.
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmSplash::closeEvent(QCloseEvent* event)
{
    m_wsock->abort();
    QWidget::closeEvent(event);
}
