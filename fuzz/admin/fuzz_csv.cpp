// Input: the bytes of a CSV file. Reads it with small limits; an error must
// name a place inside the input, and every record read must come back the
// same after it is written out and read again.
#include "Csv.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <variant>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

Csv::Limits smallLimits()
{
    Csv::Limits limits;
    limits.maxFileBytes = 1 << 16;
    limits.maxRecordBytes = 256;
    limits.maxFieldBytes = 64;
    limits.maxFields = 16;
    return limits;
}

QStringList texts(const Csv::Record& record)
{
    QStringList fields;
    for (const Csv::Field& field : record.fields)
        fields << field.text;
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Csv::Result result = Csv::Read(input, smallLimits());
    if (const Csv::Error* error = std::get_if<Csv::Error>(&result)) {
        check(error->line >= 1 && error->column >= 1 && !error->message.isEmpty());
        check(error->line <= input.count('\n') + input.count('\r') + 1);
        return 0;
    }
    const QList<Csv::Record>& records = std::get<QList<Csv::Record>>(result);
    int lastLine = 0;
    for (const Csv::Record& record : records) {
        check(record.line > lastLine && !record.fields.isEmpty());
        check(record.fields.size() <= smallLimits().maxFields);
        lastLine = record.line;
        const QStringList fields = texts(record);
        if (fields.size() == 1 && fields[0].isEmpty())
            continue; // a lone empty field is written as a blank line, which reads as nothing
        const Csv::Result again = Csv::Read(Csv::FormatRecord(fields));
        const auto* reread = std::get_if<QList<Csv::Record>>(&again);
        check(reread && reread->size() == 1 && texts(reread->first()) == fields);
    }
    return 0;
}
