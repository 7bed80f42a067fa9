#pragma once

// What zoradm's exit status means.
namespace ExitCodes {

inline constexpr int Done = 0;
inline constexpr int FileError = 1; // a file named on the command line cannot be read or written
inline constexpr int Usage = 2;     // the command line is wrong
inline constexpr int Password = 3;  // no password given, or the wrong one
inline constexpr int BadInput = 4;  // a CSV row, a KEY=VALUE or an agent that is refused
inline constexpr int SettingsFailure = 5; // a settings file could not be read or written
inline constexpr int Ended = 6;           // the run was ended: a gateway failure, no server address
// The agent directory opened its link but its table could not be read (unreadable,
// the link lost): nothing was written.
inline constexpr int DirectoryFailure = 7;
// A store failed after some agents were stored: the output says, agent by
// agent, which were stored and which were not.
inline constexpr int Partial = 8;
// No history to show: the settings are in the shared folder, or the server
// keeps none.
inline constexpr int NoHistory = 9;

} // namespace ExitCodes
