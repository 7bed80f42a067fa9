#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

// Language files for tests: UTF-16LE text with the LANGID, LANG and ZORCFG
// sections, written into a program folder.
namespace TestLanguage {

inline const QString GatewayFailure = QStringLiteral("Erreur de communication");
inline const QString ApplicationTitle = QStringLiteral("Configuration ZOR");

inline QString fileName(int langue)
{
    return QStringLiteral("Zor_Lg%1.txt").arg(langue, 2, 10, QLatin1Char('0'));
}

// Writes the language file of number langue with these texts (by number).
inline bool write(const QString& folder, int langue, const QMap<int, QString>& texts)
{
    QString text =
        QStringLiteral("; language file\r\n[LANGID]\r\n1=1036\r\n[LANG]\r\n1=Langue %1\r\n"
                       "[ZORCFG]\r\n")
            .arg(langue);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        text += QString::number(it.key()) + QLatin1Char('=') + it.value() + QStringLiteral("\r\n");
    QFile file(QDir(folder).filePath(fileName(langue)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return file.write(bytes) == bytes.size();
}

// The two texts of the gateway report, with a marker of the language.
inline bool writeGatewayTexts(const QString& folder, int langue)
{
    const QString suffix = langue == 0 ? QString() : QStringLiteral(" #%1").arg(langue);
    return write(folder, langue,
                 {{121, ApplicationTitle + suffix}, {1285, GatewayFailure + suffix}});
}

} // namespace TestLanguage
