#pragma once

#include "SettingsRecord.h"

#include <QByteArray>
#include <QString>

// The program's global state: one settings record for the whole run and the
// handful of globals that start-up fills and every module reads.

inline constexpr int LanguageCount = 17; // numbers 0 to 16: Langue * 2000 fits 16 bits

extern SettingsRecord Parametres;

extern QString StationIniPath;    // the per-user zor.ini
extern QString LanguageFilePath;  // the language file in memory
extern QString LanguageText;      // its whole text
extern QString LanguageTextUpper; // the same in upper case
extern QString HelpFile;          // the help file every Help button opens
extern qint16 LanguageBase;       // Langue * 2000
extern qint16 RecvTimeout;        // gateway reply time-out, seconds
extern QByteArray IniBuffer;      // work buffer of every INI read

// Back to the state at program start (tests).
void ResetGlobals();
