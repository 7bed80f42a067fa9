#pragma once

#include "GatewayCodes.h"
#include "Layout.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

class QTcpSocket;

// The gateway session: one TCP connection to the configuration server at a
// time, lock-step requests and answers in the 8704-byte exchange block, and
// the one report of every failure.
namespace Passerelle {

// Result codes of OpenSession, SendBlock and ReceiveBlock. A negative code,
// or any code a refusing server sends (GatewayCodes::Refusal), is its refusal.
inline constexpr qint16 Success = 0;
inline constexpr qint16 NotConnected = 1;
inline constexpr qint16 LocalTimeout = 2;
// Our own: the answer cannot be followed (it announces more data than the
// block holds). The connection has been dropped; the report ends the program.
// No refusal carries this code: a server's code of 32767, or one that does
// not fit 16 bits, is reported as -32768, a refusal outside the table.
inline constexpr qint16 BadAnswer = 32767;
inline constexpr qint16 RefusalOutsideRange = -32768;

// Message numbers of the report.
inline constexpr int MessageGatewayFailure = 1285;
inline constexpr int MessageApplicationTitle = 121;

// The exchange block and the two records. Single instances for the whole run:
// they keep their contents between exchanges, and the transfers rely on it.
extern GatewayBlockBytes GatewayBlock;
extern AgentRecordBytes AgentRecord;
extern SupervisorRecordBytes SupervisorRecord;

// The program that opens the sessions (a HistoryProtocol::Client code). When
// it is known, each login tells it to the server with the station's login
// name, in header bytes a designed server does not read, and zorsrv's audit
// names them beside each write. Unknown (the default) sends nothing.
extern qint32 ClientProgram;

// The station's login name: the user the program runs as.
QString LoginName();

// The gateway's socket: the one its host window handed over with SetSocket,
// else one of its own, created on first use and owned by the application
// object.
QTcpSocket& Socket();

// Hands the gateway the socket it uses from now on; the window that hosts
// the gateway owns it, and destroying it ends the connection. The gateway's
// own socket, if it had one, is dropped.
void SetSocket(QTcpSocket* socket);

// Closes the socket, connects it to Parametres.VS_addr and TcpPort (read as
// an unsigned 16-bit port), takes the server's 512-byte greeting into the
// block header and logs in with the enciphered key.
qint16 OpenSession(QByteArrayView key, qint32 application);

// Sends the first length bytes (512 or 8704) of the block after writing the
// magic and the length into its header. 0, or 1 when not connected.
qint16 SendBlock(GatewayBlockBytes& block, int length);

// Waits for one answer: its header into the block header, its data into the
// data area. 0, the server's refusal code, 1, 2 or BadAnswer.
qint16 ReceiveBlock(GatewayBlockBytes& block, int capacity);

void CloseSession();

// Shows the failure message of a nonzero code, titled with the server's
// address and port. Every code but LocalTimeout closes the socket before the
// message and ends the program after it. For LocalTimeout it shows the connection dialog and
// returns its Valide (true: try again with the new address). Code 0 is no failure: nothing is shown
// and true comes back.
bool ReportGatewayError(qint16 code);

// The reason text the report appends to message 1285; empty for a code
// outside the table.
QString ReasonText(qint16 code);

// The deadline of a wait that starts at nowNs nanoseconds on a monotonic
// clock: now plus timeout seconds, rounded to the nearest whole second,
// halves to even. The wait has timed out once the clock reads the deadline.
qint64 DeadlineSeconds(qint64 nowNs, int timeoutSeconds);

} // namespace Passerelle
