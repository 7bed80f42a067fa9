#pragma once

#include <QList>
#include <QString>

class QWidget;

// The texts a window shows for the numbers in its controls' "Tag": the
// window's title, the captions of labels, buttons, check boxes, option
// buttons and frames, and the tabs' captions (a tab's page holds its Tag).
namespace FormTexts {

struct Tagged
{
    QString control; // objectName
    int number;
    QString shown;
};

// The window and each of its controls whose Tag is a number above 0.
QList<Tagged> tagged(QWidget* window);

} // namespace FormTexts
