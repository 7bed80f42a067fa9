// The two stores, step by step, against a scripted server in the test process
// that keeps records in memory; the shared-folder branches of the four
// transfers against INI files in a temporary folder.

#include "Cp1252.h"
#include "Folders.h"
#include "IniFile.h"
#include "Languages.h"
#include "PasswordScrambler.h"
#include "RecordServer.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "TestLanguage.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRecords;
using UiRecorder::Kind;

class TstStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void storeAgentRights_data();
    void storeAgentRights();
    void storeNothingChanged();
    void storeWriteHeader();
    void storeSupervisorSettings();
    void sharedFolderAgents();
    void sharedFolderSupervisor();

private:
    bool start(RecordServer& server);

    QTemporaryDir m_programDir;
};

void TstStore::initTestCase()
{
    QVERIFY(m_programDir.isValid());
    Folders::setProgramFolder(m_programDir.path());
    QVERIFY(TestLanguage::writeGatewayTexts(m_programDir.path(), 0));
}

void TstStore::init()
{
    ResetGlobals();
    UiRecorder::install();
    RecvTimeout = 1;
    Parametres.VS_addr = QStringLiteral("127.0.0.1");
    Languages::LoadLanguageFile();
    Passerelle::GatewayBlock = GatewayBlockBytes{};
    Passerelle::AgentRecord = AgentRecordBytes{};
    Passerelle::SupervisorRecord = SupervisorRecordBytes{};
}

void TstStore::cleanup()
{
    Passerelle::CloseSession();
}

bool TstStore::start(RecordServer& server)
{
    if (!server.listen())
        return false;
    Parametres.TcpPort = static_cast<qint16>(server.server().port());
    return true;
}

void TstStore::storeAgentRights_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("cells"); // columns 2 to 9
    QTest::addColumn<bool>("written");
    QTest::addColumn<QList<qint32>>("rights");
    QTest::addColumn<bool>("passwordCleared");
    using R = QList<qint32>;
    const QStringList all = {"X", "X", "X", "X", "X", "X", "X", "X"};
    const QStringList none = {"", "", "", "", "", "", "", ""};
    // The server holds rights {1, 1, 0, 1, 0, -1, 1} and a password.
    QTest::newRow("nothing changed") << "" << all << false << R{1, 1, 0, 1, 0, -1, 1} << false;
    QTest::newRow("rights") << "1" << all << true << R{1, 2, 1, 1, 1, 1, 1} << false;
    QTest::newRow("password") << "2" << none << false << R{1, 1, 0, 1, 0, -1, 1} << true;
    QTest::newRow("both") << "3" << none << true << R{0, 0, 0, 0, 0, 0, 0} << true;
    QTest::newRow("all fields without comment")
        << "1" << QStringList{"", "", "", "", "", "", "X", ""} << true << R{0, 2, 0, 0, 0, 0, 0}
        << false;
    QTest::newRow("comment only") << "1" << QStringList{"X", "", "", "", "", "x", "", "X"} << true
                                  << R{1, 1, 0, 0, 0, 0, 0} << false;
    QTest::newRow("only exactly X") << "1" << QStringList{"x", " X", "XX", "", "", "", "", "x"}
                                    << true << R{0, 0, 0, 0, 0, 0, 0} << false;
    QTest::newRow("another state is read and written back")
        << "4" << all << false << R{1, 1, 0, 1, 0, -1, 1} << false;
}

void TstStore::storeAgentRights()
{
    QFETCH(QString, change);
    QFETCH(QStringList, cells);
    QFETCH(bool, written);
    QFETCH(QList<qint32>, rights);
    QFETCH(bool, passwordCleared);
    RecordServer server;
    QVERIFY(start(server));
    QByteArray& stored = server.record(4);
    setRights(stored, {1, 1, 0, 1, 0, -1, 1});
    setTextField(stored, L::Agent::Password, L::Agent::PasswordWidth, "abcdef");
    stored[300] = 'K'; // a byte the tool does not interpret
    AgentsList::Rows rows = rowsOf({QStringLiteral("5")});
    for (int c = 0; c < 8; ++c)
        rows[0].cells[std::size_t(AgentsList::ColModifGroup + c)] = cells[c];
    rows[0].cells[AgentsList::ColChange] = change;
    const AgentsList::Rows before = rows;

    QCOMPARE(RemoteStore::StoreAgentRights(rows), written);
    QCOMPARE(UiRecorder::calls().size(), 0);
    QCOMPARE(cellsOf(rows[0]), cellsOf(before[0]));
    const QList<QByteArray> exchanges = server.exchanges();
    QCOMPARE(exchanges.size(), change.isEmpty() ? 0 : 2);
    const QByteArray after = server.record(4);
    QCOMPARE(rightsOf(after), rights);
    QCOMPARE(after.at(300), 'K');
    const QByteArray password = after.mid(L::Agent::Password, 6);
    QCOMPARE(password, passwordCleared ? QByteArray("\0bcdef", 6) : QByteArray("abcdef"));
}

