#include "Variables.h"

SettingsRecord Parametres;

QString StationIniPath;
QString LanguageFilePath;
QString LanguageText;
QString LanguageTextUpper;
QString HelpFile;
qint16 LanguageBase = 0;
qint16 RecvTimeout = 0;
QByteArray IniBuffer;

void ResetGlobals()
{
    Parametres = SettingsRecord{};
    StationIniPath.clear();
    LanguageFilePath.clear();
    LanguageText.clear();
    LanguageTextUpper.clear();
    HelpFile.clear();
    LanguageBase = 0;
    RecvTimeout = 0;
    IniBuffer.clear();
}
