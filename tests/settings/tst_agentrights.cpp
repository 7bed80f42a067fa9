#include "AgentRights.h"
#include "SettingsFixture.h"

#include <QTest>

using namespace AgentsList;
using UiRecorder::Kind;

namespace {

// Columns 2 to 9 as one text, "X" or "." per cell.
QString cells(const Row& row)
{
    QString text;
    for (int c = ColModifGroup; c <= ColFicheComment; ++c)
        text += row.cells[c] == QStringLiteral("X") ? u'X' : u'.';
    return text;
}

Row rowFromCells(const QString& number, const QString& pattern, const QString& change)
{
    Row row = makeRow(number, QStringLiteral("Agent ") + number);
    for (int i = 0; i < pattern.size(); ++i)
        row.cells[ColModifGroup + i] = pattern[i] == u'X' ? QStringLiteral("X") : QString();
    row.cells[ColChange] = change;
    return row;
}

} // namespace

class TestAgentRights : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fx.setUp(); }
    void model_data();
    void model();
    void fetch_data();
    void fetch();
    void fetchFailureStopsTheLoop();
    void store_data();
    void store();
    void storeBothKinds();
    void fileNames_data();
    void fileNames();

private:
    SettingsFixture m_fx;
};

void TestAgentRights::model_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<int>>("expected"); // group fiche pref mdp qualif stat liste
    QTest::newRow("missing: all granted, comment only")
        << QString() << QByteArray() << QList<int>{1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("values") << QStringLiteral("model.ini")
                            << QByteArray(
                                   "[SUPER]\r\nDroit_Modif_Group=0\r\nDroit_Modif_Fiche=2\r\n"
                                   "Droit_Stat=yes\r\nDroit_Qualif=\r\n")
                            << QList<int>{0, 2, 1, 1, 0, 0, 1};
    QTest::newRow("upper-case name") << QStringLiteral("MODEL.INI")
                                     << QByteArray("[super]\r\ndroit_listeappel=0\r\n"
                                                   "Droit_Modif_Fiche=7\r\n")
                                     << QList<int>{1, 0, 1, 1, 1, 1, 0};
}

void TestAgentRights::model()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QList<int>, expected);
    if (!fileName.isEmpty())
        SettingsFixture::write(m_fx.program(fileName), content);
    AgentRights::GetModel_Ini();
    const DroitsModele& m = Parametres.ModelRights;
    const QList<int> actual{m.Droit_Modif_Group,      m.Droit_Modif_Fiche, m.Droit_Preference,
                            m.Droit_Modif_MotDePasse, m.Droit_Qualif,      m.Droit_Stat,
                            m.Droit_ListeAppel};
    QCOMPARE(actual, expected);
}

void TestAgentRights::fetch_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no file") << QByteArray() << QStringLiteral("XXXXXX.X");
    QTest::newRow("fiche 2") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=2\r\n")
                             << QStringLiteral("XXXXXXXX");
    QTest::newRow("fiche 0") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=0\r\n")
                             << QStringLiteral("XXXXXX..");
    QTest::newRow("fiche other") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=x\r\n")
                                 << QStringLiteral("XXXXXX..");
    QTest::newRow("stat 0") << QByteArray("[SUPER]\r\nDroit_Stat=0\r\n")
                            << QStringLiteral("XXXX.X.X");
    QTest::newRow("stat 2") << QByteArray("[SUPER]\r\nDroit_Stat=2\r\n")
                            << QStringLiteral("XXXX.X.X");
    QTest::newRow("stat yes") << QByteArray("[SUPER]\r\nDroit_Stat=yes\r\n")
                              << QStringLiteral("XXXX.X.X");
    QTest::newRow("stat empty") << QByteArray("[SUPER]\r\nDroit_Stat=\r\n")
                                << QStringLiteral("XXXX.X.X");
    QTest::newRow("all refused")
        << QByteArray("[SUPER]\r\nDroit_Modif_Group=0\r\nDroit_Preference=0\r\n"
                      "Droit_Modif_MotDePasse=0\r\nDroit_Qualif=0\r\nDroit_Stat=0\r\n"
                      "Droit_ListeAppel=0\r\nDroit_Modif_Fiche=0\r\n")
        << QStringLiteral("........");
}

void TestAgentRights::fetch()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    if (!content.isEmpty())
        SettingsFixture::write(m_fx.shared(QStringLiteral("agent005.ini")), content);
    Rows rows{makeRow(QStringLiteral("5"), QStringLiteral("Cinq"))};
    rows[0].cells[ColChange] = QStringLiteral("3");
    AgentRights::GetAgentxx_Ini(rows);
    QCOMPARE(cells(rows[0]), expected);
    QVERIFY(rows[0].cells[ColChange].isEmpty());
    QCOMPARE(rows[0].cells[ColName], QStringLiteral("Cinq"));
}

