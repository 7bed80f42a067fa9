#include "AgentRights.h"
#include "PasswordScrambler.h"
#include "SettingsFixture.h"
#include "SupervisorSettings.h"

#include <QTest>

using namespace AgentsList;
using UiRecorder::Kind;

namespace {

// Columns 2 to 9 as one text, "X" or "." per cell.
QString cells(const Row& row)
{
    QString text;
    for (int c = ColModifGroup; c <= ColFicheComment; ++c)
        text += row.cells[c] == u"X" ? u'X' : u'.';
    return text;
}

Row row(const QString& number, const QString& pattern = {}, const QString& change = {})
{
    Row r = makeRow(number, QStringLiteral("Agent"));
    for (int i = 0; i < pattern.size(); ++i)
        r.cells[ColModifGroup + i] = pattern[i] == u'X' ? QStringLiteral("X") : QString();
    r.cells[ColChange] = change;
    return r;
}

} // namespace

class TestSharedFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fx.setUp(); }
    void supervisorRead_data();
    void supervisorRead();
    void supervisorWrite();
    void modelAndAgentRead_data();
    void modelAndAgentRead();
    void agentReadFailureStopsTheLoop();
    void agentWrite_data();
    void agentWrite();

private:
    QString supervis() const { return m_fx.shared(QStringLiteral("supervis.ini")); }
    SettingsFixture m_fx;
};

