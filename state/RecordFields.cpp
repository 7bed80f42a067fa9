#include "RecordFields.h"

#include "BlockLibrary.h"
#include "Cp1252.h"
#include "Layout.h"
#include "Rights.h"
#include "SettingsRecord.h"

#include <QByteArray>

#include <algorithm>
#include <array>

namespace RecordFields {

namespace {

struct FieldDef
{
    const char* name;
    int offset;
    int width;
    Kind kind;
};

constexpr std::array<FieldDef, 10> SupervisorFields = {{
    {"ModeLieApp", Layout::Supervisor::ModeLieApp, Layout::Supervisor::ModeLieAppWidth, Kind::Text},
    {"mot_de_passe", Layout::Supervisor::Password, Layout::Supervisor::PasswordWidth,
     Kind::Password},
    {"Langue", Layout::Supervisor::Langue, 4, Kind::Number},
    {"field 228", Layout::Supervisor::Reserved228, 4, Kind::Number},
    {"Etatinterdit", Layout::Supervisor::Etatinterdit, 4, Kind::Number},
    {"CmtAuto", Layout::Supervisor::CmtAuto, 4, Kind::Number},
    {"ModeLie", Layout::Supervisor::ModeLie, 4, Kind::Number},
    {"NbJourStockJournal", Layout::Supervisor::NbJourStockJournal, 4, Kind::Number},
    {"TauxActiviteT1", Layout::Supervisor::TauxActiviteT1, 4, Kind::Number},
    {"TauxActiviteT2", Layout::Supervisor::TauxActiviteT2, 4, Kind::Number},
}};

QList<FieldDef> definitions(qint32 record)
{
    QList<FieldDef> defs;
    if (record == Layout::SupervisorRecordNumber) {
        for (int i = 0; i < Layout::Supervisor::ColourCount; ++i)
            defs.append({ColourTable[std::size_t(i)].key, Layout::Supervisor::Colours + 4 * i, 4,
                         Kind::Colour});
        defs.append(QList<FieldDef>(SupervisorFields.begin(), SupervisorFields.end()));
        return defs;
    }
    defs.append(
        {"password", Layout::Agent::Password, Layout::Agent::PasswordWidth, Kind::Password});
    for (const Rights::RightDef& right : Rights::Table)
        defs.append({right.key, right.recordOffset, 4,
                     &right == &Rights::Fiche ? Kind::Fiche : Kind::Right});
    std::sort(defs.begin(), defs.end(),
              [](const FieldDef& a, const FieldDef& b) { return a.offset < b.offset; });
    return defs;
}

bool hasField(qint32 record, QByteArrayView name)
{
    const QList<FieldDef> defs = definitions(record);
    return std::any_of(defs.begin(), defs.end(),
                       [name](const FieldDef& def) { return name == def.name; });
}

QString rightText(qint32 v, Kind kind)
{
    switch (v) {
    case 2:
        return kind == Kind::Fiche ? QStringLiteral("all fields") : QStringLiteral("2");
    case 1:
        return kind == Kind::Fiche ? QStringLiteral("comment field only")
                                   : QStringLiteral("granted");
    case 0:
        return kind == Kind::Fiche ? QStringLiteral("none") : QStringLiteral("refused");
    case -1:
        return QStringLiteral("not set");
    default:
        return QString::number(v);
    }
}

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QList<Field> decode(qint32 record, QByteArrayView data)
{
    const int size = record == Layout::SupervisorRecordNumber ? Layout::SupervisorDataSize
                                                              : Layout::AgentDataSize;
    const QByteArray padded = data.toByteArray().leftJustified(size, '\0', true);
    const auto* p = reinterpret_cast<const quint8*>(padded.constData());
    QList<Field> fields;
    for (const FieldDef& def : definitions(record)) {
        Field field{QString::fromLatin1(def.name), def.kind, {}};
        if (def.kind == Kind::Text || def.kind == Kind::Password) {
            field.value.text = Cp1252::toUnicode(Klt::conv_t6200_string(p + def.offset, def.width));
            field.value.number = def.kind == Kind::Password && !field.value.text.isEmpty() ? 1 : 0;
        } else {
            field.value.number = Layout::readInt(p, def.offset);
        }
        fields.append(field);
    }
    return fields;
}

QList<std::pair<int, int>> spans(qint32 record)
{
    QList<std::pair<int, int>> result;
    for (const FieldDef& def : definitions(record))
        result.append({def.offset, def.offset + def.width});
    return result;
}

bool isSupervisorField(QByteArrayView name)
{
    return hasField(Layout::SupervisorRecordNumber, name);
}

bool isAgentField(QByteArrayView name)
{
    return hasField(0, name);
}

QString englishValue(Kind kind, const Value& value, bool showPassword)
{
    const qint32 v = value.number;
    switch (kind) {
    case Kind::Text:
        return quoted(value.text);
    case Kind::Password:
        return showPassword || v == 0 ? quoted(value.text) : QStringLiteral("(hidden)");
    case Kind::Colour:
        return v == -1
                   ? QStringLiteral("not set")
                   : QLatin1String("0x") +
                         QStringLiteral("%1").arg(quint32(v), 8, 16, QLatin1Char('0')).toUpper();
    case Kind::Right:
    case Kind::Fiche:
        return rightText(v, kind);
    case Kind::Number:
        break;
    }
    return v == -1 ? QStringLiteral("not set") : QString::number(v);
}

} // namespace RecordFields
