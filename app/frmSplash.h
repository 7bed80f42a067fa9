#pragma once

#include <QWidget>

#include <memory>

class QTcpSocket;

namespace Ui {
class frmSplash;
}

// The splash window: logo, product name, version, platform, copyright and
// contact lines. It also hosts the gateway's socket Wsock for the whole run:
// loaded once, hidden when the configuration window is ready, and unloaded
// only at the end, which ends the connection.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    // The single splash window, loaded (created, labels filled) on first use
    // and not shown by the load.
    static frmSplash& Load();
    // The loaded splash window, or null.
    static frmSplash* Loaded();
    // Closes and deletes it; its socket goes with it.
    static void Unload();

    ~frmSplash() override;

    QTcpSocket* Wsock() const { return m_wsock; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmSplash();
    void Form_Load();

    std::unique_ptr<Ui::frmSplash> m_ui;
    QTcpSocket* m_wsock;
};
