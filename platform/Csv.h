#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

// Comma-separated values as spreadsheets write them: fields separated by
// commas, records ended by CRLF, LF or CR; a field in double quotes may hold
// commas, line breaks and doubled quotes (""), and nothing may follow its
// closing quote but a comma or the end of the record. Text is UTF-8; a UTF-8
// byte-order mark at the start is skipped. Blank records are skipped.
//
// Everything is bounded: a file, a record (counted in bytes, line breaks
// inside quotes included), a field and the number of fields per record.
namespace Csv {

struct Limits
{
    qsizetype maxFileBytes = 4 * 1024 * 1024;
    qsizetype maxRecordBytes = 4096;
    qsizetype maxFieldBytes = 1024;
    qsizetype maxFields = 64;
};

struct Field
{
    QString text;
    int column = 0; // 1-based byte position of the field on its line
};

struct Record
{
    int line = 0; // 1-based line where the record starts
    QList<Field> fields;
};

struct Error
{
    int line = 0;
    int column = 0;
    QString message;
};

using Result = std::variant<QList<Record>, Error>;

Result Read(QByteArrayView bytes, const Limits& limits = {});

// One record with CRLF: a field is quoted when it holds a comma, a quote, a
// line break or surrounding blanks; quotes inside are doubled.
QByteArray FormatRecord(const QStringList& fields);

// "line L, column C: message".
QString Describe(const Error& error);

} // namespace Csv
