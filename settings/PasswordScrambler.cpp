#include "PasswordScrambler.h"

namespace {

constexpr QByteArrayView Prefix = "K7M4";
constexpr QByteArrayView Suffix = "3XZ";
constexpr QByteArrayView CannotScramble = "Impossible de crypter";
constexpr QByteArrayView CannotUnscramble = "Impossible de d\xe9"
                                            "crypter"; // code page 1252

// The supervisor password of a fresh installation is "SUPER"; this is its
// stored form, kept as it stands in the files of existing installations.
constexpr QByteArrayView DefaultStored = "YI4I/MNH<H(L";

} // namespace

namespace PasswordScrambler {

QByteArray Crypter(QByteArrayView plain)
{
    QByteArray padded = Prefix.toByteArray() + plain.toByteArray() + Suffix.toByteArray();
    padded.prepend(padded.back());
    padded.chop(1);
    QByteArray stored(padded.size(), Qt::Uninitialized);
    for (qsizetype k = 1; k <= padded.size(); ++k) {
        const int v = static_cast<unsigned char>(padded[k - 1]) - int(k);
        if (v < 0)
            return CannotScramble.toByteArray();
        stored[k - 1] = static_cast<char>(v);
    }
    return stored;
}

QByteArray Decrypter(QByteArrayView stored)
{
    if (stored.isEmpty())
        return QByteArray(DefaultPassword);
    QByteArray shifted(stored.size(), Qt::Uninitialized);
    for (qsizetype k = 1; k <= stored.size(); ++k) {
        const qsizetype v = static_cast<unsigned char>(stored[k - 1]) + k;
        if (v > 255) // no character code: never written by Crypter
            return CannotUnscramble.toByteArray();
        shifted[k - 1] = static_cast<char>(v);
    }
    shifted.append(shifted.front());
    shifted.remove(0, 1);
    if (!shifted.startsWith(Prefix) || !shifted.endsWith(Suffix) ||
        shifted.size() < Prefix.size() + Suffix.size())
        return CannotUnscramble.toByteArray();
    return shifted.mid(Prefix.size(), shifted.size() - Prefix.size() - Suffix.size());
}

QByteArray DefaultSupervisorPassword()
{
    return DefaultStored.toByteArray();
}

} // namespace PasswordScrambler
