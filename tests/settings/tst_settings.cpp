#include "AgentRights.h"
#include "Conversions.h"
#include "Folders.h"
#include "PasswordScrambler.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "SupervisorSettings.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace AgentsList;
using UiRecorder::Kind;
using Ints = QList<int>;

namespace {

const QByteArray CannotUnscramble("Impossible de d\xe9"
                                  "crypter");

// Columns 2 to 9 as one text, "X" or "." per cell; row() does the reverse.
QString cells(const Row& row)
{
    QString text;
    for (int c = ColChangeGroup; c <= ColRecordsComment; ++c)
        text += row.cells[c] == u"X" ? u'X' : u'.';
    return text;
}

Row row(const QString& number, const QString& pattern = {}, const QString& change = {})
{
    Row r = makeRow(number, QStringLiteral("Agent"));
    for (int i = 0; i < pattern.size(); ++i)
        r.cells[ColChangeGroup + i] = pattern[i] == u'X' ? QStringLiteral("X") : QString();
    r.cells[ColChangeState] = change;
    return r;
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString lastMessage()
{
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    return boxes.isEmpty() ? QStringLiteral("") : boxes.last().text;
}

} // namespace

// Each test has a program folder and a shared folder \\SRV\ZOR of its own, the
// recording UI and the globals as at program start.
class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void numbers_data();
    void numbers();
    void scrambling();
    void resolve_data();
    void resolve();
    void station_data();
    void station();
    void sharedFolder_data();
    void sharedFolder();
    void supervisorRead_data();
    void supervisorRead();
    void supervisorWrite();
    void rightsRead_data();
    void rightsRead();
    void rightsWrite_data();
    void rightsWrite();

private:
    QString path(const QString& relative) const { return m_dir->path() + u'/' + relative; }
    QString program(const QString& name) const { return path(QStringLiteral("program/") + name); }
    QString shared(const QString& name) const
    {
        return path(QStringLiteral("unc/SRV/ZOR/") + name);
    }
    QString supervis() const { return shared(QStringLiteral("supervis.ini")); }
    // Only the file's presence matters to the settings readers.
    void addLanguageFile(int number) const
    {
        write(program(QStringLiteral("Zor_Lg%1.txt").arg(number, 2, 10, QChar(u'0'))), "x");
    }
    bool loadStation(const QByteArray& station)
    {
        write(StationIniPath, station);
        return UiRecorder::endsProgram([] { StationSettings::LoadStationSettings(); });
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    for (const char* sub : {"program", "unc/SRV/ZOR", "appdata"})
        QDir(m_dir->path()).mkpath(QLatin1StringView(sub));
    Folders::setProgramFolder(path(QStringLiteral("program")));
    qputenv("ZOR_UNC_ROOT", path(QStringLiteral("unc")).toUtf8());
    ResetGlobals();
    UiRecorder::install();
    Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
    Parametres.ConfigDir = QStringLiteral("\\\\SRV\\ZOR\\");
    StationIniPath = path(QStringLiteral("zor.ini"));
}

// Val reads the leading number; strict needs the whole text to be one;
// rounding goes half to even, and -1 below stands for an overflow.
void TestSettings::numbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("val");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<int>("rounded16");
    QTest::addColumn<int>("rounded32");
    auto row = [](const char* name, QByteArray text, double val, bool numeric, int rounded16,
                  int rounded32) {
        QTest::newRow(name) << text << val << numeric << rounded16 << rounded32;
    };
    row("empty", "", 0, false, 0, 0);
    row("digits then letters", "12abc", 12, false, 12, 12);
    row("spaces around", " 30 ", 30, true, 30, 30);
    row("blanks inside", "1 2\t3", 123, false, 123, 123);
    row("tabs and line feeds before", "\t\n\t 42", 42, true, 42, 42);
    row("half to even", "2.5x", 2.5, false, 2, 2);
    row("half to even up", "-3.5", -3.5, true, -4, -4);
    row("exponents", "2D2", 200, true, 200, 200);
    row("hex 16-bit wraps", "&HFFFF", -1, true, -1, -1);
    row("hex 32-bit", "&H10000", 65536, true, -1, 65536);
    row("16-bit edge", "32767.5", 32767.5, true, -1, 32768);
    row("32-bit over", "3e9", 3e9, true, -1, -1);
    row("nul ends",
        QByteArray("4\0"
                   "5",
                   3),
        4, false, 4, 4);
}

