#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmPwd;
}

// The login dialog: the only gate of the program. It compares the typed
// password with Parametres.MotDePasse without regard to letter case, lets the
// supervisor change the password, and refuses a second running instance.
// Valide, read by start-up after the dialog has closed, says whether the
// login was accepted.
class frmPwd : public QDialog
{
    Q_OBJECT

public:
    bool Valide = false;
    static constexpr int HelpContext = 110;

    // The load: may show message 120 and end the program when another
    // instance is running.
    frmPwd();
    ~frmPwd() override;

    // Stores a changed password; true when the dialog may close.
    bool SauverParametres();

    // The close box: closes without touching Valide, unless a store is in
    // progress.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void txtPwd_Change();
    void cmdModifier_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAide_Click();

    std::unique_ptr<Ui::frmPwd> m_ui;
    bool m_modeModif = false; // ModeModif: the password-change fields are shown
};
