#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>

class frmCFG;

// What the window tests share: a program folder of their own (the build's
// language files and model.ini, the icon when asked for), a shared folder
// \\SRV\ZOR under a private UNC root, the recording UI, and start-up as the
// program runs it up to the login.
namespace EditorTestSupport {

class Setup
{
public:
    explicit Setup(bool withIcon = true);
    ~Setup();

    QString programFile(const QString& name) const;
    QString sharedFile(const QString& name) const;
    QString sharedFolder() const;

    // Start-up steps 5 to 10: the station file (shared-folder mode when port
    // is 0, else the server on 127.0.0.1 at that port), the language, the
    // station settings, the model rights and the supervisor settings. The
    // port is written as the signed 16-bit number the station file holds.
    void startUp(quint16 port, int langue);

    // Makes language n current, as a supervisor settings record naming it
    // would at start-up.
    static void useLanguage(int n);

private:
    QTemporaryDir m_dir;
};

// A new configuration window, loaded and shown.
frmCFG* openWindow();

// The child of a window by its name; fails the test when there is none.
template <typename T> T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

// Runs `act` on the next modal dialog once it is shown (from the event loop
// the dialog's exec runs), looking for it for about ten seconds.
void onNextModal(std::function<void(QWidget* dialog)> act, int attempts = 1000);

// Every file of a folder and its bytes, by name.
QMap<QString, QByteArray> snapshot(const QString& folder);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Clicks a check box or an option button on its box, as a user does (the
// middle of a wide one may be past its text, where a click does nothing).
void clickBox(QWidget* box);

// Sends the loss of the keyboard focus to a field, as when the user leaves it.
void leaveField(QWidget* field);

// The controls a user can reach with the keyboard whose accessible name is
// empty (the tabs of a tab bar one by one).
QStringList unnamedControls(QWidget* window);

// The text of message n in the current language.
QString message(int n);

} // namespace EditorTestSupport