void TestSettings::numbers()
{
    QFETCH(QByteArray, text);
    QFETCH(double, val);
    QCOMPARE(Conversions::Val(text), val);
    QTEST(Conversions::isNumeric(text), "numeric");
    auto rounded = [val](auto convert) {
        try {
            return int(convert(val));
        } catch (const Conversions::Failure& failure) {
            return failure.number == 6 ? -1 : -2;
        }
    };
    QTEST(rounded(Conversions::toInt16), "rounded16");
    QTEST(rounded(Conversions::toInt32), "rounded32");
}

void TestSettings::scrambling()
{
    using namespace PasswordScrambler;
    QCOMPARE(Crypter(""), QByteArray("YI4I/-Q"));
    QCOMPARE(Crypter("SUPER"), DefaultSupervisorPassword());
    QCOMPARE(Crypter("\x03"), QByteArray("Impossible de crypter"));
    QCOMPARE(Crypter(QByteArray(48, '0')), QByteArray("Impossible de crypter"));
    for (const char* plain : {"", "SUPER", "SUPERVISEUR581", "\xc9t\xe9"})
        QCOMPARE(Decrypter(Crypter(plain)), QByteArray(plain));
    QCOMPARE(Decrypter(""), QByteArray("581362"));
    for (const char* bad : {"motdepasse", "YI4", "\xff\xff\xff"})
        QCOMPARE(Decrypter(bad), CannotUnscramble);
    // Changed anywhere, a stored value never gives the password back; changed
    // in the pads, it is refused.
    const QByteArray stored = Crypter("SECRET");
    for (int i = 0; i < stored.size(); ++i) {
        QByteArray changed = stored;
        changed[i] = char(changed[i] + 1);
        QVERIFY(Decrypter(changed) != "SECRET");
        if (i < 5 || i >= stored.size() - 2)
            QCOMPARE(Decrypter(changed), CannotUnscramble);
    }
}

// ResolveIniFile(file, sub, source, base, create) as start-up meets it; the
// per-user file is base/ZorCFG/zor.ini.
void TestSettings::resolve_data()
{
    QTest::addColumn<QByteArray>("userFile");    // null: none
    QTest::addColumn<QByteArray>("programFile"); // null: none
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QByteArray>(
        "content"); // null: no file; the program folder's path if base fails
    const QString appData = QStringLiteral("appdata/Q.R.S/");
    QTest::newRow("existing kept")
        << QByteArray("x=1") << QByteArray("x=2") << appData << true << QByteArray("x=1");
    QTest::newRow("copied") << QByteArray() << QByteArray("[A]\r\n") << appData << true
                            << QByteArray("[A]\r\n");
    QTest::newRow("created") << QByteArray() << QByteArray() << appData << true
                             << QByteArray(" \r\n");
    QTest::newRow("not created") << QByteArray() << QByteArray() << appData << false
                                 << QByteArray();
    QTest::newRow("blank base") << QByteArray() << QByteArray() << QStringLiteral(" ") << true
                                << QByteArray("program");
    QTest::newRow("one level only")
        << QByteArray() << QByteArray() << QStringLiteral("missing/Q.R.S/") << true
        << QByteArray("program");
}

