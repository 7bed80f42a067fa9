#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmconnexion;
}

// The server connection dialog: asks for the configuration server's name,
// saves it in the station settings on Ok. Created when shown and deleted when
// closed; Valide, read by the caller afterwards, keeps its value from one
// display to the next and when the close box closes the dialog.
class frmconnexion : public QDialog
{
    Q_OBJECT

public:
    static inline bool Valide = false;
    static constexpr int HelpContext = 204;

    frmconnexion();
    ~frmconnexion() override;

    // Shows the dialog modal and returns Valide when it has closed.
    static bool ShowModal();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdAnnuler_Click();
    void cmdAide_Click();

    std::unique_ptr<Ui::frmconnexion> m_ui;
};
