#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Help files for the help tests: the three files the build compiled, and
// damaged copies of them made by rewriting an entry of their directory.
namespace ChmFixtures {

// The help contexts of the windows and the topic each one opens.
struct ContextTopic
{
    int context;
    const char* path;
};
inline constexpr ContextTopic Contexts[] = {
    {110, "/login.htm"},  {120, "/window.htm"}, {121, "/general.htm"},    {122, "/colours.htm"},
    {123, "/agents.htm"}, {130, "/rights.htm"}, {204, "/connection.htm"}, {140, "/history.htm"},
};

// A help file compiled by chmcmd in `folder` from the files given by their
// paths inside it: index.htm is its default topic and the topic of context
// 110. Its path, or empty when it could not be made.
QString compile(const QString& folder, const QList<std::pair<QString, QByteArray>>& files);

// The compiled help file of language 0, 1 or 2 in the program folder.
QString compiledFile(int language);
QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);

enum class Field
{
    Offset,
    Length
};

// Rewrites the offset or length of the directory entry `name` in place, in
// the width the number has in the file: `value` is cut to the largest number
// that width holds. False when the entry is not found.
bool rewriteEntry(QByteArray* file, const QByteArray& name, Field field, quint64 value);

// A copy of `file` with `value` written at `at`, 32 bits little-endian.
QByteArray patched32(QByteArray file, qsizetype at, quint32 value);

// Where the uncompressed entry `lowerName` of `file` starts in the file.
qsizetype entryStart(const QByteArray& file, const QByteArray& lowerName);

} // namespace ChmFixtures
