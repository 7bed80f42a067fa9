#pragma once

#include "HistoryProtocol.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <utility>

// The fields of the records' data parts, decoded: each setting and right by
// its key, with its kind and value. zorsrv shows records and the audit trail
// with them, and its history request sends them to the tool.
namespace RecordFields {

using Kind = HistoryProtocol::FieldKind;
using Value = HistoryProtocol::Value;

struct Field
{
    QString name; // the key, "password" for an agent's
    Kind kind = Kind::Number;
    Value value; // a password's value holds its text and 1 when it is set
};

// The fields of a record's data part (-1 the supervisor's, else an agent's),
// in offset order; missing bytes read as zeros.
QList<Field> decode(qint32 record, QByteArrayView data);

// The bytes of the data part that the fields cover: [start, end) pairs.
QList<std::pair<int, int>> spans(qint32 record);

// Whether a field of that name exists in the supervisor record or in an
// agent record.
bool isSupervisorField(QByteArrayView name);
bool isAgentField(QByteArrayView name);

// A value as zorsrv prints it: rights by name ("granted"), colours in hex
// ("0x000000FF"), texts in double quotes with \ and " escaped, "not set" for
// -1; a password that is set as "(hidden)" unless shown.
QString englishValue(Kind kind, const Value& value, bool showPassword = false);

} // namespace RecordFields
