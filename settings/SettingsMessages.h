#pragma once

#include "Conversions.h"

#include <QString>
#include <QStringList>

// The messages the settings operations show.
namespace SettingsMessages {

// Text n of the current language (LanguageBase + n).
QString text(int n);

// Text n with its placeholders "|1", "|2"... replaced by the values, in
// order; a value is not searched for placeholders.
QString text(int n, const QStringList& values);

// The failure's description, or for a failure without one (overflow, type
// mismatch, the shared folder's path) the text of its number.
QString describe(const Conversions::Failure& failure);

// A failure of a settings operation: message head + " [" + operation + " " +
// number + " " + description + "]", exclamation icon, titled with message 224.
void reportFailure(int head, const char* operation, const Conversions::Failure& failure);

} // namespace SettingsMessages
