#pragma once

#include "HistoryProtocol.h"

#include <QHash>
#include <QString>
#include <QStringList>

// What the History window shows of the server's rows, in the current
// language: fields named as the pages and the rights dialog name them,
// values as words, colours as #RRGGBB.
namespace HistoryTexts {

// Text numbers of the window and of the rights dialog's link.
namespace Text {
inline constexpr int Button = 1400;
inline constexpr int AllFields = 1406;
inline constexpr int Agent = 1411;  // "Agent |1"
inline constexpr int Change = 1412; // "|1 -> |2"
inline constexpr int NoChange = 1415;
inline constexpr int NoRows = 1424;
inline constexpr int Unreadable = 1425;
inline constexpr int NoSuchAgent = 1426; // "|1" the text typed
inline constexpr int Pair = 1431;        // "|1: |2"
} // namespace Text

// Every field a row may name, agents' first, in the order the filter lists them.
QStringList fieldKeys();
QString fieldLabel(const QString& key);
QString value(const QString& key, HistoryProtocol::FieldKind kind,
              const HistoryProtocol::Value& value);

// The columns of a row: when (local time), who, what, and the change; names
// are the agents' names by number.
QString when(const HistoryProtocol::Row& row);
QString who(const HistoryProtocol::Row& row);
QString what(const HistoryProtocol::Row& row, const HistoryProtocol::Change* change,
             const QHash<qint32, QString>& names);
QString change(const HistoryProtocol::Change* change);

} // namespace HistoryTexts
