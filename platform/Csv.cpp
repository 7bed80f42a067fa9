#include "Csv.h"

#include <QStringDecoder>

namespace {

using namespace Csv;

// Reads the bytes one record at a time; line and column follow the bytes.
class Reader
{
public:
    Reader(QByteArrayView bytes, const Limits& limits) : m_bytes(bytes), m_limits(limits)
    {
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    Result run()
    {
        if (m_bytes.size() > m_limits.maxFileBytes)
            return Error{
                1, 1,
                QStringLiteral("the file is larger than %1 bytes").arg(m_limits.maxFileBytes)};
        QList<Record> records;
        while (m_pos < m_bytes.size()) {
            Record record;
            if (!readRecord(record))
                return m_error;
            if (!(record.fields.size() == 1 && record.fields[0].text.isEmpty() && !m_quoted))
                records.append(record);
        }
        return records;
    }

private:
    char peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_bytes.size() ? m_bytes[m_pos + ahead] : '\0';
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    bool atLineEnd() const { return !atEnd() && (peek() == '\r' || peek() == '\n'); }

    void advance()
    {
        ++m_pos;
        ++m_column;
    }

    // Past one CRLF, LF or CR.
    void skipLineEnd()
    {
        if (peek() == '\r' && peek(1) == '\n')
            ++m_pos;
        ++m_pos;
        ++m_line;
        m_column = 1;
    }

    bool fail(int line, int column, const QString& message)
    {
        m_error = Error{line, column, message};
        return false;
    }

    bool readRecord(Record& record)
    {
        record.line = m_line;
        m_recordStart = m_pos;
        m_quoted = false;
        for (;;) {
            if (record.fields.size() >= m_limits.maxFields)
                return fail(m_line, m_column,
                            QStringLiteral("more than %1 fields").arg(m_limits.maxFields));
            Field field;
            field.column = m_column;
            if (!readField(field))
                return false;
            record.fields.append(field);
            if (atEnd())
                return true;
            if (atLineEnd()) {
                skipLineEnd();
                return true;
            }
            advance(); // the comma
        }
    }

    bool withinRecord()
    {
        if (m_pos - m_recordStart < m_limits.maxRecordBytes)
            return true;
        return fail(
            m_line, m_column,
            QStringLiteral("the line is longer than %1 bytes").arg(m_limits.maxRecordBytes));
    }

    bool readField(Field& field)
    {
        QByteArray raw;
        const int line = m_line;
        if (peek() == '"') {
            m_quoted = true;
            advance();
            for (;;) {
                if (atEnd())
                    return fail(line, field.column, QStringLiteral("a quoted field is not closed"));
                if (!withinRecord())
                    return false;
                const char c = peek();
                if (c == '"' && peek(1) == '"') {
                    raw += '"';
                    advance();
                    advance();
                } else if (c == '"') {
                    advance();
                    break;
                } else if (c == '\r' || c == '\n') {
                    raw += c == '\r' && peek(1) == '\n' ? QByteArray("\r\n") : QByteArray(1, c);
                    skipLineEnd();
                } else {
                    raw += c;
                    advance();
                }
                if (raw.size() > m_limits.maxFieldBytes)
                    return fail(line, field.column, tooLong());
            }
            if (!atEnd() && peek() != ',' && !atLineEnd())
                return fail(
                    m_line, m_column,
                    QStringLiteral("only a comma or the line end may follow a quoted field"));
        } else {
            while (!atEnd() && peek() != ',' && !atLineEnd()) {
                if (peek() == '"')
                    return fail(
                        m_line, m_column,
                        QStringLiteral("a quote inside a field that does not start with one"));
                if (!withinRecord())
                    return false;
                raw += peek();
                advance();
                if (raw.size() > m_limits.maxFieldBytes)
                    return fail(line, field.column, tooLong());
            }
        }
        return decode(raw, field, line);
    }

    QString tooLong() const
    {
        return QStringLiteral("a field is longer than %1 bytes").arg(m_limits.maxFieldBytes);
    }

    bool decode(const QByteArray& raw, Field& field, int line)
    {
        // A byte-order mark inside a field is text: only the file's first is skipped.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        field.text = decoder.decode(raw);
        if (decoder.hasError() || raw.contains('\0'))
            return fail(line, field.column, QStringLiteral("the field is not UTF-8 text"));
        return true;
    }

    QByteArrayView m_bytes;
    Limits m_limits;
    qsizetype m_pos = 0;
    qsizetype m_recordStart = 0;
    int m_line = 1;
    int m_column = 1;
    bool m_quoted = false;
    Error m_error;
};

bool needsQuotes(const QString& field)
{
    for (const QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    // A byte-order mark at the start of a file would be skipped on reading.
    return !field.isEmpty() &&
           (field.front().isSpace() || field.back().isSpace() || field.front() == QChar(0xFEFF));
}

} // namespace

namespace Csv {

Result Read(QByteArrayView bytes, const Limits& limits)
{
    return Reader(bytes, limits).run();
}

QByteArray FormatRecord(const QStringList& fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        const QString& field = fields[i];
        if (needsQuotes(field)) {
            QString quoted = field;
            quoted.replace(u'"', QStringLiteral("\"\""));
            line += '"' + quoted.toUtf8() + '"';
        } else {
            line += field.toUtf8();
        }
    }
    return line + "\r\n";
}

QString Describe(const Error& error)
{
    return QStringLiteral("line %1, column %2: %3")
        .arg(error.line)
        .arg(error.column)
        .arg(error.message);
}

} // namespace Csv
