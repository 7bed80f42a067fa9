#pragma once

#include <QDateTime>
#include <QString>

// A zorsrv database with a known history, written by the server's own storage
// layer before any server opens it. Write i (from 0) is agent (i % agents) + 1's
// write number k = i / agents: Droit_Modif_Fiche k % 3 and Droit_Stat k % 2,
// at first plus i minutes. Even writes come from 10.1.2.3:4000, ZorCFG run
// by "bob"; odd ones from 10.9.9.9:5000, a client that named nobody.
namespace AuditFixture {

bool write(const QString& database, int count, int agents, const QDateTime& first);

} // namespace AuditFixture
