// The two fetches, step by step, against a scripted server in the test
// process that keeps records in memory.

#include "Cp1252.h"
#include "Folders.h"
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

class TstTransfers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void fetchAgentRights_data();
    void fetchAgentRights();
    void fetchAgentRightsRequests();
    void fetchEmptyList();
    void fetchAfterLocalTimeout();
    void fetchSupervisorValidation_data();
    void fetchSupervisorValidation();
    void fetchSupervisorTexts_data();
    void fetchSupervisorTexts();
    void fetchSupervisorLanguage_data();
    void fetchSupervisorLanguage();
    void fetchSupervisorRetry_data();
    void fetchSupervisorRetry();
    void fetchSupervisorReadTimeout_data();
    void fetchSupervisorReadTimeout();
    void agentReadTimeout_data();
    void agentReadTimeout();

private:
    bool start(RecordServer& server);

    QTemporaryDir m_programDir;
};

void TstTransfers::initTestCase()
{
    QVERIFY(m_programDir.isValid());
    Folders::setProgramFolder(m_programDir.path());
    QVERIFY(TestLanguage::writeGatewayTexts(m_programDir.path(), 0));
}

void TstTransfers::init()
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

void TstTransfers::cleanup()
{
    Passerelle::CloseSession();
}

bool TstTransfers::start(RecordServer& server)
{
    if (!server.listen())
        return false;
    Parametres.TcpPort = static_cast<qint16>(server.server().port());
    return true;
}

void TstTransfers::fetchAgentRights_data()
{
    // The seven rights in record order: group, fiche, preference, password,
    // qualif, stat, call list.
    QTest::addColumn<QList<qint32>>("record");
    QTest::addColumn<QList<int>>("model");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QList<qint32>>("recordAfter");
    using R = QList<qint32>;
    using M = QList<int>;
    QTest::newRow("all granted, comment only") << R{1, 1, 1, 1, 1, 1, 1} << M{0, 0, 0, 0, 0, 0, 0}
                                               << "X|X|X|X|X|X||X|" << R{1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("all refused") << R{0, 0, 0, 0, 0, 0, 0} << M{1, 2, 1, 1, 1, 1, 1} << "||||||||"
                                 << R{0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("all fields of customer records")
        << R{0, 2, 0, 0, 0, 0, 0} << M{0, 0, 0, 0, 0, 0, 0} << "||||||X|X|"
        << R{0, 2, 0, 0, 0, 0, 0};
    QTest::newRow("unset stat, model grants it")
        << R{0, 0, 0, 0, 0, -1, 0} << M{0, 0, 0, 0, 0, 1, 0} << "||||X||||"
        << R{0, 0, 0, 0, 0, 1, 0};
    QTest::newRow("all unset take the model")
        << R{-1, -1, -1, -1, -1, -1, -1} << M{1, 2, 0, 1, 0, 1, 0} << "X||X||X||X|X|"
        << R{1, 2, 0, 1, 0, 1, 0};
    QTest::newRow("only the value 1 grants") << R{2, 3, -2, 7, 1, 0, 2} << M{1, 1, 1, 1, 1, 1, 1}
                                             << "|||X|||||" << R{2, 3, -2, 7, 1, 0, 2};
}

void TstTransfers::fetchAgentRights()
{
    QFETCH(QList<qint32>, record);
    QFETCH(QList<int>, model);
    QFETCH(QString, cells);
    QFETCH(QList<qint32>, recordAfter);
    RecordServer server;
    QVERIFY(start(server));
    setRights(server.record(6), record);
    DroitsModele& m = Parametres.ModelRights;
    m.Droit_Modif_Group = quint8(model[0]);
    m.Droit_Modif_Fiche = quint8(model[1]);
    m.Droit_Preference = quint8(model[2]);
    m.Droit_Modif_MotDePasse = quint8(model[3]);
    m.Droit_Qualif = quint8(model[4]);
    m.Droit_Stat = quint8(model[5]);
    m.Droit_ListeAppel = quint8(model[6]);
    AgentsList::Rows rows = rowsOf({QStringLiteral("7")});
    rows[0].cells[AgentsList::ColChange] = QStringLiteral("3");

    RemoteTransfers::FetchAgentRights(rows);
    QCOMPARE(cellsOf(rows[0]), cells);
    QCOMPARE(rightsOf(agentData()), recordAfter);
    QCOMPARE(UiRecorder::calls().size(), 0);
}

void TstTransfers::fetchAgentRightsRequests()
{
    RecordServer server;
    QVERIFY(start(server));
    setRights(server.record(11), {1, 0, 0, 0, 0, 0, 0});
    setRights(server.record(2), {0, 0, 0, 0, 0, 0, 1});
    AgentsList::Rows rows = rowsOf({QStringLiteral("12"), QStringLiteral("3")});
    // A cell of a right not granted is not written.
    rows[1].cells[AgentsList::ColStat] = X;

    RemoteTransfers::FetchAgentRights(rows);
    QCOMPARE(server.server().connectionCount(), 1);
    const QList<QByteArray> reads = server.exchanges();
    QCOMPARE(reads.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(reads[i].size(), L::HeaderSize);
        QCOMPARE(intAt(reads[i], L::Header::Request), L::RequestRead);
        // The rest of the header is cleared.
        QCOMPARE(reads[i].mid(20), QByteArray(L::HeaderSize - 20, '\0'));
        QCOMPARE(intAt(reads[i], L::Header::Application), 0);
    }
    QCOMPARE(intAt(reads[0], L::Header::Record), 11);
    QCOMPARE(intAt(reads[1], L::Header::Record), 2);
    QCOMPARE(cellsOf(rows[0]), QStringLiteral("X||||||||"));
    QCOMPARE(cellsOf(rows[1]), QStringLiteral("||||X|X|||"));
    QTRY_VERIFY(server.server().closedByClient(0));
}

void TstTransfers::fetchEmptyList()
{
    RecordServer server;
    QVERIFY(start(server));
    AgentsList::Rows rows;
    RemoteTransfers::FetchAgentRights(rows);
    QTRY_VERIFY(server.server().closedByClient(0));
    QCOMPARE(server.server().connectionCount(), 1);
    QCOMPARE(server.server().requests().size(), 1); // the login only
    QVERIFY(RemoteStore::StoreAgentRights(rows) == false);
    QTRY_VERIFY(server.server().closedByClient(1));
    QCOMPARE(server.server().requests().size(), 2);
}

void TstTransfers::fetchAfterLocalTimeout()
{
    // A time-out at the login offers the dialog; the fetch goes on and its
    // first send finds no connection, which ends the program.
    RecordServer server;
    QVERIFY(start(server));
    server.server().setGreetings({QByteArray()});
    UiRecorder::setDialogHandler([](Ui::Dialog) { return true; });
    AgentsList::Rows rows = rowsOf({QStringLiteral("1"), QStringLiteral("2")});
    QVERIFY(UiRecorder::endsProgram([&] { RemoteTransfers::FetchAgentRights(rows); }));
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].text, TestLanguage::GatewayFailure + " (Local Time-out)");
    QCOMPARE(boxes[1].text, TestLanguage::GatewayFailure + " (No Connect)");
    QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
    QCOMPARE(cellsOf(rows[0]), QStringLiteral("||||||||"));
}