void TestSettings::resolve()
{
    QFETCH(QByteArray, userFile);
    QFETCH(QByteArray, programFile);
    QFETCH(QString, base);
    QFETCH(QByteArray, content);
    const QString source = path(QStringLiteral("program/"));
    const QString baseFolder = base.trimmed().isEmpty() ? base : path(base);
    const QString user = baseFolder + QStringLiteral("ZorCFG/zor.ini");
    if (!userFile.isNull()) {
        QDir().mkpath(baseFolder + QStringLiteral("ZorCFG"));
        write(user, userFile);
        QFile(user).setPermissions(QFileDevice::ReadOwner);
    }
    if (!programFile.isNull())
        write(source + QStringLiteral("zor.ini"), programFile);
    QFETCH(bool, create);
    const QString path = SettingsFolders::ResolveIniFile(
        QStringLiteral("zor.ini"), QStringLiteral("ZorCFG"), source, baseFolder, create);
    if (content == "program") {
        QCOMPARE(path, source + QStringLiteral("zor.ini"));
        return;
    }
    QCOMPARE(path, user);
    QCOMPARE(QFileInfo::exists(path), !content.isNull());
    QCOMPARE(read(path), content);
    QVERIFY(content.isNull() || QFileInfo(path).permissions() & QFileDevice::WriteOwner);
}

void TestSettings::station_data()
{
    QTest::addColumn<QByteArray>("station");
    QTest::addColumn<bool>("dialog"); // what the connection dialog answers
    QTest::addColumn<int>("langue");
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("help");
    auto row = [](const char* name, QByteArray station, bool dialog, int langue, int timeout,
                  int port, int boxes, const char* help = "Zor_Hp00.chm") {
        QTest::newRow(name) << station << dialog << langue << langue * 2000 << timeout << port
                            << boxes << QString::fromLatin1(help);
    };
    const QByteArray server = "[VOICE_SERVER]\r\nVS_addr=S\r\n";
    row("empty file: dialog gives the address", " \r\n", true, 0, 10, 32000, 1);
    row("address refused ends", " \r\n", false, 0, 0, 0, 1);
    row("language present", server + "[AGENT]\r\nLangue=2\r\n", true, 2, 10, 32000, 0,
        "Zor_Hp02.chm");
    // Zor_Hp03.chm is there: the help file follows the language's fallback.
    row("language missing", server + "[AGENT]\r\nLangue=3\r\n", true, 0, 10, 32000, 0);
    // zor_lg05.txt and zor_hp05.chm: names in another case are the same files.
    row("language file in lower case", server + "[AGENT]\r\nLangue=5\r\n", true, 5, 10, 32000, 0,
        "zor_hp05.chm");
    row("explicit", server + "Recv_timeout=5\r\n[CONFIG]\r\nTCP_port=4000\r\n", true, 0, 5, 4000,
        0);
    row("timeout not numeric", server + "Recv_timeout=abc\r\n", true, 0, 0, 32000, 0);
    row("timeout converted strictly", server + "Recv_timeout=5x\r\n", true, 0, 0, 32000, 0);
    row("port above 16 bits", server + "[CONFIG]\r\nTCP_port=40000\r\n", true, 0, 10, 0, 1);
    row("VS_port not numeric", server + "VS_port=abc\r\n", true, 0, 10, 32000, 1);
}

void TestSettings::station()
{
    QFETCH(QByteArray, station);
    QFETCH(bool, dialog);
    QFETCH(QString, help);
    Parametres.ConfigPath.clear();
    Parametres.ConfigDir.clear();
    addLanguageFile(2);
    write(program(QStringLiteral("zor_lg05.txt")), "x");
    for (const char* name : {"Zor_Hp02.chm", "Zor_Hp03.chm", "zor_hp05.chm"})
        write(program(QString::fromLatin1(name)), "");
    UiRecorder::setDialogHandler([dialog](UiServices::Dialog) {
        Parametres.VS_addr = QStringLiteral("FROMDIALOG");
        return dialog;
    });
    QCOMPARE(loadStation(station), !dialog);
    QTEST(Parametres.Langue, "langue");
    QTEST(int(LanguageBase), "base");
    QTEST(int(RecvTimeout), "timeout");
    QTEST(int(Parametres.TcpPort), "port");
    QTEST(int(UiRecorder::count(Kind::MessageBox)), "boxes");
    if (!dialog) {
        QCOMPARE(UiRecorder::calls().last().kind, Kind::End);
        return;
    }
    QCOMPARE(Parametres.Poste, QStringLiteral("0000"));
    QCOMPARE(HelpFile, program(help));
    QVERIFY(Parametres.ConfigDir.isEmpty());
    write(StationIniPath, "; station\r\n[VOICE_SERVER]\r\nVS_addr=OLD\r\nx=1\r\n");
    StationSettings::SaveServerAddress();
    QCOMPARE(read(StationIniPath), "; station\r\n[VOICE_SERVER]\r\nVS_addr=" +
                                       Parametres.VS_addr.toLatin1() + "\r\nx=1\r\n");
}

