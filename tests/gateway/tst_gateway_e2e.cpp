// The transfers against a real zorsrv on loopback with its own SQLite file.
// Records are also read and written directly (RawClient) to see what the
// server holds.

#include "BlockLibrary.h"
#include "Folders.h"
#include "Languages.h"
#include "Layout.h"
#include "Passerelle.h"
#include "PasswordScrambler.h"
#include "RawClient.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "TestLanguage.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"

#include <QTemporaryDir>
#include <QtTest>

namespace L = Layout;
using UiRecorder::Kind;

namespace {

qint32 intAt(const QByteArray& bytes, int offset)
{
    return L::readInt(reinterpret_cast<const quint8*>(bytes.constData()), offset);
}

void setInt(QByteArray& bytes, int offset, qint32 value)
{
    L::writeInt(reinterpret_cast<quint8*>(bytes.data()), offset, value);
}

QByteArray textField(const QByteArray& data, int offset, int width)
{
    return Klt::conv_t6200_string(reinterpret_cast<const quint8*>(data.constData()) + offset,
                                  width);
}

QString cellsOf(const AgentsList::Row& row)
{
    QStringList cells;
    for (int c = AgentsList::ColModifGroup; c <= AgentsList::ColChange; ++c)
        cells.append(row.cells[std::size_t(c)]);
    return cells.join(QLatin1Char('|'));
}

AgentsList::Row rowWith(int agent, const QString& cells, const QString& change)
{
    AgentsList::Row row = AgentsList::makeRow(QString::number(agent), QStringLiteral("Agent"));
    const QStringList parts = cells.split(QLatin1Char('|'));
    for (int c = 0; c < 8; ++c)
        row.cells[std::size_t(AgentsList::ColModifGroup + c)] = parts.value(c);
    row.cells[AgentsList::ColChange] = change;
    return row;
}

// Bytes the tool does not interpret, recognisable per record.
QByteArray patterned(QByteArray data, const QList<QPair<int, int>>& ranges, char seed)
{
    for (const auto& [from, to] : ranges) {
        for (int i = from; i < to; ++i)
            data[i] = char(seed + i);
    }
    return data;
}

} // namespace

class TstGatewayE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void agentRoundTrip_data();
    void agentRoundTrip();
    void agentUninterpretedBytes();
    void agentPasswordCleared();
    void supervisorRoundTrip();
    void supervisorUninterpretedBytes();
    void supervisorPasswordScrambled();
    void unsetRecordsTakeDefaults();
    void serverRefusals_data();
    void serverRefusals();

private:
    QByteArray readRaw(qint32 record);
    bool writeRaw(qint32 record, const QByteArray& data);

    QTemporaryDir m_programDir;
    ZorsrvProcess m_server;
};

void TstGatewayE2e::initTestCase()
{
    QVERIFY(m_programDir.isValid());
    Folders::setProgramFolder(m_programDir.path());
    QVERIFY(TestLanguage::writeGatewayTexts(m_programDir.path(), 0));
    QVERIFY2(m_server.start({QStringLiteral("--agents"), QStringLiteral("64")}),
             qPrintable(m_server.errorText()));
}

void TstGatewayE2e::init()
{
    ResetGlobals();
    UiRecorder::install();
    RecvTimeout = 10;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.TcpPort = static_cast<qint16>(m_server.port());
    Languages::LoadLanguageFile();
}

void TstGatewayE2e::cleanup()
{
    Passerelle::CloseSession();
    QVERIFY(m_server.isRunning());
}

QByteArray TstGatewayE2e::readRaw(qint32 record)
{
    RawClient client;
    if (!client.connectTo(m_server.port()) || client.login() != 0)
        return {};
    const RawClient::Answer answer = client.read(record);
    return answer.complete && !answer.refused() ? answer.data : QByteArray();
}

bool TstGatewayE2e::writeRaw(qint32 record, const QByteArray& data)
{
    RawClient client;
    if (!client.connectTo(m_server.port()) || client.login() != 0)
        return false;
    const RawClient::Answer answer = client.write(record, data);
    return answer.complete && !answer.refused();
}

