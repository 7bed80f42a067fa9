#pragma once

// supervis.ini in the shared configuration folder (shared-folder mode).
namespace SupervisorSettings {

// Reads every key into Parametres; a failure is reported and ends the read.
void GetIniCouleurs();

// Writes every field of Parametres back; a failure is reported and ends the
// write.
void SetIniCouleurs();

} // namespace SupervisorSettings
