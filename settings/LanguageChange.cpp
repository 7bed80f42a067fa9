#include "LanguageChange.h"

#include "Conversions.h"
#include "Languages.h"
#include "SettingsFolders.h"
#include "Variables.h"

namespace LanguageChange {

void ApplyLanguage(qint16 n)
{
    Parametres.Langue = n;
    LanguageBase = Conversions::toInt16(n * 2000.0);
    Languages::LoadLanguageFile();
    SettingsFolders::ChooseHelpFile(2); // the fallback of a change made in the window
}

} // namespace LanguageChange