void TstTransfers::fetchSupervisorValidation_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<qint32>("expected");
    // A field of Parametres, or nothing for the byte at 228.
    QTest::addColumn<QString>("field");
    using namespace L::Supervisor;
    QTest::newRow("T1 120") << TauxActiviteT1 << 120 << 30 << "T1";
    QTest::newRow("T1 -1") << TauxActiviteT1 << -1 << 30 << "T1";
    QTest::newRow("T1 99") << TauxActiviteT1 << 99 << 99 << "T1";
    QTest::newRow("T1 0") << TauxActiviteT1 << 0 << 0 << "T1";
    QTest::newRow("T2 -5") << TauxActiviteT2 << -5 << 70 << "T2";
    QTest::newRow("T2 100") << TauxActiviteT2 << 100 << 70 << "T2";
    QTest::newRow("T2 45") << TauxActiviteT2 << 45 << 45 << "T2";
    QTest::newRow("journal 40") << NbJourStockJournal << 40 << 40 << "journal";
    QTest::newRow("journal 41") << NbJourStockJournal << 41 << 0 << "journal";
    QTest::newRow("journal -1") << NbJourStockJournal << -1 << 0 << "journal";
    QTest::newRow("mode -3") << ModeLie << -3 << 0 << "mode";
    QTest::newRow("mode 2") << ModeLie << 2 << 2 << "mode";
    QTest::newRow("mode 7 kept") << ModeLie << 7 << 7 << "mode";
    QTest::newRow("228 negative") << Reserved228 << -1 << 0 << "";
    QTest::newRow("228 kept") << Reserved228 << 5 << 5 << "";
    QTest::newRow("forbidden states 1") << Etatinterdit << 1 << 1 << "etat";
    QTest::newRow("forbidden states 2") << Etatinterdit << 2 << 0 << "etat";
    QTest::newRow("forbidden states -1") << Etatinterdit << -1 << 0 << "etat";
    QTest::newRow("comment 1") << CmtAuto << 1 << 1 << "cmt";
    QTest::newRow("comment -1") << CmtAuto << -1 << 0 << "cmt";
    QTest::newRow("colour unset, first") << Colours << -1 << 255 << "colour0";
    QTest::newRow("colour unset, satu") << Colours + 36 << -1 << 33023 << "colour9";
    QTest::newRow("colour unset, last") << Colours + 60 << -1 << 65535 << "colour15";
    QTest::newRow("colour -2 kept") << Colours + 28 << -2 << -2 << "colour7";
    QTest::newRow("colour kept") << Colours + 44 << 123456 << 123456 << "colour11";
}

