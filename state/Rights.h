#pragma once

#include "AgentsList.h"
#include "Layout.h"
#include "SettingsRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <span>

// The rules of the seven agent rights, for every reader and writer of them:
// the rights files, the agent records, the agents list and its rights dialog,
// zorsrv's admin commands.
//
// In the agents list a right is a cell that holds "X" when it is granted and
// nothing when it is refused; Droit_Modif_Fiche, with its three levels, takes
// two cells. The change state of a row is a pair of flags written as one code.
namespace Rights {

// One right: its key in the rights files, the list column that shows "X" when
// it is granted, its field of ModelRights and its offset in the data part of
// the agent record.
struct RightDef
{
    const char* key;
    AgentsList::Column column;
    quint8 ModelRightsRecord::*model;
    int recordOffset;
};

// The seven rights in the order every operation handles them: the six yes/no
// rights, then Droit_Modif_Fiche, whose column is the all-fields cell (its
// comment cell is ColRecordsComment).
inline constexpr std::array<RightDef, 7> Table = {{
    {"Droit_Modif_Group", AgentsList::ColChangeGroup, &ModelRightsRecord::Droit_Modif_Group,
     Layout::Agent::Droit_Modif_Group},
    {"Droit_Preference", AgentsList::ColPreferences, &ModelRightsRecord::Droit_Preference,
     Layout::Agent::Droit_Preference},
    {"Droit_Modif_MotDePasse", AgentsList::ColChangePassword,
     &ModelRightsRecord::Droit_Modif_MotDePasse, Layout::Agent::Droit_Modif_MotDePasse},
    {"Droit_Qualif", AgentsList::ColQualifyCalls, &ModelRightsRecord::Droit_Qualif,
     Layout::Agent::Droit_Qualif},
    {"Droit_Stat", AgentsList::ColStatistics, &ModelRightsRecord::Droit_Stat,
     Layout::Agent::Droit_Stat},
    {"Droit_ListeAppel", AgentsList::ColCallJournal, &ModelRightsRecord::Droit_ListeAppel,
     Layout::Agent::Droit_ListeAppel},
    {"Droit_Modif_Fiche", AgentsList::ColRecordsAll, &ModelRightsRecord::Droit_Modif_Fiche,
     Layout::Agent::Droit_Modif_Fiche},
}};

inline constexpr std::span<const RightDef, 6> YesNoRights{Table.data(), 6};
inline constexpr const RightDef& Fiche = Table[6];

// The levels of Droit_Modif_Fiche.
inline constexpr qint32 FicheNone = 0;
inline constexpr qint32 FicheComment = 1; // the comment field only
inline constexpr qint32 FicheAll = 2;     // every field

// --- Cells

// A cell grants only when it holds exactly "X".
bool isGranted(const QString& cell);
// "X" for a granted right, the empty text for a refused one.
QString cellText(bool granted);

// The level of Droit_Modif_Fiche that columns 8 and 9 of the row show: all
// fields when column 8 is "X", else the comment field when column 9 is "X",
// else none. This is how a store into the agent record reads the row.
qint32 ficheLevel(const AgentsList::Row& row);
// The same as the rights files are written: a cell counts when it is not
// empty. For the cells the program writes ("X" or nothing) both agree.
qint32 ficheLevelOfFilledCells(const AgentsList::Row& row);
// Columns 8 and 9 for a level: "X" in both for all fields, in column 9 only
// for the comment field, none for none.
void setFicheLevel(AgentsList::Row& row, qint32 level);
// The same, but only the granted cells are written; the others keep their text.
void grantFicheLevel(AgentsList::Row& row, qint32 level);

// --- Rights files

// A yes/no key grants only when its value is exactly "1".
bool isGrantedInFile(QByteArrayView value);
// "2" all fields, "1" the comment field, anything else none.
qint32 ficheLevelInFile(QByteArrayView value);
// The value written for a yes/no right: "1" or "0".
QByteArray fileValue(bool granted);
// The value written for a level of Droit_Modif_Fiche: "2", "1" or "0".
QByteArray ficheFileValue(qint32 level);

// --- The change state of a row (column 10)

struct Change
{
    bool rights = false;   // the rights cells were changed
    bool password = false; // the agent's password is to be cleared
};

// "1" rights, "2" password, "3" both; any other text neither.
Change changeOf(const QString& code);
Change changeOf(const AgentsList::Row& row);
// "1", "2", "3", or the empty text when neither flag is set.
QString changeCode(Change change);
// Sets the given flags on the row; flags already set stay set.
void mergeChange(AgentsList::Row& row, Change change);

} // namespace Rights
