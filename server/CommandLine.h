#pragma once

#include "Directory.h"
#include "Server.h"

#include <QString>
#include <QStringList>

#include <optional>

// zorsrv's command line:
//   zorsrv [--db FILE] [--listen ADDR:PORT] [--agents N] [--stall-timeout SECONDS]
//          [--login-timeout SECONDS] [--idle-timeout SECONDS] [--max-connections N]
//          [--max-per-peer N] [--allow ADDR/PREFIX]... [--directory ADDR:PORT | --no-directory]
//          [--audit-days N] [--audit-rows N]
//   zorsrv dump --db FILE [--record N] [--show-passwords]
//   zorsrv audit --db FILE [--show-passwords]
//   zorsrv audit --prune --db FILE [--audit-days N] [--audit-rows N]
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
    bool showPasswords = false;   // dump and audit
    bool prune = false;           // audit --prune
    QString error;                // set when the line cannot be used
};

Parsed parse(const QStringList& arguments);

// The database when --db is not given: zorsrv/zorsrv.db in the per-user data
// folder ($XDG_DATA_HOME, else ~/.local/share).
QString defaultDatabase();

QString usage();

} // namespace CommandLine
