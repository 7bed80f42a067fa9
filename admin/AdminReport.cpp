#include "AdminReport.h"

#include "Folders.h"
#include "RightsCells.h"
#include "SupervisorRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool isColour(const QString& key)
{
    return key.startsWith(u"Couleur");
}

QString modeName()
{
    return Parametres.TcpPort ? QStringLiteral("server") : QStringLiteral("shared-folder");
}

// Where the shared settings came from: the server's address and port, or the
// shared folder and the local folder it maps to.
QString source()
{
    if (Parametres.TcpPort)
        return QStringLiteral("%1:%2").arg(Parametres.VS_addr).arg(Parametres.TcpPort);
    return Parametres.ConfigPath;
}

QString displayValue(const QString& key, const QString& value)
{
    if (!isColour(key))
        return value;
    return SupervisorRules::ColourText(value.toInt()) + QStringLiteral(" (") + value + u')';
}

QJsonObject rightsObject(const AgentsList::Row& row)
{
    QJsonObject rights;
    for (const char* key : RightsCells::Keys)
        rights.insert(QLatin1StringView(key), RightsCells::Level(row, key));
    return rights;
}

} // namespace

namespace AdminReport {

QStringList RightKeys()
{
    QStringList keys;
    for (const char* key : RightsCells::Keys)
        keys << QLatin1StringView(key);
    return keys;
}

QString Text(const AgentsList::Rows& rows)
{
    QStringList lines;
    const auto line = [&lines](const QString& name, const QString& value) {
        lines << name.leftJustified(22) + u' ' + value;
    };
    line(QStringLiteral("station file"), StationIniPath);
    line(QStringLiteral("mode"), modeName());
    line(QStringLiteral("source"), source());
    if (!Parametres.TcpPort)
        line(QStringLiteral("local folder"), Folders::localPath(Parametres.ConfigPath));
    for (const QString& key : SupervisorRules::Keys())
        line(key, displayValue(key, SupervisorRules::Value(Parametres, key)));
    QString header = QStringLiteral("Agent Name");
    for (const char* key : RightsCells::Keys)
        header += u' ' + QLatin1StringView(key);
    lines << QString() << header;
    for (const AgentsList::Row& row : rows) {
        QString text = row.cells[AgentsList::ColNumber].leftJustified(5) + u' ' +
                       row.cells[AgentsList::ColName].leftJustified(4);
        for (const char* key : RightsCells::Keys) {
            const QString level = QString::number(RightsCells::Level(row, key));
            text += u' ' + level.leftJustified(int(qstrlen(key)));
        }
        lines << text.trimmed();
    }
    return lines.join(u'\n');
}

QString Json(const AgentsList::Rows& rows)
{
    QJsonObject settings;
    QJsonObject colours;
    for (const QString& key : SupervisorRules::Keys()) {
        const QString value = SupervisorRules::Value(Parametres, key);
        if (isColour(key))
            colours.insert(key, QJsonObject{{QStringLiteral("value"), value.toInt()},
                                            {QStringLiteral("rgb"),
                                             SupervisorRules::ColourText(value.toInt())}});
        else if (key == u"ModeLieApp")
            settings.insert(key, value);
        else
            settings.insert(key, value.toInt());
    }
    QJsonArray agents;
    for (const AgentsList::Row& row : rows)
        agents.append(QJsonObject{{QStringLiteral("agent"), row.cells[AgentsList::ColNumber]},
                                  {QStringLiteral("name"), row.cells[AgentsList::ColName]},
                                  {QStringLiteral("rights"), rightsObject(row)}});
    const QJsonObject document{
        {QStringLiteral("stationFile"), StationIniPath},
        {QStringLiteral("mode"), modeName()},
        {QStringLiteral("source"), source()},
        {QStringLiteral("localFolder"),
         Parametres.TcpPort ? QString() : Folders::localPath(Parametres.ConfigPath)},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("colours"), colours},
        {QStringLiteral("agents"), agents},
    };
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)).trimmed();
}

QStringList RightsChanges(const AgentsList::Row& row, const AgentsList::Row& edited,
                          bool clearPassword)
{
    QStringList changes;
    for (const char* key : RightsCells::Keys) {
        const int before = RightsCells::Level(row, key);
        const int after = RightsCells::Level(edited, key);
        if (before != after)
            changes
                << QStringLiteral("%1 %2 -> %3").arg(QLatin1StringView(key)).arg(before).arg(after);
    }
    if (clearPassword)
        changes << QStringLiteral("password to clear");
    return changes;
}

QStringList SettingsChanges(const SettingsRecord& before, const SettingsRecord& after)
{
    QStringList changes;
    for (const QString& key : SupervisorRules::Keys()) {
        const QString old = SupervisorRules::Value(before, key);
        const QString now = SupervisorRules::Value(after, key);
        if (old != now)
            changes << QStringLiteral("%1: %2 -> %3")
                           .arg(key, displayValue(key, old), displayValue(key, now));
    }
    return changes;
}

} // namespace AdminReport
