#include "frmconnexion.h"

#include "FormTranslator.h"
#include "StationSettings.h"
#include "UiServices.h"
#include "Variables.h"
#include "frmSplash.h"
#include "ui_frmconnexion.h"

#include <QKeyEvent>

frmconnexion::frmconnexion() : m_ui(new Ui::frmconnexion)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmconnexion::cmdOK_Click);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &frmconnexion::cmdAnnuler_Click);
    connect(m_ui->cmdAide, &QPushButton::clicked, this, &frmconnexion::cmdAide_Click);
    Form_Load();
}

frmconnexion::~frmconnexion() = default;

bool frmconnexion::ShowModal()
{
    frmconnexion dialog;
    dialog.exec();
    return Valide;
}

void frmconnexion::Form_Load()
{
    // The agent extension is filled and copied, never shown.
    m_ui->Label3->hide();
    m_ui->txtposte->hide();

    FormTranslator::TranslateForm(this);
    m_ui->txtserveur->setText(Parametres.VS_addr);
    m_ui->txtposte->setText(Parametres.Poste);
    m_ui->txtposte->setEnabled(Parametres.Poste.isEmpty());

    // Centred over the splash window, which is loaded (hidden) for that when
    // it is not shown yet.
    const frmSplash& splash = frmSplash::Load();
    adjustSize();
    move((splash.width() - width()) / 2 + splash.x(),
         (splash.height() - height()) / 2 + splash.y());
    UiServices::setBusy(false);
}

void frmconnexion::cmdOK_Click()
{
    if (!m_ui->txtserveur->text().isEmpty()) {
        Parametres.VS_addr = m_ui->txtserveur->text();
        Parametres.Poste = m_ui->txtposte->text();
        StationSettings::SaveServerAddress();
        Valide = true;
    } else {
        Valide = false;
    }
    done(Valide ? Accepted : Rejected);
}

void frmconnexion::cmdAnnuler_Click()
{
    Valide = false;
    done(Rejected);
}

void frmconnexion::cmdAide_Click()
{
    UiServices::showHelp(HelpFile, HelpContext);
}

// Escape acts as Annulation; the close box closes without touching Valide.
void frmconnexion::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdAnnuler_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}
