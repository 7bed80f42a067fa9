// The four transfers against a real zorsrv on loopback with its own SQLite
// file; records are written and read directly to set and see what it holds.

#include "Cp1252.h"
#include "GatewayKit.h"
#include "PasswordScrambler.h"
#include "RawClient.h"
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
    // server holds.
    QByteArray raw(qint32 record, const QByteArray& data = {})
    {
        RawClient c;
        const bool ok = c.connectTo(m_server.port()) && c.login() == 0 &&
                        (data.isEmpty() || c.write(record, data).complete);
        return ok ? c.read(record).data : QByteArray();
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
        // Rights in record order: group, fiche, preference, password, qualif,
        // stat, call list. ModelRights holds {1, 2, 0, 1, 0, 1, 1}.
        QTest::addColumn<Ints>("stored");
        QTest::addColumn<int>("change");      // of the stored row, 0 for none
        QTest::addColumn<QString>("cells");   // columns 2 to 9 of the stored row
        QTest::addColumn<QString>("fetched"); // columns 2 to 10 as fetched back
        const Ints unset = {-1, -1, -1, -1, -1, -1, 0}, odd = {2, 3, -2, 7, 1, 0, 2};
        const Ints comment = {0, 1, 0, 0, 0, 1, 0}; // the comment right and Droit_Stat
        QTest::newRow("unset take the model") << unset << 0 << QString() << "X||X||X||X|X|";
        QTest::newRow("only 1 grants") << odd << 0 << QString() << "|||X|||||";
        const QString all = QStringLiteral("X|X|X|X|X|X|X|X");
        QTest::newRow("1") << comment << 1 << all << all + u'|';
        QTest::newRow("2") << comment << 2 << QStringLiteral("X|X") << "||||X|||X|";
        QTest::newRow("3, exactly X")
            << comment << 3 << QStringLiteral("X| X|XX|x|||X|") << "X||||||X|X|";
    }
    void agent()
    {
        QFETCH(Ints, stored);
        QFETCH(int, change);
        QFETCH(QString, cells);
        QFETCH(QString, fetched);
        QByteArray data =
            QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(18).left(L::AgentDataSize);
        data.replace(L::Agent::Password, 7, QByteArray("secret\0", 7));
        setInts(data, Rights, stored);
        QCOMPARE(raw(9, data), data);
        Parametres.ModelRights = DroitsModele{1, 2, 0, 1, 0, 1, 1};
        AgentsList::Rows rows = {row(10, cells, change ? QString::number(change) : QString())};
        const QString before = cellsOf(rows[0]);

        QCOMPARE(RemoteStore::StoreAgentRights(rows), change == 1 || change == 3);
        QCOMPARE(cellsOf(rows[0]), before);
        AgentsList::Rows again = {row(10, {}, QStringLiteral("3"))};
        RemoteTransfers::FetchAgentRights(again);
        QCOMPARE(cellsOf(again[0]), fetched);
        QVERIFY(!ints(dataOf(Passerelle::AgentRecord), Rights).contains(-1));
        // The other bytes come back as they were, but for the password's
        // first byte when it is cleared.
        QByteArray after = raw(9);
        QCOMPARE(after.at(L::Agent::Password), change >= 2 ? '\0' : 's');
        after[L::Agent::Password] = 's';
        setInts(after, Rights, stored);
        QCOMPARE(after, data);
    }

    void supervisor_data()
    {
        // Journal, ModeLie, the field at 228, Etatinterdit, CmtAuto, T1, T2,
        // Langue (2 before the fetch; only file 00 exists), the colours.
        QTest::addColumn<Ints>("stored");
        QTest::addColumn<Bytes>("texts");       // the password (scrambled), ModeLieApp
        QTest::addColumn<Ints>("after");        // the record, but Langue of Parametres
        QTest::addColumn<QStringList>("plain"); // the password, ModeLieApp
        using namespace PasswordScrambler;
        const QString plainDefault =
            Cp1252::toUnicode(Decrypter(DefaultSupervisorPassword())).toUpper().trimmed();
        const QByteArray secret = Crypter(Cp1252::fromUnicode(QStringLiteral("  s\u00e9cret ")));
        QTest::newRow("out of range, empty texts, no file 03")
            << Ints{41, -3, -1, 2, -1, 100, -1, 3, -1} << Bytes{{}, {}}
            << Ints{0, 0, 0, 0, 0, 30, 70, 0}
            << QStringList{plainDefault, "Wscript.exe Post_it.vbs"};
        QTest::newRow("limits kept, language kept")
            << Ints{40, 7, 5, 1, 1, 0, 99, -1, -2} << Bytes{secret, "  calc.exe /x  "}
            << Ints{40, 7, 5, 1, 1, 0, 99, 2}
            << QStringList{QStringLiteral("S\u00c9CRET"), "calc.exe /x"};
    }
    void supervisor()
    {
        QFETCH(Ints, stored);
        QFETCH(Bytes, texts);
        QFETCH(Ints, after);
        QFETCH(QStringList, plain);
        using namespace L::Supervisor;
        const int offsets[] = {NbJourStockJournal, ModeLie, Reserved228,
                               Etatinterdit,       CmtAuto, TauxActiviteT1,
                               TauxActiviteT2,     Langue};
        QByteArray data(L::SupervisorDataSize, '\0');
        for (int i = 0; i < 8; ++i)
            setInts(data, offsets[i], {stored[i]});
        setInts(data, Colours, Ints(ColourCount, stored[8]));
        Klt::conv_string_t6200(texts[0], PasswordWidth, bytes(data) + Password);
        Klt::conv_string_t6200(texts[1], ModeLieAppWidth, bytes(data) + ModeLieApp);
        for (int i : {64, 100, 127, 256, 291})
            data[i] = char(i); // bytes the tool does not interpret
        QCOMPARE(raw(-1, data), data);
        std::tie(Parametres.Langue, LanguageBase) = std::tuple(2, 4000);

        RemoteTransfers::FetchSupervisorSettings();
        const QByteArray record = dataOf(Passerelle::SupervisorRecord);
        ParametresRecord& p = Parametres;
        QCOMPARE((Ints{p.NbJourStockJournal, p.ModeLie, ints(record, Reserved228, 1)[0],
                       p.Etatinterdit, p.CmtAuto, p.TauxActiviteT1, p.TauxActiviteT2, p.Langue}),
                 after);
        for (int i = 0; i < 7; ++i) // the record holds the replacements too
            QCOMPARE(ints(record, offsets[i], 1)[0], after[i]);
        QCOMPARE(LanguageBase, qint16(p.Langue * 2000));
        for (std::size_t i = 0; i < Couleurs.size(); ++i) // -1 takes the default
            QCOMPARE((Ints{p.*(Couleurs[i].field), ints(record, Colours + 4 * int(i), 1)[0]}),
                     Ints(2, stored[8] == -1 ? Couleurs[i].defaultValue : stored[8]));
        QCOMPARE((QStringList{p.MotDePasse, p.NouveauMotDePasse, p.ModeLieApp}),
                 (QStringList{plain[0], plain[0], plain[1]}));
        QCOMPARE(Klt::conv_t6200_string(bytes(record) + Password, PasswordWidth),
                 texts[0].isEmpty() ? PasswordScrambler::DefaultSupervisorPassword() : texts[0]);
        QCOMPARE(Klt::conv_t6200_string(bytes(record) + ModeLieApp, ModeLieAppWidth),
                 texts[1].isEmpty() ? QByteArray("Wscript.exe Post_it.vbs") : texts[1]);

        // Stored back: the settings, and the other bytes as the fetch left them.
        p.NouveauMotDePasse = QStringLiteral("CHANGE7");
        std::tie(p.NbJourStockJournal, p.TauxActiviteT1, p.Etatinterdit, p.CouleurGrS2) =
            std::tuple(21, 15, 1, 0x010203);
        p.ModeLieApp = QString::fromUtf8("lien.vbs élan");
        RemoteStore::StoreSupervisorSettings();
        const QByteArray back = raw(-1);
        QCOMPARE(back.mid(64, 64) + back.mid(256) + back.mid(Reserved228, 4),
                 data.mid(64, 64) + data.mid(256) + record.mid(Reserved228, 4));
        QCOMPARE(Klt::conv_t6200_string(bytes(back) + Password, PasswordWidth),
                 PasswordScrambler::Crypter("CHANGE7"));
        const ParametresRecord sent = Parametres;
        init();
        RemoteTransfers::FetchSupervisorSettings();
        QCOMPARE(p.MotDePasse + p.ModeLieApp, QStringLiteral("CHANGE7") + sent.ModeLieApp);
        QCOMPARE((Ints{p.NbJourStockJournal, p.TauxActiviteT1, p.TauxActiviteT2, p.Etatinterdit,
                       p.CouleurGrS2}),
                 (Ints{21, 15, sent.TauxActiviteT2, 1, 0x010203}));
    }
};

QTEST_MAIN(TstGatewayE2e)
#include "tst_gateway_e2e.moc"
