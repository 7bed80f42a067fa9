// The transfers against a real zorsrv on loopback with its own SQLite file.

#include "GatewayKit.h"
#include "PasswordScrambler.h"
#include "RemoteStore.h"
#include "RemoteTransfers.h"
#include "ZorsrvProcess.h"

#include <QTemporaryDir>

using namespace Kit;

class TstGatewayE2e : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ZorsrvProcess m_server;

    // Writes the data part of a record when given, then reads back what the
    // server holds, in a session of its own.
    QByteArray raw(qint32 record, const QByteArray& data = {})
    {
        quint8* block = Passerelle::GatewayBlock.data();
        const auto exchange = [&](qint32 request, int length) {
            Klt::Clear_Bloc_Entete(block);
            L::writeInt(block, L::Header::Request, request);
            L::writeInt(block, L::Header::Record, record);
            if (request == L::RequestWrite)
                std::copy(data.begin(), data.end(), block + L::HeaderSize);
            return Passerelle::SendBlock(Passerelle::GatewayBlock, length) == 0 &&
                   Passerelle::ReceiveBlock(Passerelle::GatewayBlock, L::BlockSize) == 0;
        };
        std::fill(block, block + L::BlockSize, 0);
        const bool ok = Passerelle::OpenSession("5204", 2) == 0 &&
                        (data.isEmpty() || exchange(L::RequestWrite, L::BlockSize)) &&
                        exchange(L::RequestRead, L::HeaderSize);
        Passerelle::CloseSession();
        const int size = record == -1 ? L::SupervisorDataSize : L::AgentDataSize;
        return ok ? dataOf(Passerelle::GatewayBlock).left(size) : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && start(m_dir.path()));
        QVERIFY2(m_server.start({QStringLiteral("--agents"), QStringLiteral("64")}),
                 qPrintable(m_server.errorText()));
    }
    void init()
    {
        reset(10);
        Parametres.TcpPort = qint16(m_server.port());
    }
    void cleanup() { QCOMPARE(UiRecorder::calls().size(), 0); }

    void agent_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("cells");   // columns 2 to 9 as stored
        QTest::addColumn<QString>("fetched"); // columns 2 to 10 as fetched back
        // The server holds the comment right and Droit_Stat.
        QTest::newRow("1, all") << "1"
                                << "X|X|X|X|X|X|X|X"
                                << "X|X|X|X|X|X|X|X|";
        QTest::newRow("1, comment only") << "1"
                                         << "|X||X||||X"
                                         << "|X||X||||X|";
        QTest::newRow("2, password only") << "2"
                                          << "X|X"
                                          << "||||X|||X|";
        QTest::newRow("3, all fields") << "3"
                                       << "||||||X|"
                                       << "||||||X|X|";
    }
    void agent()
    {
        QFETCH(QString, change);
        QFETCH(QString, cells);
        QFETCH(QString, fetched);
        QByteArray data(L::AgentDataSize, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char('a' + i % 26);
        data.replace(L::Agent::Password, 7, QByteArray("secret\0", 7));
        setInts(data, Rights, {0, 1, 0, 0, 0, 1, 0});
        QCOMPARE(raw(9, data), data);
        const QByteArray neighbour = raw(10);
        AgentsList::Rows rows = {row(10, cells, change), row(11, QStringLiteral("X"))};

        QCOMPARE(RemoteStore::StoreAgentRights(rows), change != QLatin1String("2"));
        AgentsList::Rows again = {row(10, {}, QStringLiteral("3"))};
        RemoteTransfers::FetchAgentRights(again);
        QCOMPARE(cellsOf(again[0]), fetched);
        // The other bytes come back as they were, but for the password's
        // first byte when it is cleared.
        QByteArray after = raw(9);
        QCOMPARE(after.at(L::Agent::Password), change == QLatin1String("1") ? 's' : '\0');
        after[L::Agent::Password] = 's';
        setInts(after, Rights, {0, 1, 0, 0, 0, 1, 0});
        QCOMPARE(after, data);
        QCOMPARE(raw(10), neighbour);
    }

    void supervisor()
    {
        using namespace L::Supervisor;
        QByteArray data = raw(-1);
        QCOMPARE(data.size(), L::SupervisorDataSize);
        for (int i : {64, 100, 127, 256, 291})
            data[i] = char(i);
        setInts(data, Reserved228, {77});
        QCOMPARE(raw(-1, data), data);

        RemoteTransfers::FetchSupervisorSettings();
        ParametresRecord& p = Parametres;
        p.NouveauMotDePasse = QStringLiteral("CHANGE7");
        std::tie(p.NbJourStockJournal, p.TauxActiviteT1, p.TauxActiviteT2, p.Etatinterdit,
                 p.CouleurGrS2) = std::tuple(21, 15, 85, 1, 0x010203);
        p.ModeLieApp = QString::fromUtf8("lien.vbs élan");
        RemoteStore::StoreSupervisorSettings();
        const QByteArray after = raw(-1);
        QCOMPARE(after.mid(64, 64) + after.mid(256) + after.mid(Reserved228, 4),
                 data.mid(64, 64) + data.mid(256) + data.mid(Reserved228, 4));
        QCOMPARE(Klt::conv_t6200_string(bytes(after) + Password, PasswordWidth),
                 PasswordScrambler::Crypter("CHANGE7"));
        QVERIFY(!after.contains("CHANGE7"));

        const ParametresRecord stored = Parametres;
        init();
        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(p.MotDePasse + p.ModeLieApp, QStringLiteral("CHANGE7") + stored.ModeLieApp);
        QCOMPARE((Ints{p.NbJourStockJournal, p.TauxActiviteT1, p.TauxActiviteT2, p.Etatinterdit,
                       p.CouleurGrS2}),
                 (Ints{21, 15, 85, 1, 0x010203}));
    }
};

QTEST_MAIN(TstGatewayE2e)
#include "tst_gateway_e2e.moc"
