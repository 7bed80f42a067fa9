#include "Admin.h"

#include "BlockLibrary.h"
#include "Cp1252.h"
#include "Layout.h"
#include "Records.h"
#include "Rights.h"
#include "SettingsRecord.h"
#include "Storage.h"

#include <QByteArray>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <utility>

namespace Admin {

namespace {

enum class Kind
{
    Password,
    Colour,
    Right,
    Fiche,
    Number,
    Text
};

struct FieldDef
{
    const char* name;
    int offset;
    int width;
    Kind kind;
};

constexpr std::array<FieldDef, 10> SupervisorFields = {{
    {"ModeLieApp", Layout::Supervisor::ModeLieApp, Layout::Supervisor::ModeLieAppWidth, Kind::Text},
    {"mot_de_passe (scrambled)", Layout::Supervisor::Password, Layout::Supervisor::PasswordWidth,
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
    } else {
        defs.append(
            {"password", Layout::Agent::Password, Layout::Agent::PasswordWidth, Kind::Password});
        for (const Rights::RightDef& right : Rights::Table)
            defs.append({right.key, right.recordOffset, 4,
                         &right == &Rights::Fiche ? Kind::Fiche : Kind::Right});
        std::sort(defs.begin(), defs.end(),
                  [](const FieldDef& a, const FieldDef& b) { return a.offset < b.offset; });
    }
    return defs;
}

QString rightText(qint32 v)
{
    switch (v) {
    case 1:
        return QStringLiteral("granted");
    case 0:
        return QStringLiteral("refused");
    case -1:
        return QStringLiteral("not set");
    default:
        return QString::number(v);
    }
}

QString ficheText(qint32 v)
{
    switch (v) {
    case 2:
        return QStringLiteral("all fields");
    case 1:
        return QStringLiteral("comment field only");
    case 0:
        return QStringLiteral("none");
    case -1:
        return QStringLiteral("not set");
    default:
        return QString::number(v);
    }
}

QString valueText(const FieldDef& def, const quint8* data)
{
    if (def.kind == Kind::Text || def.kind == Kind::Password) {
        QString text = Cp1252::toUnicode(Klt::conv_t6200_string(data + def.offset, def.width));
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        text.replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    const qint32 v = Layout::readInt(data, def.offset);
    switch (def.kind) {
    case Kind::Colour:
        return v == -1
                   ? QStringLiteral("not set")
                   : QLatin1String("0x") +
                         QStringLiteral("%1").arg(quint32(v), 8, 16, QLatin1Char('0')).toUpper();
    case Kind::Right:
        return rightText(v);
    case Kind::Fiche:
        return ficheText(v);
    default:
        return v == -1 ? QStringLiteral("not set") : QString::number(v);
    }
}

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' '));
}

// What a field shows: a password that is set only when asked for.
QString shown(const Field& field, bool showPasswords)
{
    if (!field.secret || showPasswords || field.value == QLatin1String("\"\""))
        return field.value;
    return QStringLiteral("(hidden)");
}

void writeRecord(QTextStream& out, qint32 record, const std::optional<QByteArray>& stored,
                 bool showPasswords)
{
    out << Records::label(record) << " (record " << record << ")"
        << (stored ? "" : ": never written, reads as not set") << "\n";
    const QByteArray data = stored.value_or(Records::unset(record));
    for (const Field& f : fields(record, data))
        out << "  " << f.name << ": " << shown(f, showPasswords) << "\n";
    for (const QString& line : otherBytes(record, data))
        out << "  " << line << "\n";
}

} // namespace

QList<Field> fields(qint32 record, QByteArrayView data)
{
    QList<Field> result;
    const QByteArray padded = data.toByteArray().leftJustified(Records::dataSize(record), '\0');
    const auto* p = reinterpret_cast<const quint8*>(padded.constData());
    for (const FieldDef& def : definitions(record))
        result.append(
            {QString::fromLatin1(def.name), valueText(def, p), def.kind == Kind::Password});
    return result;
}

