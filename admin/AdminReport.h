#pragma once

#include "AgentsList.h"
#include "Variables.h"

#include <QString>
#include <QStringList>

// What zoradm prints: the loaded settings as text or JSON, and the changes a
// command is about to make. Passwords are never printed.
namespace AdminReport {

QString Text(const AgentsList::Rows& rows);
QString Json(const AgentsList::Rows& rows);

// "Droit_Stat 1 -> 0" for each right that differs; "password to clear".
QStringList RightsChanges(const AgentsList::Row& row, const AgentsList::Row& edited,
                          bool clearPassword);

// "KEY: old -> new" for each supervisor setting that differs.
QStringList SettingsChanges(const SettingsRecord& before, const SettingsRecord& after);

QStringList RightKeys();

} // namespace AdminReport
