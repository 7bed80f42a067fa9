#pragma once

#include "DirectoryProtocol.h"

#include <QByteArrayView>
#include <QStringList>
#include <QTextStream>

#include <optional>

// zorsrv's agent table commands, safe while a server uses the database (the
// server reads the table again as soon as it changes):
//   zorsrv agents list   [--db FILE]
//   zorsrv agents set    [--db FILE] NUMBER NAME [GROUP]
//   zorsrv agents remove [--db FILE] NUMBER
//   zorsrv agents import [--db FILE] --csv FILE   (replaces the whole table)
//   zorsrv agents export [--db FILE] --csv FILE
namespace AgentAdmin {

// arguments: the whole command line, "zorsrv agents ..." included. Returns
// the exit code: 0, 1 for a bad command line or bad input (a CSV line, a
// number, a name, an agent that does not exist), 2 when the database cannot
// be opened, read or written, 3 when it is corrupt.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

// A CSV file of agents: UTF-8 (a byte-order mark is skipped), one agent a
// line as NUMBER,NAME[,GROUP], fields optionally in double quotes (a quote
// inside doubled), blanks around fields ignored, blank lines skipped, an
// optional first line "number,name,group". The entries come back in
// ascending number order; error names the first bad line.
struct Csv
{
    std::optional<DirectoryProtocol::Entries> entries;
    QString error;
};
Csv readCsv(QByteArrayView bytes);
QByteArray writeCsv(const DirectoryProtocol::Entries& entries);

QString usage();

} // namespace AgentAdmin
