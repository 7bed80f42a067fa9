#include "PasswordScrambler.h"
#include "SettingsFixture.h"
#include "SupervisorSettings.h"

#include <QTest>

using UiRecorder::Kind;

class TestSupervisorSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fx.setUp(); }
    void defaults();
    void option_data();
    void option();
    void password_data();
    void password();
    void language_data();
    void language();
    void failureKeepsLaterFields_data();
    void failureKeepsLaterFields();
    void writeFormat();
    void writeReadRoundTrip();

private:
    QString file() const { return m_fx.shared(QStringLiteral("supervis.ini")); }
    void supervis(const QByteArray& config, const QByteArray& frame = {})
    {
        SettingsFixture::write(file(), "[CONFIG]\r\n" + config + "[FRAME]\r\n" + frame);
    }
    SettingsFixture m_fx;
};

void TestSupervisorSettings::defaults()
{
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.MotDePasse, QStringLiteral("SUPER"));
    QCOMPARE(Parametres.NouveauMotDePasse, QStringLiteral("SUPER"));
    QCOMPARE(Parametres.Langue, 0);
    QCOMPARE(Parametres.NbJourStockJournal, 0);
    QCOMPARE(Parametres.TauxActiviteT1, 30);
    QCOMPARE(Parametres.TauxActiviteT2, 70);
    QCOMPARE(Parametres.ModeLie, 0);
    QCOMPARE(Parametres.ModeLieApp, QStringLiteral("Wscript.exe Post_it.vbs"));
    QCOMPARE(Parametres.Etatinterdit, 0);
    QCOMPARE(Parametres.CmtAuto, 0);
    for (const CouleurDef& colour : Couleurs)
        QCOMPARE(Parametres.*colour.field, colour.defaultValue);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

void TestSupervisorSettings::option_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("frameLine");
    QTest::addColumn<int>("journal");
    QTest::addColumn<int>("t1");
    QTest::addColumn<int>("modeLie");
    QTest::addColumn<int>("etat");
    QTest::addColumn<int>("txBas");
    auto row = [](const char* name, const char* line, const char* frame, int journal, int t1,
                  int mode, int etat, int txBas) {
        QTest::newRow(name) << QByteArray(line) << QByteArray(frame) << journal << t1 << mode
                            << etat << txBas;
    };
    row("journal 40", "NbJourStockJournal=40\r\n", "", 40, 30, 0, 0, 255);
    row("journal 41", "NbJourStockJournal=41\r\n", "", 0, 30, 0, 0, 255);
    row("journal -1", "NbJourStockJournal=-1\r\n", "", 0, 30, 0, 0, 255);
    row("journal 12abc", "NbJourStockJournal=12abc\r\n", "", 12, 30, 0, 0, 255);
    row("journal letters", "NbJourStockJournal=abc\r\n", "", 0, 30, 0, 0, 255);
    row("journal 39.5 to even", "NbJourStockJournal=39.5\r\n", "", 40, 30, 0, 0, 255);
    row("t1 100 gives 0", "TauxActiviteT1=100\r\n", "", 0, 0, 0, 0, 255);
    row("t1 99", "TauxActiviteT1=99\r\n", "", 0, 99, 0, 0, 255);
    row("t1 spaced", "TauxActiviteT1= 45 \r\n", "", 0, 45, 0, 0, 255);
    row("mode 2", "ModeLie=2\r\n", "", 0, 30, 2, 0, 255);
    row("mode 3", "ModeLie=3\r\n", "", 0, 30, 0, 0, 255);
    row("mode 01", "ModeLie=01\r\n", "", 0, 30, 0, 0, 255);
    row("mode 1a", "ModeLie=1a\r\n", "", 0, 30, 0, 0, 255);
    row("etat 1", "Etatinterdit=1\r\n", "", 0, 30, 0, 1, 255);
    row("etat hex", "Etatinterdit=&H2\r\n", "", 0, 30, 0, 2, 255);
    row("colour value", "", "CouleurTxBas=65280\r\n", 0, 30, 0, 0, 65280);
    row("colour leading", "", "CouleurTxBas= 12x\r\n", 0, 30, 0, 0, 12);
    row("colour negative", "", "CouleurTxBas=-1\r\n", 0, 30, 0, 0, -1);
}

void TestSupervisorSettings::option()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, frameLine);
    supervis(line, frameLine);
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
    QTEST(Parametres.NbJourStockJournal, "journal");
    QTEST(Parametres.TauxActiviteT1, "t1");
    QTEST(Parametres.ModeLie, "modeLie");
    QTEST(Parametres.Etatinterdit, "etat");
    QTEST(Parametres.CouleurTxBas, "txBas");
}

void TestSupervisorSettings::password_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("scrambled lower with spaces")
        << PasswordScrambler::Crypter(" abc ") << QStringLiteral("ABC");
    QTest::newRow("accented") << PasswordScrambler::Crypter("\xe9t\xe9")
                              << QStringLiteral("\u00c9T\u00c9");
    QTest::newRow("empty value gives 581362") << QByteArray() << QStringLiteral("581362");
    QTest::newRow("not scrambled")
        << QByteArray("plain") << QStringLiteral("IMPOSSIBLE DE D\u00c9CRYPTER");
}

void TestSupervisorSettings::password()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    supervis("mot_de_passe=" + stored + "\r\n");
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.MotDePasse, expected);
    QCOMPARE(Parametres.NouveauMotDePasse, expected);
}