void TestSettings::sharedFolder_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("model"); // the model file's name in the program folder, or none
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("files"); // agent files there afterwards, agent007.ini of SRV1 included
    QTest::addColumn<QString>("failure");
    const QString model = QStringLiteral("model.ini");
    QTest::newRow("prepared") << QByteArray() << model << QStringLiteral("SRV1") << 32 << QString();
    QTest::newRow("model named in another case")
        << QByteArray() << QStringLiteral("Model.INI") << QStringLiteral("SRV1") << 32 << QString();
    QTest::newRow("PATH_config wins")
        << QByteArray("PATH_config=SRV\r\n") << model << QStringLiteral("SRV") << 32 << QString();
    QTest::newRow("PATH_config empty")
        << QByteArray("PATH_config=\r\n") << model << QStringLiteral("SRV1") << 32 << QString();
    QTest::newRow("no model, no copy")
        << QByteArray() << QString() << QStringLiteral("SRV1") << 1 << QString();
    QTest::newRow("unreachable") << QByteArray("PATH_config=NOWHERE\r\n") << model
                                 << QStringLiteral("NOWHERE") << 0
                                 << QStringLiteral(" agent001.ini 76 Path not found]");
}

void TestSettings::sharedFolder()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, folder);
    QFETCH(QString, failure);
    QFETCH(QString, model);
    if (!model.isEmpty())
        write(program(model), "[SUPER]\r\nDroit_Stat=0\r\n");
    QDir().mkpath(path(QStringLiteral("unc/SRV1/ZOR")));
    const QString kept = path(QStringLiteral("unc/SRV1/ZOR/agent007.ini"));
    write(kept, "mine");
    QCOMPARE(loadStation("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n[CONFIG]\r\nServer_Tcp=0\r\n" + config),
             !failure.isEmpty());
    QCOMPARE(Parametres.ConfigPath, QStringLiteral("\\\\") + folder + QStringLiteral("\\ZOR"));
    QCOMPARE(Parametres.ConfigDir, Parametres.ConfigPath + u'\\');
    QCOMPARE(Parametres.TcpPort, qint16(0));
    const QDir shared(path(QStringLiteral("unc/") + folder + QStringLiteral("/ZOR")));
    QTEST(int(shared.entryList({QStringLiteral("agent0??.ini")}, QDir::Files).size()), "files");
    QCOMPARE(read(kept), QByteArray("mine"));
    QVERIFY(lastMessage().endsWith(failure));
    if (!model.isEmpty() && failure.isEmpty())
        QCOMPARE(read(shared.filePath(QStringLiteral("agent001.ini"))),
                 QByteArray("[SUPER]\r\nDroit_Stat=0\r\n"));
}

// Each row: the CONFIG and FRAME lines of supervis.ini and what is read from
// them, one column per field. Every field holds -7 before (Langue 4,
// LanguageBase 8000), so a field that a failure leaves alone shows -7.
static const char* const SupervisorFields[] = {
    "Langue",         "LanguageBase",   "NbJourStockJournal",
    "TauxActiviteT1", "TauxActiviteT2", "ModeLie",
    "Etatinterdit",   "CmtAuto",        "CouleurTxBas"};

