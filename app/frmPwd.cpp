#include "frmPwd.h"

#include "FormTranslator.h"
#include "InstanceLock.h"
#include "Pictures.h"
#include "RemoteStore.h"
#include "SettingsMessages.h"
#include "SupervisorLogin.h"
#include "UiServices.h"
#include "Variables.h"
#include "ui_frmPwd.h"

#include <QGuiApplication>
#include <QKeyEvent>

using SettingsMessages::text;

namespace {

// Our own: a new password holds a character the stored form cannot hold.
constexpr int MessageNotStorable = 1322;

void warn(int message)
{
    UiServices::messageBox(text(message), text(103), UiServices::Icon::Exclamation);
}

} // namespace

frmPwd::frmPwd() : m_ui(new Ui::frmPwd)
{
    m_ui->setupUi(this);
    connect(m_ui->txtPwd, &QLineEdit::textChanged, this, &frmPwd::txtPwd_Change);
    connect(m_ui->cmdModifier, &QPushButton::clicked, this, &frmPwd::cmdModifier_Click);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmPwd::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmPwd::cmdCancel_Click);
    connect(m_ui->cmdAide, &QPushButton::clicked, this, &frmPwd::cmdAide_Click);
    Form_Load();
}

frmPwd::~frmPwd() = default;

void frmPwd::Form_Load()
{
    Valide = false;
    m_modeModif = false;
    for (QWidget* hidden :
         {static_cast<QWidget*>(m_ui->cmdModifier), static_cast<QWidget*>(m_ui->Label2),
          static_cast<QWidget*>(m_ui->Text2), static_cast<QWidget*>(m_ui->Label3),
          static_cast<QWidget*>(m_ui->Text3)})
        hidden->hide();
    m_ui->Picture1->setPixmap(Pictures::Padlock());

    const QString applicationTitle = text(121);
    QGuiApplication::setApplicationDisplayName(applicationTitle);
    if (InstanceLock::AnotherInstanceRunning()) {
        UiServices::messageBox(text(120), applicationTitle, UiServices::Icon::Exclamation);
        UiServices::endProgram(1);
    }
    FormTranslator::TranslateForm(this);

    if (Parametres.MotDePasse.isEmpty()) {
        m_ui->cmdModifier->show();
        Valide = true;
        QPalette palette = m_ui->txtPwd->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        m_ui->txtPwd->setPalette(palette);
        m_ui->Label1->setEnabled(false);
        m_ui->txtPwd->setEnabled(false);
    }
    UiServices::setBusy(false);
}

void frmPwd::txtPwd_Change()
{
    if (!SupervisorLogin::PasswordMatches(m_ui->txtPwd->text()))
        return;
    m_ui->cmdModifier->show();
    Valide = true;
}

void frmPwd::cmdModifier_Click()
{
    m_ui->Label2->show();
    m_ui->Label3->show();
    m_ui->Text2->show();
    m_ui->Text3->show();
    m_modeModif = true;
}

void frmPwd::cmdOK_Click()
{
    // A store in progress runs pending events: a second click waits for it.
    if (UiServices::isBusy())
        return;
    if (!Valide) {
        warn(105);
        m_ui->txtPwd->setFocus();
        m_ui->txtPwd->selectAll();
        return;
    }
    if (SauverParametres())
        accept();
}

bool frmPwd::SauverParametres()
{
    if (!m_modeModif)
        return true;
    const QString newPassword = SupervisorLogin::Normalised(m_ui->Text2->text());
    if (SupervisorLogin::Normalised(m_ui->Text3->text()) != newPassword) {
        warn(109);
        return false;
    }
    // A character the stored form cannot hold would lock the next start out.
    if (!SupervisorLogin::Storable(newPassword)) {
        warn(MessageNotStorable);
        return false;
    }
    Parametres.NouveauMotDePasse = newPassword;
    if (Parametres.MotDePasse != Parametres.NouveauMotDePasse) {
        Parametres.MotDePasse = Parametres.NouveauMotDePasse;
        UiServices::setBusy(true);
        RemoteStore::StoreSupervisorSettings();
        UiServices::setBusy(false);
        UiServices::messageBox(text(115), text(103), UiServices::Icon::Information);
    }
    return true;
}

void frmPwd::cmdCancel_Click()
{
    if (UiServices::isBusy())
        return;
    Valide = false;
    reject();
}

void frmPwd::reject()
{
    if (!UiServices::isBusy())
        QDialog::reject();
}

void frmPwd::cmdAide_Click()
{
    UiServices::showHelp(HelpFile, HelpContext);
}

// Escape acts as Annuler; the close box closes without touching Valide.
void frmPwd::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}
