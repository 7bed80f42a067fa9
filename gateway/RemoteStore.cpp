#include "RemoteStore.h"

#include "AgentRights.h"
#include "BlockLibrary.h"
#include "Cp1252.h"
#include "Layout.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "RemoteExchange.h"
#include "Rights.h"
#include "SupervisorSettings.h"
#include "Variables.h"

#include <array>

namespace {

using AgentsList::Row;

// The rights of the row into the agent record: 1 for exactly "X", else 0;
// customer records 1 for "X" in column 9, then 2 for "X" in column 8.
void writeRights(const Row& row)
{
    quint8* data = Passerelle::AgentRecord.data() + Layout::HeaderSize;
    for (const Rights::RightDef& right : Rights::YesNoRights)
        Layout::writeInt(data, right.recordOffset,
                         Rights::isGranted(row.cells[right.column]) ? 1 : 0);
    Layout::writeInt(data, Rights::Fiche.recordOffset, Rights::ficheLevel(row));
}

// Reads the agent's record, changes it as the row asks and writes it back.
// True when the server acknowledged the write; sending is called just before
// the write goes out.
bool storeRow(const Row& row, const std::function<void()>& sending)
{
    const Rights::Change change = Rights::changeOf(row);
    // Copy the row first: pending events run during the exchanges.
    const Row copy = row;
    RemoteExchange::ReadAgentRecord(copy);
    if (change.rights)
        writeRights(copy);
    if (change.password)
        Passerelle::AgentRecord.data()[Layout::HeaderSize + Layout::Agent::Password] = 0;
    // The header stays as the read answer left it, with the write request code.
    Layout::writeInt(Passerelle::AgentRecord.data(), Layout::Header::Request, Layout::RequestWrite);
    Klt::copy_mem(Passerelle::AgentRecord.data(), Layout::AgentRecordSize,
                  Passerelle::GatewayBlock.data());
    sending();
    return RemoteExchange::Exchange(Layout::BlockSize);
}

// The settings of Parametres into the data part of the supervisor record.
void fillSupervisorRecord()
{
    using namespace Layout::Supervisor;
    quint8* data = Passerelle::SupervisorRecord.data() + Layout::HeaderSize;
    Klt::copy_vb_t6200(
        PasswordScrambler::Crypter(Cp1252::fromUnicode(Parametres.NouveauMotDePasse)),
        PasswordWidth, data + Password);
    Layout::writeInt(data, NbJourStockJournal, Parametres.NbJourStockJournal);
    Layout::writeInt(data, TauxActiviteT1, Parametres.TauxActiviteT1);
    Layout::writeInt(data, TauxActiviteT2, Parametres.TauxActiviteT2);
    Layout::writeInt(data, Langue, Parametres.Langue);
    Layout::writeInt(data, ModeLie, Parametres.ModeLie);
    Klt::copy_vb_t6200(Cp1252::fromUnicode(Parametres.ModeLieApp), ModeLieAppWidth,
                       data + ModeLieApp);
    Layout::writeInt(data, Etatinterdit, Parametres.Etatinterdit);
    Layout::writeInt(data, CmtAuto, Parametres.CmtAuto);
    for (std::size_t i = 0; i < ColourTable.size(); ++i)
        Layout::writeInt(data, Colours + int(i) * 4, Parametres.*(ColourTable[i].field));
}

} // namespace

namespace RemoteStore {

bool StoreAgentRights(AgentsList::Rows& rows, const Progress& progress)
{
    const auto tell = [&progress](std::size_t i, Step step) {
        if (progress)
            progress(i, step);
    };
    if (Parametres.TcpPort == 0)
        return AgentRights::SetAgentxx_Ini(rows, [&](std::size_t i) { tell(i, Step::Stored); });
    bool written = false;
    RemoteExchange::OpenOrReport();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].cells[AgentsList::ColChangeState].isEmpty())
            continue;
        written = written || Rights::changeOf(rows[i]).rights;
        if (storeRow(rows[i], [&] { tell(i, Step::Sending); }))
            tell(i, Step::Stored);
    }
    Passerelle::CloseSession();
    return written;
}

void StoreSupervisorSettings()
{
    if (Parametres.TcpPort == 0) {
        SupervisorSettings::SetIniCouleurs();
        return;
    }
    fillSupervisorRecord();
    RemoteExchange::OpenOrReport();
    quint8* record = Passerelle::SupervisorRecord.data();
    Klt::Clear_Bloc_Entete(record);
    Layout::writeInt(record, Layout::Header::Request, Layout::RequestWrite);
    Layout::writeInt(record, Layout::Header::Record, Layout::SupervisorRecordNumber);
    Klt::copy_mem(record, Layout::SupervisorRecordSize, Passerelle::GatewayBlock.data());
    RemoteExchange::Exchange(Layout::BlockSize);
    Passerelle::CloseSession();
}

} // namespace RemoteStore
