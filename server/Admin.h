#pragma once

#include "Storage.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>

// zorsrv's admin commands, on a database file that a running server may be
// using: dump shows records as readable fields, audit the trail of writes.
namespace Admin {

struct Field
{
    QString name;
    QString value;       // rights by name, colours in hex, texts decoded
    bool secret = false; // a password: shown only when asked for
};

// The fields of a record's data part, in offset order.
QList<Field> fields(qint32 record, QByteArrayView data);

// The bytes no field interprets, as lines "bytes A-B: hex" for each run of
// bytes that differ from base (or that are not zero, without base).
QStringList otherBytes(qint32 record, QByteArrayView data, QByteArrayView base = {});

// Each returns the process exit code: 0, or 2 when the database cannot be
// read (or, for prune, written). Passwords show as (hidden) unless
// showPasswords; an empty one shows as it is.
int dump(const QString& database, std::optional<qint32> record, bool showPasswords,
         QTextStream& out, QTextStream& err);
int audit(const QString& database, bool showPasswords, QTextStream& out, QTextStream& err);
// Deletes the audit rows the retention does not keep.
int prune(const QString& database, const Storage::Retention& retention, QTextStream& out,
          QTextStream& err);

} // namespace Admin
