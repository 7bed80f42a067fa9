#include "LanguageChange.h"

#include "Conversions.h"
#include "Folders.h"
#include "Languages.h"
#include "Variables.h"

#include <QFileInfo>

namespace {

QString helpFileFor(int langue)
{
    return Folders::join(Folders::programFolder(), QStringLiteral("Zor_Hp") +
                                                       Conversions::padded(langue, 2) +
                                                       QStringLiteral(".chm"));
}

} // namespace

namespace LanguageChange {

void ApplyLanguage(qint16 n)
{
    Parametres.Langue = n;
    LanguageBase = static_cast<qint16>(n * 2000);
    Languages::LoadLanguageFile();
    HelpFile = helpFileFor(n);
    if (!QFileInfo(Folders::localPath(HelpFile)).isFile())
        HelpFile = helpFileFor(2); // the fallback of a change made in the window
}

} // namespace LanguageChange
