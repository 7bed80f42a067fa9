#pragma once

#include <QString>

// The supervisor login's password rule.
namespace SupervisorLogin {

// Whether a typed password opens the program: with no password set
// (Parametres.MotDePasse empty) any text does; otherwise the text, upper-cased
// and without surrounding spaces, must equal MotDePasse exactly.
bool PasswordMatches(const QString& typed);

} // namespace SupervisorLogin
