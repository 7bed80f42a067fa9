#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// The block library: the six operations that prepare gateway messages. Text
// fields hold code page 1252 bytes, cut to the field width and padded with
// zero bytes; a field is read up to its first zero byte.
namespace Klt {

// Zeroes the 512 header bytes at header; the bytes after it are untouched.
void Clear_Bloc_Entete(quint8* header);

// A plain copy of count bytes.
void copy_mem(const quint8* source, qint32 count, quint8* destination);

// Writes HMAC-SHA256(key text, greeting nonce) at header bytes 40 to 71. The
// argument is the address of header byte 40; the nonce is at header bytes 128
// to 159, where the server's greeting left it.
void klt_cript(QByteArrayView key, quint8* headerByte40);

// The text of a field of the given width, up to its first zero byte.
QByteArray conv_t6200_string(const quint8* field, int width);

// Writes text into a field of the given width: cut to the width, the rest
// zero bytes.
void conv_string_t6200(QByteArrayView text, int width, quint8* field);
void copy_vb_t6200(QByteArrayView text, int width, quint8* field);

// The enciphered key a login must carry for this nonce (server side).
QByteArray loginKey(QByteArrayView key, QByteArrayView nonce);

// Constant-time comparison of the key a login header carries with the
// expected one (server side).
bool loginKeyMatches(const quint8* header, QByteArrayView key, QByteArrayView nonce);

} // namespace Klt