void TestSettings::supervisorRead_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("password");
    for (const char* field : SupervisorFields)
        QTest::addColumn<int>(field);
    QTest::addColumn<QString>("failure");
    auto row = [](const char* name, QByteArray config, QByteArray frame, const char* password,
                  Ints expected, const char* failure = "") {
        QTestData& data = QTest::newRow(name) << config << frame << QString::fromUtf8(password);
        for (int value : expected)
            data << value;
        data << QString::fromLatin1(failure);
    };
    const Ints defaults{0, 0, 0, 30, 70, 0, 0, 0, 255};
    row("no file", {}, {}, "SUPER", defaults);
    row("ranges", "NbJourStockJournal=40\r\nTauxActiviteT1=100\r\nTauxActiviteT2=-1\r\n", {},
        "SUPER", {0, 0, 40, 0, 0, 0, 0, 0, 255});
    row("upper bounds", "TauxActiviteT1=99\r\nTauxActiviteT2=100\r\n", {}, "SUPER",
        {0, 0, 0, 99, 0, 0, 0, 0, 255});
    row("T2 at its bound", "TauxActiviteT2=99\r\n", {}, "SUPER", {0, 0, 0, 30, 99, 0, 0, 0, 255});
    row("leading numbers", "NbJourStockJournal=12abc\r\nTauxActiviteT1=39.5\r\n",
        "CouleurTxBas= 12x\r\n", "SUPER", {0, 0, 12, 40, 70, 0, 0, 0, 12});
    row("mode 2, switches",
        "ModeLie=2\r\nEtatinterdit=1\r\nCmtAuto=&H1\r\nNbJourStockJournal=41\r\n", {}, "SUPER",
        {0, 0, 0, 30, 70, 2, 1, 1, 255});
    row("mode 1", "ModeLie=1\r\n", {}, "SUPER", {0, 0, 0, 30, 70, 1, 0, 0, 255});
    row("mode 3", "ModeLie=3\r\n", {}, "SUPER", defaults);
    row("mode 01", "ModeLie=01\r\n", {}, "SUPER", defaults);
    row("mode 1x", "ModeLie=1x\r\n", {}, "SUPER", defaults);
    row("password lower with spaces",
        "mot_de_passe=" + PasswordScrambler::Crypter(" \xe9t\xe9 ") + "\r\n", {}, "\u00c9T\u00c9",
        defaults);
    // Only spaces go: a tab or a no-break space is part of the password.
    row("password with a tab", "mot_de_passe=" + PasswordScrambler::Crypter(" \tab ") + "\r\n", {},
        "\tAB", defaults);
    row("password with no-break spaces",
        "mot_de_passe=" +
            PasswordScrambler::Crypter("\xa0"
                                       "ab\xa0") +
            "\r\n",
        {}, "\u00a0AB\u00a0", defaults);
    // Upper case within the code page, one character for one.
    row("password sharp s, micro, y diaeresis",
        "mot_de_passe=" + PasswordScrambler::Crypter("\xdf\xb5\xff\xe9") + "\r\n", {},
        "\u00df\u00b5\u0178\u00c9", defaults);
    row("password empty", "mot_de_passe=\r\n", {}, "581362", defaults);
    row("password not scrambled", "mot_de_passe=plain\r\n", {}, "IMPOSSIBLE DE D\u00c9CRYPTER",
        defaults);
    row("langue 2 present", "langue=2\r\n", {}, "SUPER", {2, 4000, 0, 30, 70, 0, 0, 0, 255});
    row("langue -1 keeps", "langue=-1\r\n", {}, "SUPER", {4, 8000, 0, 30, 70, 0, 0, 0, 255});
    row("langue 17 fails", "langue=17\r\n", {}, "SUPER", {17, 8000, -7, -7, -7, -7, -7, -7, -7},
        " [GetIniCouleurs 6 Overflow]");
    row("etat empty fails", "NbJourStockJournal=5\r\nEtatinterdit=\r\nCmtAuto=1\r\n", {}, "SUPER",
        {0, 0, 5, 30, 70, 0, -7, -7, -7}, " [GetIniCouleurs 13 Type mismatch]");
    row("colour overflow", "CmtAuto=1\r\n", "CouleurTxBas=9e99\r\n", "SUPER",
        {0, 0, 0, 30, 70, 0, 0, 1, -7}, " [GetIniCouleurs 6 Overflow]");
}