void TstStore::storeNothingChanged()
{
    RecordServer server;
    QVERIFY(start(server));
    AgentsList::Rows rows = rowsOf({QStringLiteral("1"), QStringLiteral("2")});
    QVERIFY(!RemoteStore::StoreAgentRights(rows));
    QTRY_VERIFY(server.server().closedByClient(0));
    QCOMPARE(server.server().connectionCount(), 1);
    QCOMPARE(server.server().requests().size(), 1);
}

void TstStore::storeWriteHeader()
{
    // The write request is the read answer's header with the write code, the
    // record, and after it whatever the block held.
    RecordServer server;
    QVERIFY(start(server));
    setRights(server.record(8), {0, 0, 0, 0, 0, 0, 0});
    setRights(server.record(1), {1, 1, 1, 1, 1, 1, 1});
    AgentsList::Rows rows = rowsOf({QStringLiteral("9"), QStringLiteral("2")});
    rows[0].cells[AgentsList::ColChange] = QStringLiteral("1");
    rows[0].cells[AgentsList::ColQualif] = X;
    rows[1].cells[AgentsList::ColChange] = QStringLiteral("2");
    std::fill(Passerelle::GatewayBlock.bytes.begin() + L::AgentRecordSize,
              Passerelle::GatewayBlock.bytes.end(), quint8(0x77));

    QVERIFY(RemoteStore::StoreAgentRights(rows));
    const QList<QByteArray> exchanges = server.exchanges();
    QCOMPARE(exchanges.size(), 4);
    QCOMPARE(intAt(exchanges[0], L::Header::Request), L::RequestRead);
    QCOMPARE(intAt(exchanges[0], L::Header::Record), 8);
    const QByteArray& write = exchanges[1];
    QCOMPARE(write.size(), L::BlockSize);
    QCOMPARE(intAt(write, L::Header::Request), L::RequestWrite);
    QCOMPARE(intAt(write, L::Header::Length), L::BlockSize);
    QCOMPARE(intAt(write, L::Header::Record), 8);
    QCOMPARE(intAt(write, L::Header::DataLength), L::AgentDataSize);
    QCOMPARE(write.mid(L::AgentRecordSize), QByteArray(L::BlockSize - L::AgentRecordSize, 0x77));
    QCOMPARE(rightsOf(server.record(8)), (QList<qint32>{0, 0, 0, 0, 1, 0, 0}));
    QCOMPARE(intAt(exchanges[2], L::Header::Record), 1);
    QCOMPARE(intAt(exchanges[3], L::Header::Record), 1);
    QCOMPARE(rightsOf(server.record(1)), (QList<qint32>{1, 1, 1, 1, 1, 1, 1}));
    QTRY_VERIFY(server.server().closedByClient(0));
}

