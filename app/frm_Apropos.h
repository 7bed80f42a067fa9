#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frm_Apropos;
}

// The About box: logo, product name, version, the build's version number,
// copyright, contact and warning texts. Opened modal from the configuration
// window; it changes nothing.
class frm_Apropos : public QDialog
{
    Q_OBJECT

public:
    frm_Apropos();
    ~frm_Apropos() override;

    // Shows the About box modal and deletes it when it closes.
    static void ShowModal(QWidget* owner);

    // The build's version number.
    static QString BuildVersion();

private:
    void Form_Load();
    void cmd_Ok_Click();

    std::unique_ptr<Ui::frm_Apropos> m_ui;
};
