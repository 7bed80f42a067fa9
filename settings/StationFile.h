#pragma once

#include <QString>

// The per-user station settings file that the program uses.
namespace StationFile {

// The program's executable name: it names the per-user folder.
inline constexpr const char* ProgramName = "ZorCFG";

// The per-user zor.ini of an executable called executableBaseName: the
// folder is "Q.R.S" + "ZOR" when the program folder's zor.ini says Tarvello
// "1", else "Q.R.S" + the executable's name. The file is created from the
// program folder's copy when it is missing.
QString Resolve(const QString& executableBaseName);

} // namespace StationFile
