#pragma once

#include <QString>

// The supervisor login's password rule: a typed password counts upper-cased
// within code page 1252 (the case the stored password is kept in) and
// without surrounding spaces. The login and the password change use it alike.
namespace SupervisorLogin {

// The typed text as the rule counts it.
QString Normalised(const QString& typed);

// Whether a typed password opens the program: with no password set
// (Parametres.MotDePasse empty) any text does; otherwise the normalised text
// must equal MotDePasse exactly.
bool PasswordMatches(const QString& typed);

// Whether a new password can be stored as it is: every character is one of
// code page 1252 (the stored form), so that the next start reads it back.
bool Storable(const QString& password);

} // namespace SupervisorLogin
