#include "SettingsMessages.h"

#include "Languages.h"
#include "UiServices.h"
#include "Variables.h"

#include <limits>

namespace SettingsMessages {

QString text(int n)
{
    // Only the remainder by 2000 selects the text, and LanguageBase is a
    // multiple of 2000: when the sum leaves 16 bits, n alone says the same.
    const int number = LanguageBase + n;
    const bool fits = number <= std::numeric_limits<qint16>::max();
    return Languages::GetMessageText(static_cast<qint16>(fits ? number : n));
}

void reportFailure(int head, const char* operation, const Conversions::Failure& failure)
{
    const QString message = text(head) + QStringLiteral(" [") + QLatin1StringView(operation) +
                            u' ' + QString::number(failure.number) + u' ' + failure.description +
                            u']';
    UiServices::messageBox(message, text(224), UiServices::Icon::Exclamation);
}

} // namespace SettingsMessages
