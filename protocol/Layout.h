#pragma once

#include <QtGlobal>

#include <array>
#include <cstring>

// The gateway's message block and the two records it carries, shared by the
// tool and the configuration server. All integers are 32-bit little-endian.
namespace Layout {

inline constexpr int HeaderSize = 512;
inline constexpr int DataSize = 8192;
inline constexpr int BlockSize = HeaderSize + DataSize; // 8704

inline constexpr int AgentDataSize = 464;
inline constexpr int AgentRecordSize = HeaderSize + AgentDataSize; // 976
inline constexpr int SupervisorDataSize = 292;
inline constexpr int SupervisorRecordSize = HeaderSize + SupervisorDataSize; // 804

inline constexpr quint32 Magic = 0xFECAFECA; // bytes CA FE CA FE

inline constexpr qint32 RequestOpenSession = 512;
inline constexpr qint32 RequestRead = 400;
inline constexpr qint32 RequestWrite = 401;
inline constexpr qint32 StatusRefused = 2;
inline constexpr qint32 SupervisorRecordNumber = -1;

// Header fields, offsets from the start of a block or a record.
namespace Header {
inline constexpr int Magic = 0;
inline constexpr int Length = 4;
inline constexpr int Request = 8;
inline constexpr int Application = 12;
inline constexpr int Record = 16;
inline constexpr int Key = 40;     // the enciphered application key
inline constexpr int KeySize = 32; // HMAC-SHA256
inline constexpr int Nonce = 128;  // the server's greeting nonce
inline constexpr int NonceSize = 32;
inline constexpr int Status = 256;
inline constexpr int DataLength = 260;
inline constexpr int Error = 272;
} // namespace Header

// Agent rights record, offsets within its data part.
namespace Agent {
inline constexpr int Password = 96;
inline constexpr int PasswordWidth = 64;
inline constexpr int Droit_Modif_Group = 160;
inline constexpr int Droit_Modif_Fiche = 164;
inline constexpr int Droit_Preference = 168;
inline constexpr int Droit_Modif_MotDePasse = 172;
inline constexpr int Droit_Qualif = 176;
inline constexpr int Droit_Stat = 180;
inline constexpr int Droit_ListeAppel = 184;
} // namespace Agent

// Supervisor settings record, offsets within its data part.
namespace Supervisor {
inline constexpr int Colours = 0; // sixteen colours, 4 bytes each
inline constexpr int ColourCount = 16;
inline constexpr int ModeLieApp = 128;
inline constexpr int ModeLieAppWidth = 64;
inline constexpr int Password = 192;
inline constexpr int PasswordWidth = 32;
inline constexpr int Langue = 224;
inline constexpr int Reserved228 = 228;
inline constexpr int Etatinterdit = 232;
inline constexpr int CmtAuto = 236;
inline constexpr int ModeLie = 240;
inline constexpr int NbJourStockJournal = 244;
inline constexpr int TauxActiviteT1 = 248;
inline constexpr int TauxActiviteT2 = 252;
} // namespace Supervisor

// The 32-bit fields that a record never written holds as -1 ("not set"),
// offsets within the data part; every other byte is zero.
inline constexpr std::array<int, 7> AgentUnsetFields = {
    Agent::Droit_Modif_Group,      Agent::Droit_Modif_Fiche, Agent::Droit_Preference,
    Agent::Droit_Modif_MotDePasse, Agent::Droit_Qualif,      Agent::Droit_Stat,
    Agent::Droit_ListeAppel};
inline constexpr std::array<int, 24> SupervisorUnsetFields = {0,
                                                              4,
                                                              8,
                                                              12,
                                                              16,
                                                              20,
                                                              24,
                                                              28,
                                                              32,
                                                              36,
                                                              40,
                                                              44,
                                                              48,
                                                              52,
                                                              56,
                                                              60, // colours
                                                              Supervisor::Langue,
                                                              Supervisor::Reserved228,
                                                              Supervisor::Etatinterdit,
                                                              Supervisor::CmtAuto,
                                                              Supervisor::ModeLie,
                                                              Supervisor::NbJourStockJournal,
                                                              Supervisor::TauxActiviteT1,
                                                              Supervisor::TauxActiviteT2};

inline qint32 readInt(const quint8* base, int offset)
{
    const quint8* p = base + offset;
    const quint32 v =
        quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    qint32 result;
    std::memcpy(&result, &v, sizeof result);
    return result;
}

inline void writeInt(quint8* base, int offset, qint32 value)
{
    quint32 v;
    std::memcpy(&v, &value, sizeof v);
    quint8* p = base + offset;
    p[0] = quint8(v);
    p[1] = quint8(v >> 8);
    p[2] = quint8(v >> 16);
    p[3] = quint8(v >> 24);
}

} // namespace Layout

// The buffers themselves: the exchange block and one of each record.
struct GatewayBlockBytes
{
    std::array<quint8, Layout::BlockSize> bytes{};
    quint8* data() { return bytes.data(); }
    const quint8* data() const { return bytes.data(); }
};

struct AgentRecordBytes
{
    std::array<quint8, Layout::AgentRecordSize> bytes{};
    quint8* data() { return bytes.data(); }
    const quint8* data() const { return bytes.data(); }
};

struct SupervisorRecordBytes
{
    std::array<quint8, Layout::SupervisorRecordSize> bytes{};
    quint8* data() { return bytes.data(); }
    const quint8* data() const { return bytes.data(); }
};
