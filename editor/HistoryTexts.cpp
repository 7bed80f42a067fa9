#include "HistoryTexts.h"

#include "RecordFields.h"
#include "SettingsMessages.h"
#include "SupervisorRules.h"

#include <QDateTime>

#include <array>

namespace HistoryTexts {

namespace {

using HistoryProtocol::FieldKind;

// A field and the texts that name it: one, or a frame's and the label's
// within it, whose |1 becomes the text `one` (T1, or T2 above T2) and |2 T2.
struct Label
{
    const char* key;
    int first;
    int second = 0;
    int one = 258;
};

constexpr std::array<Label, 34> Labels = {{
    {"Droit_Modif_Group", 312},
    {"Droit_Preference", 305},
    {"Droit_Modif_MotDePasse", 306},
    {"Droit_Qualif", 307},
    {"Droit_Stat", 308},
    {"Droit_ListeAppel", 309},
    {"Droit_Modif_Fiche", 310},
    {"password", 229},
    {"NbJourStockJournal", 211},
    {"TauxActiviteT1", 235, 258},
    {"TauxActiviteT2", 235, 259},
    {"ModeLie", 205},
    {"ModeLieApp", 314},
    {"Etatinterdit", 315},
    {"CmtAuto", 316},
    {"Langue", 219},
    {"mot_de_passe", 229},
    {"field 228", 1432},
    {"CouleurTxBas", 235, 241},
    {"CouleurTxMilieu", 235, 240},
    {"CouleurTxHaut", 235, 239, 259},
    {"CouleurCptService", 236, 242},
    {"CouleurCptRetrait", 236, 243},
    {"CouleurCptAbsence", 236, 244},
    {"CouleurCptTComp", 236, 245},
    {"CouleurEtatFerme", 237, 246},
    {"CouleurEtatOuvert", 237, 247},
    {"CouleurEtatSatu", 237, 248},
    {"CouleurEtatDissu", 237, 249},
    {"CouleurGrFile", 238, 250},
    {"CouleurGrS2", 238, 251},
    {"CouleurGrInfS1", 238, 253},
    {"CouleurGrSupS1", 238, 252},
    {"CouleurGrServis", 238, 254},
}};

QString text(int n)
{
    return SettingsMessages::text(n);
}

// A label's text without its "&" marks and its closing colon.
QString bare(int n)
{
    QString t = text(n).remove(u'&').trimmed();
    if (t.endsWith(u':'))
        t.chop(1);
    return t.trimmed();
}

QString filled(int n, const QString& one, const QString& two = {})
{
    return text(n).replace(QStringLiteral("|1"), one).replace(QStringLiteral("|2"), two);
}

QString numberText(const QString& key, qint32 v)
{
    if (v == -1)
        return text(1418);
    if (key == u"ModeLie" && v >= 0 && v <= 2)
        return bare(212 + v);
    if ((key == u"Etatinterdit" || key == u"CmtAuto") && (v == 0 || v == 1))
        return text(v == 1 ? 1429 : 1430);
    return QString::number(v);
}

} // namespace

QStringList fieldKeys()
{
    QStringList keys;
    for (const Label& label : Labels)
        keys << QLatin1StringView(label.key);
    return keys;
}

QString fieldLabel(const QString& key)
{
    for (const Label& label : Labels) {
        if (key != QLatin1StringView(label.key))
            continue;
        if (label.second == 0)
            return bare(label.first);
        return filled(Text::Pair, bare(label.first),
                      filled(label.second, text(label.one), text(259)).remove(u'&').trimmed());
    }
    return key;
}

QString value(const QString& key, FieldKind kind, const HistoryProtocol::Value& value)
{
    const qint32 v = value.number;
    switch (kind) {
    case FieldKind::Text:
        return u'"' + value.text + u'"';
    case FieldKind::Password:
        return text(v != 0 ? 1422 : 1423);
    case FieldKind::Colour:
        return v == -1 ? text(1418) : SupervisorRules::ColourText(v);
    case FieldKind::Right:
        return v == 1 ? text(1416) : v == 0 ? text(1417) : numberText(key, v);
    case FieldKind::Fiche:
        return v >= 0 && v <= 2 ? text(1421 - v) : numberText(key, v);
    case FieldKind::Number:
        break;
    }
    return numberText(key, v);
}

QString when(const HistoryProtocol::Row& row)
{
    return QDateTime::fromMSecsSinceEpoch(row.time).toLocalTime().toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString who(const HistoryProtocol::Row& row)
{
    const qsizetype port = row.peer.lastIndexOf(u':');
    const QString address = port > 0 ? row.peer.left(port) : row.peer;
    QStringList parts;
    for (const QString& part : {row.login, HistoryProtocol::clientName(row.client), address}) {
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

QString what(const HistoryProtocol::Row& row, const HistoryProtocol::Change* change,
             const QHash<qint32, QString>& names)
{
    QString record = text(218);
    if (row.record >= 0) {
        const qint32 agent = row.record + 1;
        record = filled(Text::Agent, QString::number(agent));
        if (!names.value(agent).isEmpty())
            record += QStringLiteral(" (") + names.value(agent) + u')';
    }
    return change ? filled(Text::Pair, record, fieldLabel(change->field)) : record;
}

QString change(const HistoryProtocol::Change* change)
{
    if (!change)
        return text(Text::NoChange);
    return filled(Text::Change, value(change->field, change->kind, change->before),
                  value(change->field, change->kind, change->after));
}

} // namespace HistoryTexts
