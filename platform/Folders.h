#pragma once

#include <QString>

// Where the program and its settings live on this machine.
//
// Paths whose form is data (the shared folder "\\SERVER\ZOR", a ConfigDir
// ending with "\") keep that form everywhere and become local paths only when
// a file is opened, through localPath().
namespace Folders {

// The folder of the running executable, without a trailing separator.
QString programFolder();

// Replaces the program folder (tests and tools lay out their own).
// An empty text goes back to the executable's folder.
void setProgramFolder(const QString& folder);

// The executable's file name without folder and extension ("ZorCFG").
QString executableBaseName();

// The per-user application-data folder, always with a trailing separator:
// $XDG_CONFIG_HOME, else $HOME/.config. Empty when neither can be found.
QString appDataFolder();

// The file of that name in the folder, its name compared without regard to
// case as on Windows: the entry's own spelling when one matches, else the
// name as given (the path of a file that does not exist).
QString fileIgnoringCase(const QString& folder, const QString& name);
// The same, from the folder's names already read with fileNames().
QString fileIgnoringCase(const QString& folder, const QString& name, const QStringList& names);

// The names of the files in the folder (hidden and system ones too), in no
// particular order.
QStringList fileNames(const QString& folder);

// fileIgnoringCase in the program folder: the one lookup of every reader of
// program-folder files (language, help, model, bitmaps, icon).
QString programFile(const QString& name);

// Joins a folder and a name with the native separator.
QString join(const QString& folder, const QString& name);

// The local file for a path: "\\server\share\rest" becomes
// <root>/server/share/rest, <root> being $ZOR_UNC_ROOT or /mnt. Any other path
// is returned as it is.
QString localPath(const QString& path);

bool isUncPath(const QString& path);

} // namespace Folders
