#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Reading and changing settings files on disk so that nothing is lost without
// a word: new bytes replace a file atomically, or, where its folder refuses a
// new file but the file itself may be written, overwrite it in place. Every
// read and change says whether it happened and, if not, which file and why.
namespace FileIo {

// What became of a change. A failure names the local file and carries the
// system's error number and the system's text for it.
struct Result
{
    int error = 0;  // the system's error number; 0 when the file was written
    QString file;   // the local file, native separators
    QString reason; // the system's text for error
    explicit operator bool() const { return error == 0; }
};

// The failure error for file, with the system's text.
Result failure(int error, const QString& localPath);

// Reads the file (empty when it does not exist yet), passes its bytes to
// change and writes what change returns:
//  - a missing file is created, a missing folder is not;
//  - a directory, or a file without write permission for its owner (a
//    read-only file), is refused;
//  - otherwise a temporary file beside it gets the bytes, the file's
//    permissions, and its owner and group where the process may set them; it
//    is flushed to disk and renamed over the file, and the folder is flushed;
//  - when the folder does not let us create that temporary file but the file
//    exists and may be written, the file is truncated, written and flushed in
//    place (a reader may then see a part of it).
Result edit(const QString& localPath, const std::function<QByteArray(const QByteArray&)>& change);

// Whether edit() could write the file now, found without writing anything:
// the same refusals (a missing folder, a folder in the file's place, a
// read-only file), and a folder that lets us neither create a file in it nor
// the file be written in place. A change of the folder afterwards can still
// make the edit fail.
Result checkEditable(const QString& localPath);

// The whole file, or a failure (the file missing included).
Result readAll(const QString& localPath, QByteArray& bytes);

} // namespace FileIo