void TestSettings::supervisorRead()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, frame);
    QFETCH(QString, failure);
    for (int n : {2, 17})
        addLanguageFile(n);
    SettingsRecord& p = Parametres;
    for (qint32* field : {&p.NbJourStockJournal, &p.TauxActiviteT1, &p.TauxActiviteT2, &p.ModeLie,
                          &p.Etatinterdit, &p.CmtAuto})
        *field = -7;
    for (const ColourDef& colour : ColourTable)
        p.*colour.field = -7;
    p.Langue = 4;
    LanguageBase = 8000;
    if (!config.isNull() || !frame.isNull())
        write(supervis(), "[CONFIG]\r\n" + config + "[FRAME]\r\n" + frame);
    SupervisorSettings::GetIniCouleurs();
    QTEST(p.MotDePasse, "password");
    QCOMPARE(p.NouveauMotDePasse, p.MotDePasse);
    QTEST(p.Langue, "Langue");
    QTEST(int(LanguageBase), "LanguageBase");
    QTEST(p.NbJourStockJournal, "NbJourStockJournal");
    QTEST(p.TauxActiviteT1, "TauxActiviteT1");
    QTEST(p.TauxActiviteT2, "TauxActiviteT2");
    QTEST(p.ModeLie, "ModeLie");
    QTEST(p.Etatinterdit, "Etatinterdit");
    QTEST(p.CmtAuto, "CmtAuto");
    QTEST(p.CouleurTxBas, "CouleurTxBas");
    QCOMPARE(UiRecorder::count(Kind::MessageBox), failure.isEmpty() ? 0 : 1);
    QVERIFY(lastMessage().endsWith(failure));
    if (failure.isEmpty()) {
        QCOMPARE(p.ModeLieApp, QStringLiteral("Wscript.exe Post_it.vbs"));
        QCOMPARE(p.CouleurGrFile, 16777215);
    }
}

// Numbers go out with a space before them (a minus sign when negative), lines
// in the file are replaced in place and the rest stays byte for byte; read
// back, the same settings come out.
void TestSettings::supervisorWrite()
{
    write(supervis(), "; shared\r\n[CONFIG]\r\nTauxActiviteT1=30\r\nother=keep\r\n"
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
    const QByteArray written = read(supervis());
    QVERIFY2(written.startsWith(expected), written.constData());
    QVERIFY(written.contains("\r\nCouleurGrFile=-5\r\n"));
    QVERIFY(written.endsWith("CouleurGrServis= 65535\r\n"));
    ResetGlobals();
    Parametres.ConfigPath = QStringLiteral("\\\\SRV\\ZOR");
    SupervisorSettings::GetIniCouleurs();
    QCOMPARE(Parametres.MotDePasse, QStringLiteral("NOUVEAU"));
    QCOMPARE(Parametres.ModeLieApp, QStringLiteral("cscript lien.vbs"));
    QCOMPARE(Parametres.TauxActiviteT1, 25);
    QCOMPARE(Parametres.CouleurGrFile, -5);
}

// The same rights file read as the model (ModelRights) and as agent 5's file
// (the row's cells). A missing key reads as "1"; only "1" grants.
void TestSettings::rightsRead_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("expected");   // columns 2..9
    QTest::newRow("no file") << QByteArray() << QStringLiteral("XXXXXX.X");
    QTest::newRow("fiche 2") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=2\r\n")
                             << QStringLiteral("XXXXXXXX");
    QTest::newRow("fiche other, 0, 2, yes, empty")
        << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=x\r\nDroit_Stat=0\r\nDroit_Qualif=2\r\n"
                      "Droit_Preference=yes\r\nDroit_ListeAppel=\r\n")
        << QStringLiteral("X.X.....");
    QTest::newRow("names without case")
        << QByteArray("[super]\r\ndroit_modif_group=0\r\n") << QStringLiteral(".XXXXX.X");
}

