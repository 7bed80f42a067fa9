#pragma once

#include <QPixmap>
#include <QString>

// The pictures the session windows show: a file of the program folder when
// it holds a picture, else the built-in "LOGO" bitmap.
namespace Pictures {

// The built-in "LOGO" bitmap.
QPixmap BuiltInLogo();

// The application icon, drawn with the logo.
QPixmap ApplicationIcon();

// The login dialog's picture.
QPixmap Padlock();

// The program folder's file of that name, found without regard to case
// (an exact match first); empty when there is none.
QString FindProgramFile(const QString& name);

// The picture in the program folder's file of that name; the built-in logo
// when the file is missing or cannot be read as a picture.
QPixmap LogoFromProgramFolder(const QString& fileName);

} // namespace Pictures
