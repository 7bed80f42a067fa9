#include "frm_Apropos.h"

#include "Pictures.h"
#include "SettingsMessages.h"
#include "ui_frm_Apropos.h"

using SettingsMessages::text;

frm_Apropos::frm_Apropos() : m_ui(new Ui::frm_Apropos)
{
    m_ui->setupUi(this);
    connect(m_ui->cmd_Ok, &QPushButton::clicked, this, &frm_Apropos::cmd_Ok_Click);
    Form_Load();
}

frm_Apropos::~frm_Apropos() = default;

void frm_Apropos::ShowModal(QWidget* owner)
{
    frm_Apropos about;
    if (owner)
        about.move(owner->geometry().center() - about.rect().center());
    about.exec();
}

QString frm_Apropos::BuildVersion()
{
    return QStringLiteral(ZOR_VERSION);
}

// The About box sets its texts from the language itself; it is not
// translated by the form translation.
void frm_Apropos::Form_Load()
{
    m_ui->Picture1->setPixmap(Pictures::LogoFromProgramFolder(QStringLiteral("zorcfg_l2.bmp")));
    m_ui->lbl_Avertissement->setText(text(1091));
    m_ui->cmd_Ok->setText(text(101));
    m_ui->lbl_Version->setText(text(318));
    m_ui->lbl_BuildVersion->setText(text(1341).replace(QStringLiteral("|1"), BuildVersion()));
    m_ui->lbl_Copyright->setText(text(261));
    m_ui->Lbl_email->setText(text(1287));
    m_ui->lbl_NomApplication->setText(text(1275));
    setWindowTitle(m_ui->lbl_NomApplication->text());
    adjustSize();
}

void frm_Apropos::cmd_Ok_Click()
{
    accept();
}