QStringList otherBytes(qint32 record, QByteArrayView data, QByteArrayView base)
{
    const int size = Records::dataSize(record);
    QList<bool> interpreted(size, false);
    for (const FieldDef& def : definitions(record))
        for (int i = def.offset; i < def.offset + def.width && i < size; ++i)
            interpreted[i] = true;
    const QByteArray now = data.toByteArray().leftJustified(size, '\0', true);
    const QByteArray before = base.toByteArray().leftJustified(size, '\0', true);
    QStringList lines;
    int i = 0;
    while (i < size) {
        if (interpreted[i] || now[i] == before[i]) {
            ++i;
            continue;
        }
        int end = i;
        while (end < size && !interpreted[end] && now[end] != before[end])
            ++end;
        QString line = QStringLiteral("bytes %1-%2: ").arg(i).arg(end - 1);
        if (!base.isEmpty())
            line += hex(QByteArrayView(before).sliced(i, end - i)) + QLatin1String(" -> ");
        lines << line + hex(QByteArrayView(now).sliced(i, end - i));
        i = end;
    }
    return lines;
}

int dump(const QString& database, std::optional<qint32> record, bool showPasswords,
         QTextStream& out, QTextStream& err)
{
    Storage storage(QStringLiteral("zorsrv-dump"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::ReadOnly);
    if (opened.failure != Storage::Failure::None) {
        err << "zorsrv: " << opened.message << "\n";
        return 2;
    }
    if (record) {
        writeRecord(out, *record, storage.record(*record), showPasswords);
        return 0;
    }
    const QMap<qint32, QByteArray> all = storage.records();
    if (!all.contains(Layout::SupervisorRecordNumber))
        writeRecord(out, Layout::SupervisorRecordNumber, std::nullopt, showPasswords);
    for (auto it = all.begin(); it != all.end(); ++it)
        writeRecord(out, it.key(), it.value(), showPasswords);
    const qsizetype agents = all.size() - (all.contains(Layout::SupervisorRecordNumber) ? 1 : 0);
    out << agents << " agent records written; the others read as not set\n";
    return 0;
}

int audit(const QString& database, bool showPasswords, QTextStream& out, QTextStream& err)
{
    Storage storage(QStringLiteral("zorsrv-audit"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::ReadOnly);
    if (opened.failure != Storage::Failure::None) {
        err << "zorsrv: " << opened.message << "\n";
        return 2;
    }
    const QList<Storage::AuditRow> rows = storage.audit();
    for (const Storage::AuditRow& row : rows) {
        out << "#" << row.id << " " << row.time << " " << row.peer << " "
            << Records::label(row.record) << " (record " << row.record << ")"
            << (row.before ? "" : ", first write") << "\n";
        const QByteArray before = row.before.value_or(Records::unset(row.record));
        const QList<Field> old = fields(row.record, before);
        const QList<Field> now = fields(row.record, row.after);
        bool changed = false;
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (old[i].value == now[i].value)
                continue;
            const QString after = shown(now[i], showPasswords);
            out << "  " << now[i].name << ": " << shown(old[i], showPasswords) << " -> "
                << (after == shown(old[i], showPasswords) ? after + " (changed)" : after) << "\n";
            changed = true;
        }
        const QStringList bytes = otherBytes(row.record, row.after, before);
        for (const QString& line : bytes)
            out << "  " << line << "\n";
        if (!changed && bytes.isEmpty())
            out << "  (no change)\n";
    }
    out << rows.size() << " audit rows\n";
    return 0;
}

int prune(const QString& database, const Storage::Retention& retention, QTextStream& out,
          QTextStream& err)
{
    if (!QFileInfo::exists(database)) {
        err << "zorsrv: cannot open the database " << database << ": no such file\n";
        return 2;
    }
    Storage storage(QStringLiteral("zorsrv-prune"));
    const Storage::Opened opened = storage.open(database, Storage::Mode::Update);
    QString error;
    const qint64 deleted =
        opened.failure == Storage::Failure::None ? storage.pruneAudit(retention, &error) : -1;
    if (deleted < 0) {
        err << "zorsrv: " << (opened.message.isEmpty() ? error : opened.message) << "\n";
        return 2;
    }
    out << deleted << " audit rows deleted; the audit keeps " << retention.days
        << " days and at most " << retention.rows << " rows\n";
    return 0;
}

} // namespace Admin
