#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Scrambling of stored passwords. Both work on 8-bit codes (code page 1252
// bytes) and return fixed failure texts instead of failing.
namespace PasswordScrambler {

inline constexpr const char* DefaultPassword = "581362";

// The stored form of a plain password, or "Impossible de crypter".
QByteArray Crypter(QByteArrayView plain);

// The plain password of a stored form, "581362" for an empty one, or
// "Impossible de décrypter".
QByteArray Decrypter(QByteArrayView stored);

// The stored form of the supervisor password of a fresh installation.
QByteArray DefaultSupervisorPassword();

} // namespace PasswordScrambler