void TstStore::storeSupervisorSettings()
{
    RecordServer server;
    QVERIFY(start(server));
    QByteArray& stored = server.record(-1);
    for (int i = 64; i < 128; ++i)
        stored[i] = char(i); // bytes the tool does not interpret
    setInt(stored, L::Supervisor::Reserved228, 9);
    RemoteTransfers::FetchSupervisorSettings();

    Parametres.NouveauMotDePasse = QStringLiteral("NOUVEAU1");
    Parametres.NbJourStockJournal = 12;
    Parametres.TauxActiviteT1 = 20;
    Parametres.TauxActiviteT2 = 80;
    Parametres.Langue = 1;
    Parametres.ModeLie = 2;
    Parametres.ModeLieApp = QString::fromUtf8("appli é.exe");
    Parametres.Etatinterdit = 1;
    Parametres.CmtAuto = 1;
    for (std::size_t i = 0; i < Couleurs.size(); ++i)
        Parametres.*(Couleurs[i].field) = qint32(1000 + i);
    RemoteStore::StoreSupervisorSettings();

    QCOMPARE(UiRecorder::calls().size(), 0);
    QCOMPARE(server.server().connectionCount(), 2);
    const QByteArray write = server.exchanges().last();
    QCOMPARE(write.size(), L::BlockSize);
    QCOMPARE(intAt(write, L::Header::Request), L::RequestWrite);
    QCOMPARE(intAt(write, L::Header::Record), -1);
    QCOMPARE(write.mid(20, L::HeaderSize - 20), QByteArray(L::HeaderSize - 20, '\0'));
    const QByteArray data = server.record(-1);
    using namespace L::Supervisor;
    QCOMPARE(textField(data, Password, PasswordWidth), PasswordScrambler::Crypter("NOUVEAU1"));
    QCOMPARE(PasswordScrambler::Decrypter(textField(data, Password, PasswordWidth)),
             QByteArray("NOUVEAU1"));
    QCOMPARE(intAt(data, NbJourStockJournal), 12);
    QCOMPARE(intAt(data, TauxActiviteT1), 20);
    QCOMPARE(intAt(data, TauxActiviteT2), 80);
    QCOMPARE(intAt(data, Langue), 1);
    QCOMPARE(intAt(data, ModeLie), 2);
    QCOMPARE(textField(data, ModeLieApp, ModeLieAppWidth), QByteArray("appli \xE9.exe"));
    QCOMPARE(intAt(data, Etatinterdit), 1);
    QCOMPARE(intAt(data, CmtAuto), 1);
    for (int i = 0; i < ColourCount; ++i)
        QCOMPARE(intAt(data, Colours + 4 * i), 1000 + i);
    for (int i = 64; i < 128; ++i)
        QCOMPARE(data.at(i), char(i));
    QCOMPARE(intAt(data, Reserved228), 9);
}

void TstStore::sharedFolderAgents()
{
    QTemporaryDir unc;
    QVERIFY(unc.isValid());
    qputenv("ZOR_UNC_ROOT", unc.path().toLocal8Bit());
    QVERIFY(QDir(unc.path()).mkpath(QStringLiteral("srv/zor")));
    Parametres.TcpPort = 0;
    Parametres.ConfigPath = QStringLiteral("\\\\srv\\zor");
    Parametres.ConfigDir = QStringLiteral("\\\\srv\\zor\\");
    const QString file = unc.path() + QStringLiteral("/srv/zor/agent003.ini");
    QVERIFY(IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", file));
    AgentsList::Rows rows = rowsOf({QStringLiteral("3")});

    RemoteTransfers::FetchAgentRights(rows);
    QCOMPARE(cellsOf(rows[0]), QStringLiteral("X|X|X|X||X||X|"));
    rows[0].cells[AgentsList::ColStat] = X;
    rows[0].cells[AgentsList::ColChange] = QStringLiteral("3");
    QVERIFY(RemoteStore::StoreAgentRights(rows));
    QCOMPARE(IniFile::GetPrivateProfileString("SUPER", "Droit_Stat", "?", 255, file),
             QByteArray("1"));
    QCOMPARE(IniFile::GetPrivateProfileString("CONFIG", "mot_de_passe", "?", 255, file),
             QByteArray());
    qunsetenv("ZOR_UNC_ROOT");
}

void TstStore::sharedFolderSupervisor()
{
    QTemporaryDir unc;
    QVERIFY(unc.isValid());
    qputenv("ZOR_UNC_ROOT", unc.path().toLocal8Bit());
    QVERIFY(QDir(unc.path()).mkpath(QStringLiteral("srv/zor")));
    Parametres.TcpPort = 0;
    Parametres.ConfigPath = QStringLiteral("\\\\srv\\zor");
    Parametres.ConfigDir = QStringLiteral("\\\\srv\\zor\\");
    const QString file = unc.path() + QStringLiteral("/srv/zor/supervis.ini");
    QVERIFY(IniFile::WritePrivateProfileString("CONFIG", "TauxActiviteT1", "42", file));

    RemoteTransfers::FetchSupervisorSettings();
    QCOMPARE(Parametres.TauxActiviteT1, 42);
    Parametres.TauxActiviteT2 = 55;
    RemoteStore::StoreSupervisorSettings();
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("TauxActiviteT2= 55\r\n"));
    qunsetenv("ZOR_UNC_ROOT");
}

QTEST_MAIN(TstStore)
#include "tst_store.moc"
