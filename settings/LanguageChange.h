#pragma once

#include <QtGlobal>

// A language chosen by the supervisor while the program runs.
namespace LanguageChange {

// Makes language n current: Langue, LanguageBase, the language text loaded
// from its file (no existence test: the choices come from files found at the
// window's load) and the help file, that of language n or Zor_Hp02.chm when
// n has none. Stores nothing.
void ApplyLanguage(qint16 n);

} // namespace LanguageChange