void TestSupervisorSettings::language_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<int>>("files");
    QTest::addColumn<int>("langue");
    QTest::addColumn<int>("base");
    QTest::addColumn<bool>("failure");
    QTest::newRow("present") << QByteArray("2") << QList<int>{2} << 2 << 4000 << false;
    QTest::newRow("missing file") << QByteArray("5") << QList<int>{} << 0 << 0 << false;
    QTest::newRow("negative keeps") << QByteArray("-1") << QList<int>{} << 4 << 8000 << false;
    QTest::newRow("16 fits") << QByteArray("16") << QList<int>{16} << 16 << 32000 << false;
    QTest::newRow("17 does not fit") << QByteArray("17") << QList<int>{17} << 17 << 8000 << true;
    QTest::newRow("16-bit overflow") << QByteArray("70000") << QList<int>{} << 4 << 8000 << true;
}

void TestSupervisorSettings::language()
{
    QFETCH(QByteArray, value);
    QFETCH(QList<int>, files);
    QFETCH(bool, failure);
    for (int n : files)
        m_fx.addLanguageFile(n);
    Parametres.Langue = 4;
    LanguageBase = 8000;
    Parametres.TauxActiviteT1 = 11;
    supervis("langue=" + value + "\r\nTauxActiviteT1=50\r\n");
    SupervisorSettings::GetIniCouleurs();
    QTEST(Parametres.Langue, "langue");
    QTEST(int(LanguageBase), "base");
    QCOMPARE(UiRecorder::count(Kind::MessageBox), failure ? 1 : 0);
    QCOMPARE(Parametres.TauxActiviteT1, failure ? 11 : 50);
}

void TestSupervisorSettings::failureKeepsLaterFields_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("etat");
    QTest::addColumn<int>("cmt");
    QTest::newRow("etat empty") << QByteArray("Etatinterdit=\r\nCmtAuto=1\r\n") << QByteArray()
                                << QStringLiteral(" [GetIniCouleurs 13 Type mismatch]") << -7 << -7;
    QTest::newRow("cmt words") << QByteArray("Etatinterdit=1\r\nCmtAuto=oui\r\n") << QByteArray()
                               << QStringLiteral(" [GetIniCouleurs 13 Type mismatch]") << 1 << -7;
    QTest::newRow("colour overflow")
        << QByteArray("Etatinterdit=1\r\nCmtAuto=1\r\n") << QByteArray("CouleurTxBas=9e99\r\n")
        << QStringLiteral(" [GetIniCouleurs 6 Overflow]") << 1 << 1;
}

void TestSupervisorSettings::failureKeepsLaterFields()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, frame);
    QFETCH(QString, detail);
    Parametres.Etatinterdit = -7;
    Parametres.CmtAuto = -7;
    for (const CouleurDef& colour : Couleurs)
        Parametres.*colour.field = -7;
    supervis("NbJourStockJournal=5\r\n" + config, frame);
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.NbJourStockJournal, 5);
    QTEST(Parametres.Etatinterdit, "etat");
    QTEST(Parametres.CmtAuto, "cmt");
    for (const CouleurDef& colour : Couleurs)
        QCOMPARE(Parametres.*colour.field, -7);
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, Ui::Icon::Exclamation);
    QVERIFY2(boxes[0].text.endsWith(detail), qPrintable(boxes[0].text));
}

void TestSupervisorSettings::writeFormat()
{
    SupervisorSettings::GetIniCouleurs();
    Parametres.CouleurGrFile = -5;
    SupervisorSettings::SetIniCouleurs();
    const QByteArray written = SettingsFixture::read(file());
    const QByteArray stored = PasswordScrambler::Crypter("SUPER");
    const QByteArray expected = "[CONFIG]\r\nmot_de_passe=" + stored +
                                "\r\nNbJourStockJournal= 0\r\nTauxActiviteT1= 30\r\n"
                                "TauxActiviteT2= 70\r\nlangue= 0\r\nModeLie= 0\r\n"
                                "ModeLieApp=Wscript.exe Post_it.vbs\r\nEtatinterdit= 0\r\n"
                                "CmtAuto= 0\r\n[FRAME]\r\nCouleurTxBas= 255\r\n";
    QVERIFY2(written.startsWith(expected), written.constData());
    QVERIFY(written.contains("\r\nCouleurGrFile=-5\r\n"));
    QVERIFY(written.endsWith("CouleurGrServis= 65535\r\n"));
}

void TestSupervisorSettings::writeReadRoundTrip()
{
    const QByteArray original = "; shared by every supervisor station\r\n[CONFIG]\r\n"
                                "TauxActiviteT1=30\r\nunknown=keep me\r\n\r\n[FRAME]\r\n";
    SettingsFixture::write(file(), original);
    SupervisorSettings::GetIniCouleurs();
    Parametres.NouveauMotDePasse = QStringLiteral("NOUVEAU");
    Parametres.TauxActiviteT1 = 25;
    Parametres.ModeLie = 1;
    Parametres.ModeLieApp = QStringLiteral("cscript lien.vbs");
    Parametres.CouleurEtatSatu = 0x123456;
    SupervisorSettings::SetIniCouleurs();
    const QByteArray written = SettingsFixture::read(file());
    QVERIFY(written.startsWith("; shared by every supervisor station\r\n[CONFIG]\r\n"
                               "TauxActiviteT1= 25\r\nunknown=keep me\r\n"));

    ResetGlobals();
    Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.MotDePasse, QStringLiteral("NOUVEAU"));
    QCOMPARE(Parametres.TauxActiviteT1, 25);
    QCOMPARE(Parametres.ModeLie, 1);
    QCOMPARE(Parametres.ModeLieApp, QStringLiteral("cscript lien.vbs"));
    QCOMPARE(Parametres.CouleurEtatSatu, 0x123456);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

QTEST_GUILESS_MAIN(TestSupervisorSettings)
#include "tst_supervisorsettings.moc"
