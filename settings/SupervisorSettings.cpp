#include "SupervisorSettings.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "IniFile.h"
#include "PasswordScrambler.h"
#include "SettingsFolders.h"
#include "SettingsMessages.h"
#include "Variables.h"

#include <vector>

using SettingsFolders::ReadIniValue;

namespace {

// The file in the shared folder, built once for the keys of one operation.
const QString& supervisorFile()
{
    static QString folder;
    static QString file;
    if (file.isEmpty() || folder != Parametres.ConfigPath) {
        folder = Parametres.ConfigPath;
        file = folder + QStringLiteral("\\supervis.ini");
    }
    return file;
}

QByteArray readConfig(const char* key, QByteArrayView defaultValue)
{
    return ReadIniValue("CONFIG", key, defaultValue, supervisorFile());
}

// Val, rounded to 32 bits; outside [low, high] the setting becomes 0.
qint32 readRanged(const char* key, QByteArrayView defaultValue, qint32 low, qint32 high)
{
    const qint32 value = Conversions::toInt32(Conversions::Val(readConfig(key, defaultValue)));
    return value < low || value > high ? 0 : value;
}

void readPassword()
{
    Parametres.MotDePasse = SupervisorSettings::PlainPassword(
        readConfig("mot_de_passe", PasswordScrambler::DefaultSupervisorPassword()));
    Parametres.NouveauMotDePasse = Parametres.MotDePasse;
}

void readLanguage()
{
    const qint16 language = Conversions::toInt16(Conversions::Val(readConfig("langue", "0")));
    if (language < 0)
        return;
    SettingsFolders::ApplyLanguageNumber(language);
}

void readOptions()
{
    Parametres.NbJourStockJournal = readRanged("NbJourStockJournal", "0", 0, 40);
    Parametres.TauxActiviteT1 = readRanged("TauxActiviteT1", "30", 0, 99);
    Parametres.TauxActiviteT2 = readRanged("TauxActiviteT2", "70", 0, 99);
    const QByteArray mode = readConfig("ModeLie", "0");
    Parametres.ModeLie = (mode == "1") ? 1 : (mode == "2") ? 2 : 0;
    Parametres.ModeLieApp =
        Cp1252::toUnicode(readConfig("ModeLieApp", SupervisorSettings::DefaultModeLieApp));
    Parametres.Etatinterdit =
        Conversions::toInt32(Conversions::strict(readConfig("Etatinterdit", "0")));
    Parametres.CmtAuto = Conversions::toInt32(Conversions::strict(readConfig("CmtAuto", "0")));
}

void readColours()
{
    for (const ColourDef& colour : ColourTable) {
        const QByteArray defaultValue = QByteArray::number(colour.defaultValue);
        Parametres.*colour.field = Conversions::toInt32(
            Conversions::Val(ReadIniValue("FRAME", colour.key, defaultValue, supervisorFile())));
    }
}

// A number as the file keeps it: a space before it unless it is negative.
QByteArray numberText(qint32 value)
{
    const QByteArray digits = QByteArray::number(value);
    return value < 0 ? digits : ' ' + digits;
}

// Every key of the file in the order they are written; langue comes after
// the thresholds.
std::vector<IniFile::KeyWrite> supervisorKeys()
{
    const SettingsRecord& p = Parametres;
    std::vector<IniFile::KeyWrite> keys{
        {"CONFIG", "mot_de_passe",
         PasswordScrambler::Crypter(Cp1252::fromUnicode(p.NouveauMotDePasse))},
        {"CONFIG", "NbJourStockJournal", numberText(p.NbJourStockJournal)},
        {"CONFIG", "TauxActiviteT1", numberText(p.TauxActiviteT1)},
        {"CONFIG", "TauxActiviteT2", numberText(p.TauxActiviteT2)},
        {"CONFIG", "langue", numberText(p.Langue)},
        {"CONFIG", "ModeLie", numberText(p.ModeLie)},
        {"CONFIG", "ModeLieApp", Cp1252::fromUnicode(p.ModeLieApp)},
        {"CONFIG", "Etatinterdit", numberText(p.Etatinterdit)},
        {"CONFIG", "CmtAuto", numberText(p.CmtAuto)},
    };
    for (const ColourDef& colour : ColourTable)
        keys.push_back({"FRAME", colour.key, numberText(p.*colour.field)});
    return keys;
}

} // namespace

namespace SupervisorSettings {

void GetIniCouleurs()
{
    IniFile::ReadScope scope;
    try {
        readPassword();
        readLanguage();
        readOptions();
        readColours();
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(116, "GetIniCouleurs", failure);
    }
}

QString PlainPassword(QByteArrayView stored)
{
    const QString plain = Cp1252::toUnicode(PasswordScrambler::Decrypter(stored));
    return Cp1252::toUpper(SettingsFolders::TrimSpaces(plain));
}

void SetIniCouleurs()
{
    // One replace of the file: an agent desktop reading it meanwhile sees the
    // old settings or the new ones, never a mix.
    try {
        SettingsFolders::WriteIniValues(supervisorKeys(), supervisorFile());
    } catch (const Conversions::Failure& failure) {
        SettingsMessages::reportFailure(119, "SetIniCouleurs", failure);
    }
}

} // namespace SupervisorSettings
