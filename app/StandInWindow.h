#pragma once

#include <QWidget>

class QPushButton;

// Stands in for the configuration window until it lands: the application's
// title, a line saying what is missing, the About box from its Version
// button, and OK and Cancel, which close it (and so end the program).
class StandInWindow : public QWidget
{
    Q_OBJECT

public:
    StandInWindow();

private:
    void ComVersion_Click();
    QPushButton* addButton(const char* name, int tag);
};
