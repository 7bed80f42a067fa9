#include "BlockLibrary.h"

#include "Layout.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <algorithm>
#include <cstring>

namespace Klt {

void Clear_Bloc_Entete(quint8* header)
{
    std::memset(header, 0, Layout::HeaderSize);
}

void copy_mem(const quint8* source, qint32 count, quint8* destination)
{
    if (count > 0)
        std::memmove(destination, source, static_cast<std::size_t>(count));
}

QByteArray loginKey(QByteArrayView key, QByteArrayView nonce)
{
    return QMessageAuthenticationCode::hash(nonce.toByteArray(), key.toByteArray(),
                                            QCryptographicHash::Sha256);
}

void klt_cript(QByteArrayView key, quint8* headerByte40)
{
    constexpr int nonceFromKey = Layout::Header::Nonce - Layout::Header::Key;
    const QByteArrayView nonce(headerByte40 + nonceFromKey, Layout::Header::NonceSize);
    const QByteArray mac = loginKey(key, nonce);
    std::memcpy(headerByte40, mac.constData(), Layout::Header::KeySize);
}

bool loginKeyMatches(const quint8* header, QByteArrayView key, QByteArrayView nonce)
{
    const QByteArray expected = loginKey(key, nonce);
    quint8 difference = 0;
    for (int i = 0; i < Layout::Header::KeySize; ++i)
        difference |= quint8(header[Layout::Header::Key + i] ^ quint8(expected[i]));
    return difference == 0;
}

QByteArray conv_t6200_string(const quint8* field, int width)
{
    const auto* end = std::find(field, field + width, quint8(0));
    return QByteArray(reinterpret_cast<const char*>(field), end - field);
}

void conv_string_t6200(QByteArrayView text, int width, quint8* field)
{
    const qsizetype n = std::min<qsizetype>(text.size(), width);
    std::memset(field, 0, static_cast<std::size_t>(width));
    if (n > 0) // an empty text may have no storage at all
        std::memcpy(field, text.data(), static_cast<std::size_t>(n));
}

void copy_vb_t6200(QByteArrayView text, int width, quint8* field)
{
    conv_string_t6200(text, width, field);
}

} // namespace Klt
