#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// zoradm's command line: one command, its arguments and options.
namespace AdminCommandLine {

struct Options
{
    QString command; // empty: the general help
    QStringList arguments;
    QString station;
    QString passwordFile;
    QString csv;
    QString agents;
    QString agent, since, until; // history
    bool json = false;
    bool dryRun = false;
    bool help = false;
};

struct Parsed
{
    Options options;
    QString error; // not empty: a usage error
};

Parsed Parse(const QStringList& arguments);

// The help of a command, or the general help for an empty or unknown name.
QString Help(const QString& command);

// "1-10,12": agent numbers and ranges, separated by commas; the numbers in
// increasing order, each once. Nothing, with the reason, when the text is not
// such a list.
std::optional<QList<int>> ParseAgents(const QString& text, QString* error);

} // namespace AdminCommandLine
