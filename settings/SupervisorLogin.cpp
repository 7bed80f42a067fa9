#include "SupervisorLogin.h"

#include "Cp1252.h"
#include "Variables.h"

namespace SupervisorLogin {

bool PasswordMatches(const QString& typed)
{
    if (Parametres.MotDePasse.isEmpty())
        return true;
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && typed.at(begin) == u' ')
        ++begin;
    while (end > begin && typed.at(end - 1) == u' ')
        --end;
    return Cp1252::toUpper(QStringView(typed).sliced(begin, end - begin)) == Parametres.MotDePasse;
}

} // namespace SupervisorLogin