void TestAgentRights::fetchFailureStopsTheLoop()
{
    Rows rows{makeRow(QStringLiteral("1"), {}), makeRow(QStringLiteral("abc"), {}),
              makeRow(QStringLiteral("3"), {})};
    AgentRights::GetAgentxx_Ini(rows);
    QCOMPARE(cells(rows[0]), QStringLiteral("XXXXXX.X"));
    QCOMPARE(cells(rows[1]), QStringLiteral("........"));
    QCOMPARE(cells(rows[2]), QStringLiteral("........"));
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.endsWith(QStringLiteral(" [GetAgentxx_Ini 13 Type mismatch]")),
             qPrintable(boxes[0].text));
}

void TestAgentRights::store_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray before = "[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=abc\r\n";
    QTest::newRow("unchanged") << QStringLiteral("........") << QString() << false << before;
    QTest::newRow("password only")
        << QStringLiteral("........") << QStringLiteral("2") << false
        << QByteArray("[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=\r\n");
    QTest::newRow("rights, fiche from column 8")
        << QStringLiteral("X.X.X.X.") << QStringLiteral("1") << true
        << QByteArray("[SUPER]\r\nDroit_Stat=1\r\nDroit_Modif_Group=1\r\nDroit_Preference=0\r\n"
                      "Droit_Modif_MotDePasse=1\r\nDroit_Qualif=0\r\nDroit_ListeAppel=0\r\n"
                      "Droit_Modif_Fiche=2\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
    QTest::newRow("comment only, both")
        << QStringLiteral(".......X") << QStringLiteral("3") << true
        << QByteArray("[SUPER]\r\nDroit_Stat=0\r\nDroit_Modif_Group=0\r\nDroit_Preference=0\r\n"
                      "Droit_Modif_MotDePasse=0\r\nDroit_Qualif=0\r\nDroit_ListeAppel=0\r\n"
                      "Droit_Modif_Fiche=1\r\n[CONFIG]\r\nmot_de_passe=\r\n");
    QTest::newRow("none")
        << QStringLiteral("........") << QStringLiteral("1") << true
        << QByteArray("[SUPER]\r\nDroit_Stat=0\r\nDroit_Modif_Group=0\r\nDroit_Preference=0\r\n"
                      "Droit_Modif_MotDePasse=0\r\nDroit_Qualif=0\r\nDroit_ListeAppel=0\r\n"
                      "Droit_Modif_Fiche=0\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
}

void TestAgentRights::store()
{
    QFETCH(QString, pattern);
    QFETCH(QString, change);
    QFETCH(bool, result);
    QFETCH(QByteArray, expected);
    const QString path = m_fx.shared(QStringLiteral("agent012.ini"));
    SettingsFixture::write(path, "[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
    Rows rows{rowFromCells(QStringLiteral("12"), pattern, change)};
    QCOMPARE(AgentRights::SetAgentxx_Ini(rows), result);
    QCOMPARE(SettingsFixture::read(path), expected);
    QCOMPARE(rows[0].cells[ColChange], change);
}

// A password clear on an agent without a file creates one holding only the
// password key; its rights then read as granted.
void TestAgentRights::storeBothKinds()
{
    Rows rows{rowFromCells(QStringLiteral("1234"), QStringLiteral("........"), QStringLiteral("2")),
              rowFromCells(QStringLiteral("7"), QStringLiteral("XXXXXXXX"), QString())};
    QVERIFY(!AgentRights::SetAgentxx_Ini(rows));
    QCOMPARE(SettingsFixture::read(m_fx.shared(QStringLiteral("agent1234.ini"))),
             QByteArray("[CONFIG]\r\nmot_de_passe=\r\n"));
    QVERIFY(!QFile::exists(m_fx.shared(QStringLiteral("agent007.ini"))));
    Rows again{makeRow(QStringLiteral("1234"), {})};
    AgentRights::GetAgentxx_Ini(again);
    QCOMPARE(cells(again[0]), QStringLiteral("XXXXXX.X"));
}

void TestAgentRights::fileNames_data()
{
    QTest::addColumn<int>("agent");
    QTest::addColumn<QString>("name");
    QTest::newRow("5") << 5 << QStringLiteral("agent005.ini");
    QTest::newRow("12") << 12 << QStringLiteral("agent012.ini");
    QTest::newRow("123") << 123 << QStringLiteral("agent123.ini");
    QTest::newRow("1234") << 1234 << QStringLiteral("agent1234.ini");
}

void TestAgentRights::fileNames()
{
    QFETCH(int, agent);
    QFETCH(QString, name);
    QCOMPARE(AgentRights::AgentFileName(agent), name);
}

QTEST_GUILESS_MAIN(TestAgentRights)
#include "tst_agentrights.moc"
