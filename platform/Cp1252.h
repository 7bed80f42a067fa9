#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 1252, the 8-bit code page of the settings files and of the
// text fields of the server records. The five bytes the code page leaves
// undefined map to the C1 controls at the same code, as Windows maps them.
namespace Cp1252 {

QString toUnicode(QByteArrayView bytes);

// A character the code page lacks becomes '?'.
QByteArray fromUnicode(QStringView text);

// Upper case within the code page, one character for one: a letter whose
// capital the code page lacks ("ß", "µ") stays as it is, and so does every
// character outside the code page.
QString toUpper(QStringView text);

} // namespace Cp1252
