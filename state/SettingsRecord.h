#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The records of the settings, without the globals that hold them: the
// settings record, the default agent rights and the colour table.

// The seven default agent rights of the model file. 1 grants; Droit_Modif_Fiche
// is 0 (none), 1 (comment field only) or 2 (all fields).
struct ModelRightsRecord
{
    quint8 Droit_Modif_Group = 0;
    quint8 Droit_Modif_Fiche = 0;
    quint8 Droit_Preference = 0;
    quint8 Droit_Modif_MotDePasse = 0;
    quint8 Droit_Qualif = 0;
    quint8 Droit_Stat = 0;
    quint8 Droit_ListeAppel = 0;
};

struct SettingsRecord
{
    // Station settings
    QString VS_addr;
    QString VS_port;
    QString ConfigDir;  // shared folder with its trailing "\", shared-folder mode only
    qint16 TcpPort = 0; // 0: shared-folder mode; otherwise the server's port
    QString ConfigPath;
    QString Poste;

    // Supervisor settings
    QString MotDePasse;        // current password, plain text
    QString NouveauMotDePasse; // the password to store
    qint32 ModeLie = 0;
    QString ModeLieApp;
    qint32 Etatinterdit = 0;
    qint32 CmtAuto = 0;
    qint32 CouleurTxBas = 0;
    qint32 CouleurTxMilieu = 0;
    qint32 CouleurTxHaut = 0;
    qint32 CouleurCptService = 0;
    qint32 CouleurCptRetrait = 0;
    qint32 CouleurCptAbsence = 0;
    qint32 CouleurCptTComp = 0;
    qint32 CouleurEtatFerme = 0;
    qint32 CouleurEtatOuvert = 0;
    qint32 CouleurEtatSatu = 0;
    qint32 CouleurEtatDissu = 0;
    qint32 CouleurGrFile = 0;
    qint32 CouleurGrS2 = 0;
    qint32 CouleurGrInfS1 = 0;
    qint32 CouleurGrSupS1 = 0;
    qint32 CouleurGrServis = 0;
    qint32 NbJourStockJournal = 0;
    qint32 TauxActiviteT1 = 0;
    qint32 TauxActiviteT2 = 0;
    qint32 Langue = 0;

    ModelRightsRecord ModelRights;
};

// The sixteen colours of the statistics displays, in file and record order:
// the key (also the field's name) and the default, an RGB number with red in
// the low byte.
struct ColourDef
{
    const char* key;
    qint32 SettingsRecord::*field;
    qint32 defaultValue;
};

inline constexpr std::array<ColourDef, 16> ColourTable = {{
    {"CouleurTxBas", &SettingsRecord::CouleurTxBas, 255},
    {"CouleurTxMilieu", &SettingsRecord::CouleurTxMilieu, 16711680},
    {"CouleurTxHaut", &SettingsRecord::CouleurTxHaut, 65535},
    {"CouleurCptService", &SettingsRecord::CouleurCptService, 255},
    {"CouleurCptRetrait", &SettingsRecord::CouleurCptRetrait, 65280},
    {"CouleurCptAbsence", &SettingsRecord::CouleurCptAbsence, 16711680},
    {"CouleurCptTComp", &SettingsRecord::CouleurCptTComp, 65535},
    {"CouleurEtatFerme", &SettingsRecord::CouleurEtatFerme, 8421504},
    {"CouleurEtatOuvert", &SettingsRecord::CouleurEtatOuvert, 65280},
    {"CouleurEtatSatu", &SettingsRecord::CouleurEtatSatu, 33023},
    {"CouleurEtatDissu", &SettingsRecord::CouleurEtatDissu, 255},
    {"CouleurGrFile", &SettingsRecord::CouleurGrFile, 16777215},
    {"CouleurGrS2", &SettingsRecord::CouleurGrS2, 255},
    {"CouleurGrInfS1", &SettingsRecord::CouleurGrInfS1, 65280},
    {"CouleurGrSupS1", &SettingsRecord::CouleurGrSupS1, 16711680},
    {"CouleurGrServis", &SettingsRecord::CouleurGrServis, 65535},
}};
