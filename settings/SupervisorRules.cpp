#include "SupervisorRules.h"

#include "Cp1252.h"
#include "Languages.h"

#include <algorithm>
#include <array>

namespace {

struct NumberRule
{
    const char* key;
    qint32 SettingsRecord::*field;
    qint32 low;
    qint32 high;
};

// langue comes first, as in the settings file.
constexpr std::array<NumberRule, 7> NumberRules = {{
    {"langue", &SettingsRecord::Langue, 0, LanguageCount - 1},
    {"NbJourStockJournal", &SettingsRecord::NbJourStockJournal, 0, 40},
    {"TauxActiviteT1", &SettingsRecord::TauxActiviteT1, 0, 99},
    {"TauxActiviteT2", &SettingsRecord::TauxActiviteT2, 0, 99},
    {"ModeLie", &SettingsRecord::ModeLie, 0, 2},
    {"Etatinterdit", &SettingsRecord::Etatinterdit, 0, 1},
    {"CmtAuto", &SettingsRecord::CmtAuto, 0, 1},
}};

constexpr const char* ModeLieAppKey = "ModeLieApp";
constexpr qint32 MaxColour = 0xFFFFFF;

const NumberRule* numberRule(QStringView key)
{
    for (const NumberRule& rule : NumberRules) {
        if (key == QLatin1StringView(rule.key))
            return &rule;
    }
    return nullptr;
}

const ColourDef* colourDef(QStringView key)
{
    for (const ColourDef& colour : ColourTable) {
        if (key == QLatin1StringView(colour.key))
            return &colour;
    }
    return nullptr;
}

QString rangeText(const NumberRule& rule)
{
    return QStringLiteral("must be a whole number from %1 to %2").arg(rule.low).arg(rule.high);
}

std::optional<QString> setNumber(SettingsRecord& settings, const NumberRule& rule,
                                 const QString& value)
{
    bool ok = false;
    const int number = value.trimmed().toInt(&ok, 10);
    if (!ok || number < rule.low || number > rule.high)
        return rangeText(rule);
    if (&rule == &NumberRules[0] && !Languages::LanguageFileExists(number))
        return QStringLiteral("names a language whose file is not in the program folder");
    settings.*rule.field = number;
    return std::nullopt;
}

std::optional<QString> setText(SettingsRecord& settings, const QString& value)
{
    if (value.contains(u'\r') || value.contains(u'\n'))
        return QStringLiteral("must not hold a line break");
    if (Cp1252::toUnicode(Cp1252::fromUnicode(value)) != value)
        return QStringLiteral("holds a character that the settings files cannot keep");
    settings.ModeLieApp = value;
    return std::nullopt;
}

} // namespace

namespace SupervisorRules {

bool ThresholdsOrdered(qint32 t1, qint32 t2)
{
    return t1 < t2;
}

std::optional<qint32> FieldCorrection(QStringView key, double value)
{
    if (key == u"NbJourStockJournal") {
        if (value < 0)
            return 0;
        if (value > 40)
            return 40;
        return std::nullopt;
    }
    const bool t1 = key == u"TauxActiviteT1";
    if (!t1 && key != u"TauxActiviteT2")
        return std::nullopt;
    if (value < 0 || value > 99)
        return t1 ? 30 : 70;
    return std::nullopt;
}

QStringList Keys()
{
    QStringList keys;
    for (const NumberRule& rule : NumberRules)
        keys << QLatin1StringView(rule.key);
    keys << QLatin1StringView(ModeLieAppKey);
    for (const ColourDef& colour : ColourTable)
        keys << QLatin1StringView(colour.key);
    return keys;
}

std::optional<QString> Set(SettingsRecord& settings, const QString& key, const QString& value)
{
    if (const NumberRule* rule = numberRule(key))
        return setNumber(settings, *rule, value);
    if (key == QLatin1StringView(ModeLieAppKey))
        return setText(settings, value);
    if (const ColourDef* colour = colourDef(key)) {
        const std::optional<qint32> number = ParseColour(value);
        if (!number)
            return QStringLiteral("must be #RRGGBB or a whole number from 0 to %1").arg(MaxColour);
        settings.*colour->field = *number;
        return std::nullopt;
    }
    return QStringLiteral("is not a supervisor setting");
}

QString Value(const SettingsRecord& settings, QStringView key)
{
    if (const NumberRule* rule = numberRule(key))
        return QString::number(settings.*rule->field);
    if (key == QLatin1StringView(ModeLieAppKey))
        return settings.ModeLieApp;
    if (const ColourDef* colour = colourDef(key))
        return QString::number(settings.*colour->field);
    return {};
}

QString ColourText(qint32 colour)
{
    const quint32 bgr = quint32(colour); // red in the low byte
    return QStringLiteral("#%1%2%3")
        .arg(bgr & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 8) & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 16) & 0xFFu, 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<qint32> ParseColour(const QString& text)
{
    const QString value = text.trimmed();
    bool ok = false;
    if (value.startsWith(u'#')) {
        const QString digits = value.mid(1);
        const bool hex = std::all_of(digits.begin(), digits.end(), [](QChar c) {
            return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
        });
        if (digits.size() != 6 || !hex)
            return std::nullopt;
        const uint rgb = digits.toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        const uint red = rgb >> 16, green = (rgb >> 8) & 0xFFu, blue = rgb & 0xFFu;
        return qint32(red + 256 * green + 65536 * blue);
    }
    const int number = value.toInt(&ok, 10);
    if (!ok || number < 0 || number > MaxColour)
        return std::nullopt;
    return number;
}

} // namespace SupervisorRules