void TstTransfers::fetchSupervisorValidation()
{
    QFETCH(int, offset);
    QFETCH(qint32, stored);
    QFETCH(qint32, expected);
    QFETCH(QString, field);
    RecordServer server;
    QVERIFY(start(server));
    setInt(server.record(-1), offset, stored);

    RemoteTransfers::FetchSupervisorSettings();
    QCOMPARE(UiRecorder::calls().size(), 0);
    QCOMPARE(intAt(supervisorData(), offset), expected);
    const QMap<QString, qint32> fields = {
        {"T1", Parametres.TauxActiviteT1},          {"T2", Parametres.TauxActiviteT2},
        {"journal", Parametres.NbJourStockJournal}, {"mode", Parametres.ModeLie},
        {"etat", Parametres.Etatinterdit},          {"cmt", Parametres.CmtAuto},
    };
    if (field.startsWith(QLatin1String("colour"))) {
        const int index = field.mid(6).toInt();
        QCOMPARE(Parametres.*(Couleurs[std::size_t(index)].field), expected);
    } else if (!field.isEmpty()) {
        QCOMPARE(fields.value(field), expected);
    }
    // The server's own record is not changed by the fetch.
    QCOMPARE(intAt(server.record(-1), offset), stored);
    QCOMPARE(server.exchanges().size(), 1);
    QCOMPARE(intAt(server.exchanges()[0], L::Header::Record), -1);
}

void TstTransfers::fetchSupervisorTexts_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("expectedPassword");
    QTest::addColumn<QByteArray>("recordPassword");
    QTest::addColumn<QByteArray>("app");
    QTest::addColumn<QString>("expectedApp");
    QTest::addColumn<QByteArray>("recordApp");
    const QByteArray def = PasswordScrambler::DefaultSupervisorPassword();
    const QString plainDefault =
        Cp1252::toUnicode(PasswordScrambler::Decrypter(def)).toUpper().trimmed();
    const QByteArray secret = PasswordScrambler::Crypter("  s\xE9"
                                                         "cret ");
    QTest::newRow("empty fields get the defaults")
        << QByteArray() << plainDefault << def << QByteArray() << "Wscript.exe Post_it.vbs"
        << QByteArray("Wscript.exe Post_it.vbs");
    QTest::newRow("stored values")
        << secret << QString::fromUtf8("SÉCRET") << secret << QByteArray("  calc.exe /x  ")
        << "calc.exe /x" << QByteArray("  calc.exe /x  ");
}

void TstTransfers::fetchSupervisorTexts()
{
    QFETCH(QByteArray, password);
    QFETCH(QString, expectedPassword);
    QFETCH(QByteArray, recordPassword);
    QFETCH(QByteArray, app);
    QFETCH(QString, expectedApp);
    QFETCH(QByteArray, recordApp);
    RecordServer server;
    QVERIFY(start(server));
    using namespace L::Supervisor;
    setTextField(server.record(-1), Password, PasswordWidth, password);
    setTextField(server.record(-1), ModeLieApp, ModeLieAppWidth, app);

    RemoteTransfers::FetchSupervisorSettings();
    QCOMPARE(Parametres.MotDePasse, expectedPassword);
    QCOMPARE(Parametres.NouveauMotDePasse, expectedPassword);
    QCOMPARE(textField(supervisorData(), Password, PasswordWidth), recordPassword);
    QCOMPARE(Parametres.ModeLieApp, expectedApp);
    QCOMPARE(textField(supervisorData(), ModeLieApp, ModeLieAppWidth), recordApp);
}