// Each row is the CONFIG and FRAME lines of supervis.ini and the settings read
// from them: password, Langue, LanguageBase, journal, T1, T2, ModeLie,
// Etatinterdit, CmtAuto, CouleurTxBas. Before the read every field holds -7
// (Langue 4, LanguageBase 8000), so a field a failure leaves alone shows -7.
void TestSharedFiles::supervisorRead_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QString>("failure");
    auto row = [](const char* name, QByteArray config, QByteArray frame, const char* password,
                  QList<int> expected, const char* failure = "") {
        QTest::newRow(name) << config << frame << QString::fromUtf8(password) << expected
                            << QString::fromLatin1(failure);
    };
    row("no file", {}, {}, "SUPER", {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("ranges", "NbJourStockJournal=40\r\nTauxActiviteT1=100\r\nTauxActiviteT2= 45 \r\n", {},
        "SUPER", {0, 0, 40, 0, 45, 0, 0, 0, 255});
    row("journal 41, -1", "NbJourStockJournal=41\r\nTauxActiviteT2=-1\r\n", {}, "SUPER",
        {0, 0, 0, 30, 0, 0, 0, 0, 255});
    row("leading numbers", "NbJourStockJournal=12abc\r\nTauxActiviteT1=39.5\r\n",
        "CouleurTxBas= 12x\r\n", "SUPER", {0, 0, 12, 40, 70, 0, 0, 0, 12});
    row("mode 2, switches", "ModeLie=2\r\nEtatinterdit=1\r\nCmtAuto=&H1\r\n", {}, "SUPER",
        {0, 0, 0, 30, 70, 2, 1, 1, 255});
    row("mode 01", "ModeLie=01\r\n", {}, "SUPER", {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("mode 1a", "ModeLie=1a\r\n", {}, "SUPER", {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("password lower with spaces",
        "mot_de_passe=" + PasswordScrambler::Crypter(" \xe9t\xe9 ") + "\r\n", {}, "\u00c9T\u00c9",
        {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("password empty", "mot_de_passe=\r\n", {}, "581362", {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("password not scrambled", "mot_de_passe=plain\r\n", {}, "IMPOSSIBLE DE D\u00c9CRYPTER",
        {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("langue 2 present", "langue=2\r\n", {}, "SUPER", {2, 4000, 0, 30, 70, 0, 0, 0, 255});
    row("langue 5 missing", "langue=5\r\n", {}, "SUPER", {0, 0, 0, 30, 70, 0, 0, 0, 255});
    row("langue -1 keeps", "langue=-1\r\n", {}, "SUPER", {4, 8000, 0, 30, 70, 0, 0, 0, 255});
    row("langue 17 fails", "langue=17\r\n", {}, "SUPER", {17, 8000, -7, -7, -7, -7, -7, -7, -7},
        " [GetIniCouleurs 6 Overflow]");
    row("etat empty fails", "NbJourStockJournal=5\r\nEtatinterdit=\r\nCmtAuto=1\r\n", {}, "SUPER",
        {0, 0, 5, 30, 70, 0, -7, -7, -7}, " [GetIniCouleurs 13 Type mismatch]");
    row("colour overflow", "CmtAuto=1\r\n", "CouleurTxBas=9e99\r\n", "SUPER",
        {0, 0, 0, 30, 70, 0, 0, 1, -7}, " [GetIniCouleurs 6 Overflow]");
}

void TestSharedFiles::supervisorRead()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, frame);
    QFETCH(QString, failure);
    for (int n : {2, 17})
        m_fx.addLanguageFile(n);
    ParametresRecord& p = Parametres;
    for (qint32* field : {&p.NbJourStockJournal, &p.TauxActiviteT1, &p.TauxActiviteT2, &p.ModeLie,
                          &p.Etatinterdit, &p.CmtAuto})
        *field = -7;
    for (const CouleurDef& colour : Couleurs)
        p.*colour.field = -7;
    p.Langue = 4;
    LanguageBase = 8000;
    if (!config.isNull() || !frame.isNull())
        SettingsFixture::write(supervis(), "[CONFIG]\r\n" + config + "[FRAME]\r\n" + frame);

    SupervisorSettings::GetIniCouleurs();
    QTEST(p.MotDePasse, "password");
    QCOMPARE(p.NouveauMotDePasse, p.MotDePasse);
    const QList<int> actual{p.Langue,         LanguageBase,     p.NbJourStockJournal,
                            p.TauxActiviteT1, p.TauxActiviteT2, p.ModeLie,
                            p.Etatinterdit,   p.CmtAuto,        p.CouleurTxBas};
    QTEST(actual, "expected");
    QCOMPARE(UiRecorder::count(Kind::MessageBox), failure.isEmpty() ? 0 : 1);
    QVERIFY(SettingsFixture::lastMessage().endsWith(failure));
    if (failure.isEmpty()) {
        QCOMPARE(p.ModeLieApp, QStringLiteral("Wscript.exe Post_it.vbs"));
        QCOMPARE(p.CouleurGrFile, 16777215);
    }
}

// Numbers go out with a space before them (a minus sign instead when
// negative), lines already in the file are replaced in place, and everything
// else stays byte for byte; reading it back gives the same settings.
void TestSharedFiles::supervisorWrite()
{
    SettingsFixture::write(supervis(), "; shared\r\n[CONFIG]\r\nTauxActiviteT1=30\r\nother=keep\r\n"
                                       "\r\n[FRAME]\r\n");
    SupervisorSettings::GetIniCouleurs();
    Parametres.NouveauMotDePasse = QStringLiteral("NOUVEAU");
    Parametres.TauxActiviteT1 = 25;
    Parametres.ModeLieApp = QStringLiteral("cscript lien.vbs");
    Parametres.CouleurGrFile = -5;
    SupervisorSettings::SetIniCouleurs();
    const QByteArray expected =
        "; shared\r\n[CONFIG]\r\nTauxActiviteT1= 25\r\nother=keep\r\nmot_de_passe=" +
        PasswordScrambler::Crypter("NOUVEAU") +
        "\r\nNbJourStockJournal= 0\r\nTauxActiviteT2= 70\r\nlangue= 0\r\nModeLie= 0\r\n"
        "ModeLieApp=cscript lien.vbs\r\nEtatinterdit= 0\r\nCmtAuto= 0\r\n\r\n[FRAME]\r\n"
        "CouleurTxBas= 255\r\n";
    const QByteArray written = SettingsFixture::read(supervis());
    QVERIFY2(written.startsWith(expected), written.constData());
    QVERIFY(written.contains("\r\nCouleurGrFile=-5\r\n"));
    QVERIFY(written.endsWith("CouleurGrServis= 65535\r\n"));

    ResetGlobals();
    Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.MotDePasse, QStringLiteral("NOUVEAU"));
    QCOMPARE(Parametres.TauxActiviteT1, 25);
    QCOMPARE(Parametres.ModeLieApp, QStringLiteral("cscript lien.vbs"));
    QCOMPARE(Parametres.CouleurGrFile, -5);
}

// The same rights file content read as the model (ModelRights) and as agent
// 5's file (the row's cells). A missing key reads as "1"; only "1" grants.
void TestSharedFiles::modelAndAgentRead_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("expected");   // columns 2..9
    QTest::newRow("no file") << QByteArray() << QStringLiteral("XXXXXX.X");
    QTest::newRow("fiche 2") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=2\r\n")
                             << QStringLiteral("XXXXXXXX");
    QTest::newRow("fiche other") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=x\r\n")
                                 << QStringLiteral("XXXXXX..");
    QTest::newRow("stat 0, 2, yes, empty")
        << QByteArray("[SUPER]\r\nDroit_Stat=0\r\nDroit_Qualif=2\r\nDroit_Preference=yes\r\n"
                      "Droit_ListeAppel=\r\n")
        << QStringLiteral("X.X....X");
    QTest::newRow("case-insensitive names")
        << QByteArray("[super]\r\ndroit_modif_group=0\r\n") << QStringLiteral(".XXXXX.X");
}

void TestSharedFiles::modelAndAgentRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    if (!content.isNull()) {
        SettingsFixture::write(m_fx.program(QStringLiteral("MODEL.INI")), content);
        SettingsFixture::write(m_fx.shared(QStringLiteral("agent005.ini")), content);
    }
    AgentRights::GetModel_Ini();
    const DroitsModele& m = Parametres.ModelRights;
    QString model;
    for (quint8 right : {m.Droit_Modif_Group, m.Droit_Preference, m.Droit_Modif_MotDePasse,
                         m.Droit_Qualif, m.Droit_Stat, m.Droit_ListeAppel})
        model += right ? u'X' : u'.';
    model += m.Droit_Modif_Fiche == 2 ? u'X' : u'.';
    model += m.Droit_Modif_Fiche >= 1 ? u'X' : u'.';
    QCOMPARE(model, expected);

    Rows rows{row(QStringLiteral("5"), {}, QStringLiteral("3"))};
    AgentRights::GetAgentxx_Ini(rows);
    QCOMPARE(cells(rows[0]), expected);
    QVERIFY(rows[0].cells[ColChange].isEmpty());
}

void TestSharedFiles::agentReadFailureStopsTheLoop()
{
    Rows rows{row(QStringLiteral("1")), row(QStringLiteral("abc")), row(QStringLiteral("3"))};
    AgentRights::GetAgentxx_Ini(rows);
    QCOMPARE(cells(rows[0]) + cells(rows[1]) + cells(rows[2]),
             QStringLiteral("XXXXXX.X................"));
    QVERIFY(SettingsFixture::lastMessage().endsWith(
        QStringLiteral(" [GetAgentxx_Ini 13 Type mismatch]")));
}

void TestSharedFiles::agentWrite_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("expected"); // null: no file
    const QByteArray rights =
        "Droit_Modif_Group=%1\r\nDroit_Preference=%2\r\n"
        "Droit_Modif_MotDePasse=%3\r\nDroit_Qualif=%4\r\nDroit_ListeAppel=%5\r\n"
        "Droit_Modif_Fiche=%6\r\n";
    auto file = [&](const char* stat, QByteArray values, const char* password) {
        QByteArray text = rights;
        for (int i = 0; i < values.size(); ++i)
            text.replace("%" + QByteArray::number(i + 1), QByteArray(1, values[i]));
        return "[SUPER]\r\nDroit_Stat=" + QByteArray(stat) + "\r\n" +
               (values.isEmpty() ? "" : text) + "[CONFIG]\r\nmot_de_passe=" + password + "\r\n";
    };
    QTest::newRow("unchanged") << "12"
                               << "XXXXXXXX"
                               << "" << false << file("1", {}, "abc");
    QTest::newRow("password only") << "12"
                                   << "XXXXXXXX"
                                   << "2" << false << file("1", {}, "");
    QTest::newRow("fiche from column 8") << "12"
                                         << "X.X.X.X."
                                         << "1" << true << file("1", "101002", "abc");
    QTest::newRow("comment only, both") << "12"
                                        << ".......X"
                                        << "3" << true << file("0", "000001", "");
    QTest::newRow("nothing granted") << "12"
                                     << "........"
                                     << "1" << true << file("0", "000000", "abc");
    QTest::newRow("clear without a file")
        << "1234"
        << ""
        << "2" << false << QByteArray("[CONFIG]\r\nmot_de_passe=\r\n");
}

void TestSharedFiles::agentWrite()
{
    QFETCH(QString, number);
    QFETCH(QString, pattern);
    QFETCH(QString, change);
    QFETCH(bool, result);
    QFETCH(QByteArray, expected);
    SettingsFixture::write(m_fx.shared(QStringLiteral("agent012.ini")),
                           "[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
    Rows rows{row(number, pattern, change), row(QStringLiteral("7"), QStringLiteral("XX"))};
    QCOMPARE(AgentRights::SetAgentxx_Ini(rows), result);
    QCOMPARE(SettingsFixture::read(m_fx.shared(AgentRights::AgentFileName(number.toInt()))),
             expected);
    QCOMPARE(rows[0].cells[ColChange], change);
    QVERIFY(!QFile::exists(m_fx.shared(QStringLiteral("agent007.ini"))));
}

QTEST_GUILESS_MAIN(TestSharedFiles)
#include "tst_sharedfiles.moc"
