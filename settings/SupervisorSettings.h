#pragma once

#include <QString>

// supervis.ini in the shared configuration folder (shared-folder mode).
namespace SupervisorSettings {

// Upper case within the code page, as stored passwords are: a letter whose
// capital the code page lacks stays as it is.
QString UpperCase(const QString& text);

// Reads every key into Parametres; a failure is reported and ends the read.
void GetIniCouleurs();

// Writes every field of Parametres back; a failure is reported and ends the
// write.
void SetIniCouleurs();

} // namespace SupervisorSettings