void TstGatewayE2e::agentRoundTrip_data()
{
    QTest::addColumn<int>("agent");
    QTest::addColumn<QString>("cells");   // columns 2 to 9 as stored
    QTest::addColumn<QString>("fetched"); // columns 2 to 10 as fetched back
    QTest::newRow("all rights") << 1 << "X|X|X|X|X|X|X|X"
                                << "X|X|X|X|X|X|X|X|";
    QTest::newRow("none") << 2 << "||||||||"
                          << "||||||||";
    QTest::newRow("comment only") << 3
                                  << "|X||X|||"
                                     "|X"
                                  << "|X||X||||X|";
    QTest::newRow("all fields without the comment mark") << 32 << "X||||||X|"
                                                         << "X||||||X|X|";
}

void TstGatewayE2e::agentRoundTrip()
{
    QFETCH(int, agent);
    QFETCH(QString, cells);
    QFETCH(QString, fetched);
    AgentsList::Rows rows = {rowWith(agent, cells, QStringLiteral("1")),
                             rowWith(agent + 1, QString(), QString())};
    const QByteArray untouched = readRaw(agent); // the next agent's record
    QVERIFY(RemoteStore::StoreAgentRights(rows));

    AgentsList::Rows again = {AgentsList::makeRow(QString::number(agent), QStringLiteral("A"))};
    RemoteTransfers::FetchAgentRights(again);
    QCOMPARE(cellsOf(again[0]), fetched);
    QCOMPARE(readRaw(agent), untouched);
    QCOMPARE(UiRecorder::calls().size(), 0);
}

void TstGatewayE2e::agentUninterpretedBytes()
{
    QByteArray data(L::AgentDataSize, '\0');
    data = patterned(data, {{0, 96}, {200, 464}}, 'a');
    Klt::conv_string_t6200("motdepasse", L::Agent::PasswordWidth,
                           reinterpret_cast<quint8*>(data.data()) + L::Agent::Password);
    for (int i = 0; i < L::Agent::RightsCount; ++i)
        setInt(data, L::Agent::DroitModifGroup + 4 * i, 0);
    QVERIFY(writeRaw(40, data));

    AgentsList::Rows rows = {rowWith(41, QStringLiteral("X|||||X||X"), QStringLiteral("1"))};
    QVERIFY(RemoteStore::StoreAgentRights(rows));
    const QByteArray after = readRaw(40);
    QCOMPARE(after.size(), L::AgentDataSize);
    QCOMPARE(after.left(L::Agent::DroitModifGroup), data.left(L::Agent::DroitModifGroup));
    QCOMPARE(after.mid(200), data.mid(200));
    QCOMPARE(intAt(after, L::Agent::DroitModifGroup), 1);
    QCOMPARE(intAt(after, L::Agent::DroitListeAppel), 1);
    QCOMPARE(intAt(after, L::Agent::DroitModifFiche), 1);
    QCOMPARE(intAt(after, L::Agent::DroitStat), 0);
}

void TstGatewayE2e::agentPasswordCleared()
{
    QByteArray data(L::AgentDataSize, '\0');
    Klt::conv_string_t6200("secret", L::Agent::PasswordWidth,
                           reinterpret_cast<quint8*>(data.data()) + L::Agent::Password);
    const QList<qint32> rights = {1, 2, 0, 1, 0, 1, 0};
    for (int i = 0; i < L::Agent::RightsCount; ++i)
        setInt(data, L::Agent::DroitModifGroup + 4 * i, rights[i]);
    QVERIFY(writeRaw(49, data));

    // "2": only the password; the cells of the row are not written.
    AgentsList::Rows rows = {rowWith(50, QString(), QStringLiteral("2"))};
    QVERIFY(!RemoteStore::StoreAgentRights(rows));
    const QByteArray after = readRaw(49);
    QCOMPARE(after.at(L::Agent::Password), '\0');
    QCOMPARE(after.mid(L::Agent::Password + 1, 5), QByteArray("ecret"));
    for (int i = 0; i < L::Agent::RightsCount; ++i)
        QCOMPARE(intAt(after, L::Agent::DroitModifGroup + 4 * i), rights[i]);
}

