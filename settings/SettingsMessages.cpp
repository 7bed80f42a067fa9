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

QString text(int n, const QStringList& values)
{
    const QString pattern = text(n);
    QString filled;
    filled.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const qsizetype value =
            i + 1 < pattern.size() && pattern[i] == u'|' ? pattern[i + 1].digitValue() - 1 : -1;
        if (value < 0 || value >= values.size()) {
            filled += pattern[i];
            continue;
        }
        filled += values[value];
        ++i;
    }
    return filled;
}

QString describe(const Conversions::Failure& failure)
{
    if (!failure.description.isEmpty())
        return failure.description;
    // The numbers the settings operations have always used, with our texts.
    switch (failure.number) {
    case 6:
        return text(1330); // overflow
    case 13:
        return text(1331); // type mismatch
    case 75:
        return text(1332); // path or file access error
    case 76:
        return text(1333); // path not found
    default:
        return {};
    }
}

void reportFailure(int head, const char* operation, const Conversions::Failure& failure)
{
    const QString message = text(head) + QStringLiteral(" [") + QLatin1StringView(operation) +
                            u' ' + QString::number(failure.number) + u' ' + describe(failure) +
                            u']';
    UiServices::messageBox(message, text(224), UiServices::Icon::Exclamation);
}

} // namespace SettingsMessages
