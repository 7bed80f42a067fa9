#pragma once

#include <QString>

#include <optional>

// Where zoradm takes the supervisor password from: a file named with
// --password-file, else the environment variable ZORADM_PASSWORD, else a
// prompt without echo when standard input is a terminal. Never the command
// line.
namespace AdminPassword {

inline constexpr const char* EnvironmentVariable = "ZORADM_PASSWORD";

// The password, or nothing with the reason.
std::optional<QString> Obtain(const QString& passwordFile, QString* error);

} // namespace AdminPassword