void TestSettings::rightsRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    if (!content.isNull()) {
        write(program(QStringLiteral("MODEL.INI")), content);
        write(shared(QStringLiteral("agent005.ini")), content);
    }
    AgentRights::GetModel_Ini();
    const ModelRightsRecord& m = Parametres.ModelRights;
    QString model;
    for (quint8 right : {m.Droit_Modif_Group, m.Droit_Preference, m.Droit_Modif_MotDePasse,
                         m.Droit_Qualif, m.Droit_Stat, m.Droit_ListeAppel})
        model += right ? u'X' : u'.';
    model += m.Droit_Modif_Fiche == 2 ? u'X' : u'.';
    model += m.Droit_Modif_Fiche >= 1 ? u'X' : u'.';
    QCOMPARE(model, expected);
    // A failing row stops the loop: the rows after it keep their empty cells.
    Rows rows{row(QStringLiteral("5"), {}, QStringLiteral("3")), row(QStringLiteral("abc")),
              row(QStringLiteral("5"))};
    AgentRights::GetAgentxx_Ini(rows);
    QCOMPARE(cells(rows[0]), expected);
    QCOMPARE(cells(rows[1]), QString(8, u'.'));
    QCOMPARE(cells(rows[2]), QString(8, u'.'));
    QVERIFY(rows[0].cells[ColChangeState].isEmpty());
    QVERIFY(lastMessage().endsWith(QStringLiteral(" [GetAgentxx_Ini 13 Type mismatch]")));
}

void TestSettings::rightsWrite_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("expected");
    // Stat is already in the file, so it stays first; the others follow it.
    auto file = [](char stat, QByteArray rights, const char* password) {
        const char* keys[] = {"Droit_Modif_Group", "Droit_Preference", "Droit_Modif_MotDePasse",
                              "Droit_Qualif",      "Droit_ListeAppel", "Droit_Modif_Fiche"};
        QByteArray text = "[SUPER]\r\nDroit_Stat=" + QByteArray(1, stat) + "\r\n";
        for (int i = 0; i < rights.size(); ++i)
            text += keys[i] + QByteArray("=") + rights[i] + "\r\n";
        return text + "[CONFIG]\r\nmot_de_passe=" + password + "\r\n";
    };
    QTest::newRow("unchanged") << "12"
                               << "XXXXXXXX"
                               << "" << false << file('1', {}, "abc");
    QTest::newRow("password only") << "12"
                                   << "XXXXXXXX"
                                   << "2" << false << file('1', {}, "");
    QTest::newRow("fiche from column 8") << "12"
                                         << "X.X.X.X."
                                         << "1" << true << file('1', "101002", "abc");
    QTest::newRow("comment only, both") << "12"
                                        << ".......X"
                                        << "3" << true << file('0', "000001", "");
    QTest::newRow("clear without a file")
        << "1234"
        << ""
        << "2" << false << QByteArray("[CONFIG]\r\nmot_de_passe=\r\n");
}

void TestSettings::rightsWrite()
{
    QFETCH(QString, number);
    QFETCH(QString, pattern);
    QFETCH(QString, change);
    write(shared(QStringLiteral("agent012.ini")),
          "[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
    Rows rows{row(number, pattern, change), row(QStringLiteral("7"), QStringLiteral("XX"))};
    QTEST(AgentRights::SetAgentxx_Ini(rows), "result");
    QTEST(read(shared(AgentRights::AgentFileName(number.toInt()))), "expected");
    QCOMPARE(rows[0].cells[ColChangeState], change);
    QVERIFY(!QFile::exists(shared(QStringLiteral("agent007.ini"))));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