void TstGatewayE2e::supervisorRoundTrip()
{
    RemoteTransfers::FetchSupervisorSettings();
    Parametres.NouveauMotDePasse = QStringLiteral("ABC123");
    Parametres.NbJourStockJournal = 21;
    Parametres.TauxActiviteT1 = 15;
    Parametres.TauxActiviteT2 = 85;
    Parametres.ModeLie = 1;
    Parametres.ModeLieApp = QString::fromUtf8("lien.vbs élan");
    Parametres.Etatinterdit = 1;
    Parametres.CmtAuto = 1;
    for (std::size_t i = 0; i < Couleurs.size(); ++i)
        Parametres.*(Couleurs[i].field) = qint32(0x010203 * int(i + 1));
    RemoteStore::StoreSupervisorSettings();

    const ParametresRecord stored = Parametres;
    ResetGlobals();
    RecvTimeout = 10;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Parametres.TcpPort = static_cast<qint16>(m_server.port());
    RemoteTransfers::FetchSupervisorSettings();
    QCOMPARE(Parametres.MotDePasse, QStringLiteral("ABC123"));
    QCOMPARE(Parametres.NouveauMotDePasse, QStringLiteral("ABC123"));
    QCOMPARE(Parametres.NbJourStockJournal, 21);
    QCOMPARE(Parametres.TauxActiviteT1, 15);
    QCOMPARE(Parametres.TauxActiviteT2, 85);
    QCOMPARE(Parametres.ModeLie, 1);
    QCOMPARE(Parametres.ModeLieApp, stored.ModeLieApp);
    QCOMPARE(Parametres.Etatinterdit, 1);
    QCOMPARE(Parametres.CmtAuto, 1);
    for (const CouleurDef& colour : Couleurs)
        QCOMPARE(Parametres.*(colour.field), stored.*(colour.field));
    QCOMPARE(UiRecorder::calls().size(), 0);
}

void TstGatewayE2e::supervisorUninterpretedBytes()
{
    QByteArray data = readRaw(-1);
    QCOMPARE(data.size(), L::SupervisorDataSize);
    data = patterned(data, {{64, 128}, {256, 292}}, 'k');
    setInt(data, L::Supervisor::Reserved228, 77);
    QVERIFY(writeRaw(-1, data));

    RemoteTransfers::FetchSupervisorSettings();
    Parametres.TauxActiviteT1 = 33;
    RemoteStore::StoreSupervisorSettings();
    const QByteArray after = readRaw(-1);
    QCOMPARE(after.mid(64, 64), data.mid(64, 64));
    QCOMPARE(after.mid(256), data.mid(256));
    QCOMPARE(intAt(after, L::Supervisor::Reserved228), 77);
    QCOMPARE(intAt(after, L::Supervisor::TauxActiviteT1), 33);
}

void TstGatewayE2e::supervisorPasswordScrambled()
{
    RemoteTransfers::FetchSupervisorSettings();
    Parametres.NouveauMotDePasse = QStringLiteral("CHANGE7");
    RemoteStore::StoreSupervisorSettings();

    const QByteArray field =
        textField(readRaw(-1), L::Supervisor::Password, L::Supervisor::PasswordWidth);
    QVERIFY(!field.contains("CHANGE7"));
    QCOMPARE(field, PasswordScrambler::Crypter("CHANGE7"));
    QCOMPARE(PasswordScrambler::Decrypter(field), QByteArray("CHANGE7"));
}

void TstGatewayE2e::unsetRecordsTakeDefaults()
{
    // A record never written: the rights come from the model.
    Parametres.ModelRights.Droit_Stat = 1;
    Parametres.ModelRights.Droit_Modif_Fiche = 2;
    AgentsList::Rows rows = {AgentsList::makeRow(QStringLiteral("60"), QStringLiteral("A"))};
    RemoteTransfers::FetchAgentRights(rows);
    QCOMPARE(cellsOf(rows[0]), QStringLiteral("||||X||X|X|"));
    QCOMPARE(intAt(QByteArray(reinterpret_cast<const char*>(Passerelle::AgentRecord.data()),
                              L::AgentRecordSize),
                   L::HeaderSize + L::Agent::DroitStat),
             1);
}

void TstGatewayE2e::serverRefusals_data()
{
    QTest::addColumn<QString>("agent");
    QTest::addColumn<QString>("reason");
    QTest::newRow("agent outside the table") << "65"
                                             << " (Table full)";
}

void TstGatewayE2e::serverRefusals()
{
    QFETCH(QString, agent);
    QFETCH(QString, reason);
    AgentsList::Rows rows = {AgentsList::makeRow(agent, QStringLiteral("A"))};
    QVERIFY(UiRecorder::endsProgram([&] { RemoteTransfers::FetchAgentRights(rows); }));
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, TestLanguage::GatewayFailure + reason);
    QCOMPARE(UiRecorder::calls().last().kind, Kind::End);
}

QTEST_MAIN(TstGatewayE2e)
#include "tst_gateway_e2e.moc"
