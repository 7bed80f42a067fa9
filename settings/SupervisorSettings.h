#pragma once

#include <QByteArrayView>
#include <QString>

// supervis.ini in the shared configuration folder (shared-folder mode).
namespace SupervisorSettings {

// Reads every key into Parametres; a failure is reported and ends the read.
void GetIniCouleurs();

// Writes every field of Parametres back; a failure is reported and ends the
// write.
void SetIniCouleurs();

// The associated application of the linked mode when none is stored.
inline constexpr const char* DefaultModeLieApp = "Wscript.exe Post_it.vbs";

// The supervisor password of a stored (scrambled) value, the same in both
// modes: unscrambled, without surrounding spaces (spaces only), in upper case
// within code page 1252, one character for one.
QString PlainPassword(QByteArrayView stored);

} // namespace SupervisorSettings
