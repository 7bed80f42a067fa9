#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// The numeric conversions of the whole program (the settings readers, the
// translation of windows), with the behaviour the shared files were written
// for:
//  - Val: the number at the start of the text, 0 when there is none, never an
//    error. Blanks, tabs and line feeds anywhere in the text are skipped.
//  - strict: the whole text (surrounding blanks aside) must be a number.
//  - rounding to an integer goes to the nearest whole number, halves to the
//    even neighbour; a number outside the integer's range is an overflow.
// A failing conversion throws Conversions::Failure.
namespace Conversions {

// A failure's number and its own words (a file and the system's reason).
// The failures of the conversions have none: their number says it, and the
// settings messages give its text in the current language.
struct Failure
{
    int number;
    QString description;
};

Failure typeMismatch();
Failure overflow();

double Val(QByteArrayView text);

// The number the whole text stands for, or nothing.
std::optional<double> parseStrict(QByteArrayView text);
bool isNumeric(QByteArrayView text);

// Throw Failure on a text that is not a number or a value that does not fit.
double strict(QByteArrayView text);
qint16 toInt16(double value);
qint32 toInt32(double value);

// "%0Nd" the way the settings files name things: at least `digits` digits,
// the sign before them.
QString padded(qint64 number, int digits);

} // namespace Conversions
