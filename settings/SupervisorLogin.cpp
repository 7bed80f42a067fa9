#include "SupervisorLogin.h"

#include "Cp1252.h"
#include "SettingsFolders.h"
#include "Variables.h"

namespace SupervisorLogin {

bool PasswordMatches(const QString& typed)
{
    if (Parametres.MotDePasse.isEmpty())
        return true;
    return Cp1252::toUpper(SettingsFolders::TrimSpaces(typed)) == Parametres.MotDePasse;
}

} // namespace SupervisorLogin
