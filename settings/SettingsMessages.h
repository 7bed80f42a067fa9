#pragma once

#include "Conversions.h"

#include <QString>

// The messages the settings operations show.
namespace SettingsMessages {

// Text n of the current language (LanguageBase + n).
QString text(int n);

// A failure of a settings operation: message head + " [" + operation + " " +
// number + " " + description + "]", exclamation icon, titled with message 224.
void reportFailure(int head, const char* operation, const Conversions::Failure& failure);

} // namespace SettingsMessages
