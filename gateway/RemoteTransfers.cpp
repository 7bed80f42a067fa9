#include "RemoteTransfers.h"

#include "AgentRights.h"
#include "BlockLibrary.h"
#include "Cp1252.h"
#include "Languages.h"
#include "Layout.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "RemoteExchange.h"
#include "Rights.h"
#include "SettingsFolders.h"
#include "SupervisorSettings.h"
#include "UiServices.h"
#include "Variables.h"

#include <QCoreApplication>

#include <array>
#include <functional>
#include <limits>

namespace {

using AgentsList::Row;

quint8* agentData()
{
    return Passerelle::AgentRecord.data() + Layout::HeaderSize;
}

quint8* supervisorData()
{
    return Passerelle::SupervisorRecord.data() + Layout::HeaderSize;
}

// A right the record leaves unset (-1) takes the model's value, in the
// record as well.
void fillUnsetRights()
{
    quint8* data = agentData();
    for (const Rights::RightDef& right : Rights::Table) {
        if (Layout::readInt(data, right.recordOffset) == -1)
            Layout::writeInt(data, right.recordOffset, Parametres.ModelRights.*(right.model));
    }
}

// Granted rights get their "X"; cells of rights not granted are not written.
void showRights(Row& row)
{
    const quint8* data = agentData();
    for (const Rights::RightDef& right : Rights::YesNoRights) {
        if (Layout::readInt(data, right.recordOffset) == 1)
            row.cells[right.column] = Rights::cellText(true);
    }
    Rights::grantFicheLevel(row, Layout::readInt(data, Rights::Fiche.recordOffset));
}

QByteArray trimmedRight(QByteArray text)
{
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

// Reads a 32-bit field; a value that fails the rule is replaced by what the
// rule gives, in the record as well.
qint32 validated(int offset, const std::function<qint32(qint32)>& rule)
{
    quint8* data = supervisorData();
    const qint32 value = rule(Layout::readInt(data, offset));
    Layout::writeInt(data, offset, value);
    return value;
}

std::function<qint32(qint32)> withinOr(qint32 low, qint32 high, qint32 replacement)
{
    return [=](qint32 v) { return v < low || v > high ? replacement : v; };
}

std::function<qint32(qint32)> setOr(qint32 replacement)
{
    return [=](qint32 v) { return v == -1 ? replacement : v; };
}

// A text field of the record: an empty one gets the default, written into
// the record. Returns the field's text.
QByteArray textField(int offset, int width, QByteArrayView defaultText)
{
    quint8* field = supervisorData() + offset;
    if (field[0] == 0) {
        Klt::conv_string_t6200(defaultText, width, field);
        return defaultText.toByteArray();
    }
    return Klt::conv_t6200_string(field, width);
}

// A language number the record gives. A number of 17 or more whose file
// exists cannot be used (its message numbers do not fit 16 bits): it is
// refused like a negative one, and the current language stays.
void applyLanguage(qint32 language)
{
    if (language < 0)
        return;
    if (language >= LanguageCount && Languages::LanguageFileExists(language))
        return;
    SettingsFolders::ApplyLanguageNumber(language);
    Languages::LoadLanguageFile();
}

void applyPassword()
{
    const QByteArray stored =
        textField(Layout::Supervisor::Password, Layout::Supervisor::PasswordWidth,
                  PasswordScrambler::DefaultSupervisorPassword());
    const QString password = SupervisorSettings::PlainPassword(
        trimmedRight(stored.left(Layout::Supervisor::PasswordWidth)));
    Parametres.MotDePasse = password;
    Parametres.NouveauMotDePasse = password;
}

void applySupervisorRecord()
{
    using namespace Layout::Supervisor;
    applyLanguage(Layout::readInt(supervisorData(), Langue));
    applyPassword();
    Parametres.NbJourStockJournal = validated(NbJourStockJournal, withinOr(0, 40, 0));
    Parametres.ModeLie = validated(ModeLie, withinOr(0, std::numeric_limits<qint32>::max(), 0));
    Parametres.ModeLieApp = SettingsFolders::TrimSpaces(Cp1252::toUnicode(
        textField(ModeLieApp, ModeLieAppWidth, SupervisorSettings::DefaultModeLieApp)));
    validated(Reserved228, withinOr(0, std::numeric_limits<qint32>::max(), 0));
    Parametres.Etatinterdit = validated(Etatinterdit, [](qint32 v) { return v == 1 ? 1 : 0; });
    Parametres.CmtAuto = validated(CmtAuto, [](qint32 v) { return v == 1 ? 1 : 0; });
    Parametres.TauxActiviteT1 = validated(TauxActiviteT1, withinOr(0, 99, 30));
    Parametres.TauxActiviteT2 = validated(TauxActiviteT2, withinOr(0, 99, 70));
    for (std::size_t i = 0; i < ColourTable.size(); ++i) {
        const int offset = Colours + int(i) * 4;
        Parametres.*(ColourTable[i].field) = validated(offset, setOr(ColourTable[i].defaultValue));
    }
}

// Opens a session and reads the supervisor record. After a local time-out,
// at either step, the connection dialog has been shown: Cancel ends the
// program, OK tries the whole read again with the new address. An answer
// that did not come is never used.
void readSupervisorRecord()
{
    for (;;) {
        bool valide = false;
        if (RemoteExchange::OpenOrReport(&valide)) {
            quint8* header = Passerelle::GatewayBlock.data();
            Klt::Clear_Bloc_Entete(header);
            Layout::writeInt(header, Layout::Header::Request, Layout::RequestRead);
            Layout::writeInt(header, Layout::Header::Record, Layout::SupervisorRecordNumber);
            if (RemoteExchange::Exchange(Layout::HeaderSize, &valide)) {
                Klt::copy_mem(header, Layout::SupervisorRecordSize,
                              Passerelle::SupervisorRecord.data());
                return;
            }
        }
        if (!valide) {
            Passerelle::CloseSession();
            UiServices::endProgram(1);
        }
    }
}

} // namespace

namespace RemoteTransfers {

void FetchAgentRights(AgentsList::Rows& rows)
{
    if (Parametres.TcpPort == 0) {
        AgentRights::GetAgentxx_Ini(rows);
        return;
    }
    RemoteExchange::OpenOrReport();
    // By index: pending events run during each exchange.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        RemoteExchange::ReadAgentRecord(rows[i]);
        if (i >= rows.size())
            break;
        fillUnsetRights();
        showRights(rows[i]);
        rows[i].cells[AgentsList::ColChangeState].clear();
    }
    QCoreApplication::processEvents();
    Passerelle::CloseSession();
}

void FetchSupervisorSettings()
{
    if (Parametres.TcpPort == 0) {
        SupervisorSettings::GetIniCouleurs();
        // The file may name another language; its texts are shown from now
        // on, as when the server supplies the language.
        if (LanguageFilePath != Languages::LanguageFileFor(Parametres.Langue))
            Languages::LoadLanguageFile();
        return;
    }
    readSupervisorRecord();
    applySupervisorRecord();
    Passerelle::CloseSession();
}

} // namespace RemoteTransfers
