#pragma once

#include "Directory.h"
#include "Server.h"

#include <QString>
#include <QStringList>

#include <optional>

// zorsrv's command line:
//   zorsrv [--db FILE] [--listen ADDR:PORT] [--agents N] [--stall-timeout SECONDS]
//          [--max-connections N] [--directory ADDR:PORT | --no-directory]
//   zorsrv dump --db FILE [--record N]
//   zorsrv audit --db FILE
namespace CommandLine {

enum class Command
{
    Serve,
    Dump,
    Audit,
    Help
};

struct Parsed
{
    Command command = Command::Serve;
    Server::Options options;
    DirectoryOptions directory;
    std::optional<qint32> record; // dump --record
    QString error;                // set when the line cannot be used
};

Parsed parse(const QStringList& arguments);

// The database when --db is not given: zorsrv/zorsrv.db in the per-user data
// folder ($XDG_DATA_HOME, else ~/.local/share).
QString defaultDatabase();

QString usage();

} // namespace CommandLine
