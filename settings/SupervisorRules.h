#pragma once

#include "Variables.h"

#include <QList>
#include <QString>

#include <optional>

// The rules of the supervisor options as the General page applies them, and
// the settings by their keys in the supervisor settings file: the ranges of
// the numeric options (journal days 0 to 40, thresholds 0 to 99, link mode 0
// to 2, the two switches 0 or 1), T1 below T2, and the colour form (red +
// 256 x green + 65536 x blue, also written #RRGGBB).
namespace SupervisorRules {

// T1 below T2: the cross-field rule that OK checks.
bool ThresholdsOrdered(qint32 t1, qint32 t2);

// The value a numeric field of the General page takes back when it leaves
// its range (journal days: 0 below, 40 above; T1: 30; T2: 70), or nothing
// when the value is in range or the key has no field.
std::optional<qint32> FieldCorrection(QStringView key, double value);

// The keys that Set accepts: the options, then the sixteen colours.
QStringList Keys();

// Sets one setting from its text: a whole number in range for the options,
// a language whose file is present for langue, any text without line breaks
// for ModeLieApp, a colour number or #RRGGBB for a colour. The error says
// what is wrong; the record is unchanged then.
std::optional<QString> Set(SettingsRecord& settings, const QString& key, const QString& value);

// The value of a setting as text (colours as their number).
QString Value(const SettingsRecord& settings, QStringView key);

// "#RRGGBB" of a colour number; the number of "#RRGGBB" or of a decimal text.
QString ColourText(qint32 colour);
std::optional<qint32> ParseColour(const QString& text);

} // namespace SupervisorRules
