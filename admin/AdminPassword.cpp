#include "AdminPassword.h"

#include <QFile>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr qsizetype MaxPasswordBytes = 1024;

// The first line, without its line end.
QString firstLine(const QByteArray& bytes)
{
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
    return QString::fromUtf8(bytes.left(end));
}

std::optional<QString> fromFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
#ifdef Q_OS_UNIX
    // As ssh does with a private key: a password others may read is refused.
    struct stat info = {};
    if (::fstat(file.handle(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        *error =
            QStringLiteral("the password file %1 is readable by its group or by others (mode %2): "
                           "make it readable by its owner only, with chmod 600 %1")
                .arg(path)
                .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
        return std::nullopt;
    }
#endif
    return firstLine(file.read(MaxPasswordBytes));
}

#ifdef Q_OS_UNIX
std::optional<QString> fromTerminal()
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    std::fputs("Supervisor password: ", stderr);
    std::fflush(stderr);
    termios saved{};
    const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    QByteArray line(MaxPasswordBytes, '\0');
    const bool read = std::fgets(line.data(), int(line.size()), stdin) != nullptr;
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    if (!read)
        return std::nullopt;
    line.truncate(qsizetype(qstrnlen(line.constData(), uint(line.size()))));
    return firstLine(line);
}
#else
std::optional<QString> fromTerminal()
{
    return std::nullopt;
}
#endif

} // namespace

namespace AdminPassword {

std::optional<QString> Obtain(const QString& passwordFile, QString* error)
{
    if (!passwordFile.isEmpty())
        return fromFile(passwordFile, error);
    if (qEnvironmentVariableIsSet(EnvironmentVariable))
        return qEnvironmentVariable(EnvironmentVariable);
    if (std::optional<QString> typed = fromTerminal())
        return typed;
    *error = QStringLiteral("no supervisor password: give --password-file FILE, set %1, or run "
                            "on a terminal")
                 .arg(QLatin1StringView(EnvironmentVariable));
    return std::nullopt;
}

} // namespace AdminPassword
