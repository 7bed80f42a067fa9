#include "SupervisorLogin.h"

#include "Cp1252.h"
#include "SettingsFolders.h"
#include "Variables.h"

namespace SupervisorLogin {

QString Normalised(const QString& typed)
{
    return Cp1252::toUpper(SettingsFolders::TrimSpaces(typed));
}

bool PasswordMatches(const QString& typed)
{
    if (Parametres.MotDePasse.isEmpty())
        return true;
    return Normalised(typed) == Parametres.MotDePasse;
}

bool Storable(const QString& password)
{
    return Cp1252::toUnicode(Cp1252::fromUnicode(password)) == password;
}

} // namespace SupervisorLogin