void TstTransfers::fetchSupervisorLanguage_data()
{
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<QList<int>>("files");     // language files present besides 00
    QTest::addColumn<QList<int>>("helpFiles"); // help files present
    QTest::addColumn<int>("langue");
    QTest::addColumn<QString>("help");
    QTest::newRow("language 1") << 1 << QList<int>{1} << QList<int>{0, 1} << 1 << "Zor_Hp01.chm";
    QTest::newRow("language 1 without help")
        << 1 << QList<int>{1} << QList<int>{0} << 1 << "Zor_Hp00.chm";
    QTest::newRow("language 3 without file")
        << 3 << QList<int>{1} << QList<int>{0} << 0 << "Zor_Hp00.chm";
    QTest::newRow("negative keeps the language")
        << -1 << QList<int>{1} << QList<int>{0} << 2 << "before";
    QTest::newRow("17 with a file is refused")
        << 17 << QList<int>{17} << QList<int>{0, 17} << 2 << "before";
    QTest::newRow("17 without a file gives 0")
        << 17 << QList<int>{} << QList<int>{0} << 0 << "Zor_Hp00.chm";
    QTest::newRow("16 with a file")
        << 16 << QList<int>{16} << QList<int>{0} << 16 << "Zor_Hp00.chm";
}

void TstTransfers::fetchSupervisorLanguage()
{
    QFETCH(qint32, stored);
    QFETCH(QList<int>, files);
    QFETCH(QList<int>, helpFiles);
    QFETCH(int, langue);
    QFETCH(QString, help);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Folders::setProgramFolder(dir.path());
    QVERIFY(TestLanguage::writeGatewayTexts(dir.path(), 0));
    for (int n : files)
        QVERIFY(TestLanguage::writeGatewayTexts(dir.path(), n));
    for (int n : helpFiles) {
        QFile chm(QDir(dir.path())
                      .filePath(QStringLiteral("Zor_Hp%1.chm").arg(n, 2, 10, QLatin1Char('0'))));
        QVERIFY(chm.open(QIODevice::WriteOnly));
    }
    // The language in use before the fetch.
    Parametres.Langue = 2;
    LanguageBase = 4000;
    HelpFile = QStringLiteral("before");
    LanguageText = QStringLiteral("before");
    RecordServer server;
    QVERIFY(start(server));
    setInt(server.record(-1), L::Supervisor::Langue, stored);

    RemoteTransfers::FetchSupervisorSettings();
    Folders::setProgramFolder(m_programDir.path());
    QCOMPARE(Parametres.Langue, langue);
    QCOMPARE(LanguageBase, qint16(langue * 2000));
    if (help == QLatin1String("before")) {
        QCOMPARE(HelpFile, help);
        QCOMPARE(LanguageText, QStringLiteral("before"));
    } else {
        QCOMPARE(QFileInfo(HelpFile).fileName(), help);
        QCOMPARE(QFileInfo(LanguageFilePath).fileName(), TestLanguage::fileName(langue));
        // The language text is loaded from the new file.
        const QString marker = langue == 0 ? QString() : QStringLiteral(" #%1").arg(langue);
        QCOMPARE(Languages::GetMessageText(qint16(LanguageBase + 121)),
                 TestLanguage::ApplicationTitle + marker);
    }
    QCOMPARE(intAt(supervisorData(), L::Supervisor::Langue), stored);
}

void TstTransfers::fetchSupervisorRetry_data()
{
    // Connections that time out at the login, then what the dialog answers.
    QTest::addColumn<int>("silent");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("ends");
    QTest::newRow("accepted, then the server answers") << 1 << QList<bool>{true} << false;
    QTest::newRow("cancelled") << 1 << QList<bool>{false} << true;
    QTest::newRow("accepted twice") << 2 << QList<bool>{true, true} << false;
    QTest::newRow("accepted, then cancelled") << 2 << QList<bool>{true, false} << true;
}

void TstTransfers::fetchSupervisorRetry()
{
    QFETCH(int, silent);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, ends);
    RecordServer server;
    QVERIFY(start(server));
    QList<QByteArray> greetings(silent, QByteArray());
    greetings.append(FakeServer::greeting());
    server.server().setGreetings(greetings);
    setInt(server.record(-1), L::Supervisor::TauxActiviteT1, 42);
    UiRecorder::setDialogHandler([&answers](Ui::Dialog) { return answers.takeFirst(); });

    QCOMPARE(UiRecorder::endsProgram([] { RemoteTransfers::FetchSupervisorSettings(); }), ends);
    QVERIFY(answers.isEmpty());
    QCOMPARE(UiRecorder::count(Kind::Dialog), silent);
    for (const UiRecorder::Call& box : UiRecorder::callsOf(Kind::MessageBox))
        QCOMPARE(box.text, TestLanguage::GatewayFailure + " (Local Time-out)");
    QCOMPARE(server.server().connectionCount(), ends ? silent : silent + 1);
    QCOMPARE(Parametres.TauxActiviteT1, ends ? 0 : 42);
}

void TstTransfers::fetchSupervisorReadTimeout_data()
{
    QTest::addColumn<bool>("valide");
    QTest::newRow("dialog accepted: read again") << true;
    QTest::newRow("dialog cancelled: the end") << false;
}

void TstTransfers::fetchSupervisorReadTimeout()
{
    // The record's read times out: nothing of the block is used; the dialog
    // decides between a whole new attempt and the end of the program.
    QFETCH(bool, valide);
    RecordServer server;
    QVERIFY(start(server));
    server.silentFrom(0, 1);
    setInt(server.record(-1), L::Supervisor::TauxActiviteT1, 42);
    UiRecorder::setDialogHandler([valide](Ui::Dialog) { return valide; });

    QCOMPARE(UiRecorder::endsProgram([] { RemoteTransfers::FetchSupervisorSettings(); }), !valide);
    QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
    QCOMPARE(server.server().connectionCount(), valide ? 2 : 1);
    QCOMPARE(Parametres.TauxActiviteT1, valide ? 42 : 0);
    QCOMPARE(Parametres.MotDePasse.isEmpty(), !valide);
}

void TstTransfers::agentReadTimeout_data()
{
    // Requests answered before the server falls silent (the login is 1).
    QTest::addColumn<bool>("store");
    QTest::addColumn<int>("answered");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    const QString fetched = QStringLiteral("X|X|X|X|X|X||X|");
    const QString untouched = QStringLiteral("||||||||3");
    QTest::newRow("fetch, first read") << false << 1 << true << false << untouched << untouched;
    QTest::newRow("fetch, last read") << false << 2 << false << false << fetched << untouched;
    QTest::newRow("store, first read") << true << 1 << true << false << QString() << QString();
    QTest::newRow("store, last read") << true << 3 << false << true << QString() << QString();
    QTest::newRow("store, last write") << true << 4 << false << true << QString() << QString();
}

void TstTransfers::agentReadTimeout()
{
    // After a local time-out the transfer goes on: the answer that did not
    // come is not used, and the next send finds no connection.
    QFETCH(bool, store);
    QFETCH(int, answered);
    QFETCH(bool, ends);
    QFETCH(bool, result);
    QFETCH(QString, first);
    QFETCH(QString, second);
    RecordServer server;
    QVERIFY(start(server));
    server.silentFrom(0, answered);
    setRights(server.record(0), {1, 1, 1, 1, 1, 1, 1});
    setRights(server.record(1), {1, 1, 1, 1, 1, 1, 1});
    AgentsList::Rows rows = rowsOf({QStringLiteral("1"), QStringLiteral("2")});
    for (AgentsList::Row& row : rows)
        row.cells[AgentsList::ColChange] = QStringLiteral("3");
    UiRecorder::setDialogHandler([](Ui::Dialog) { return true; });

    bool written = false;
    const bool ended = UiRecorder::endsProgram([&] {
        if (store)
            written = RemoteStore::StoreAgentRights(rows);
        else
            RemoteTransfers::FetchAgentRights(rows);
    });
    QCOMPARE(ended, ends);
    QCOMPARE(written, result);
    QCOMPARE(UiRecorder::count(Kind::Dialog), 1);
    const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), ends ? 2 : 1);
    QCOMPARE(boxes[0].text, TestLanguage::GatewayFailure + " (Local Time-out)");
    if (ends)
        QCOMPARE(boxes[1].text, TestLanguage::GatewayFailure + " (No Connect)");
    if (!store) {
        QCOMPARE(cellsOf(rows[0]), first);
        QCOMPARE(cellsOf(rows[1]), second);
    } else {
        // Only writes that were answered reached the server's records.
        const QList<qint32> all = {1, 1, 1, 1, 1, 1, 1};
        const QList<qint32> none = {0, 0, 0, 0, 0, 0, 0};
        QCOMPARE(rightsOf(server.record(0)), answered >= 3 ? none : all);
        QCOMPARE(rightsOf(server.record(1)), all);
    }
}

QTEST_MAIN(TstTransfers)
#include "tst_transfers.moc"
