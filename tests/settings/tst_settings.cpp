#include "AgentRights.h"
#include "Conversions.h"
#include "Folders.h"
#include "Languages.h"
#include "PasswordScrambler.h"
#include "SettingsFolders.h"
#include "StationSettings.h"
#include "SupervisorSettings.h"
#include "TestFiles.h"
#include "UiRecorder.h"
#include "Variables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace AgentsList;
using namespace Qt::StringLiterals;
using UiRecorder::Kind;
using Ints = QList<int>;
using TestFiles::read;
using TestFiles::write;

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
    Row r = makeRow(number, u"Agent"_s);
    for (int i = 0; i < pattern.size(); ++i)
        r.cells[ColChangeGroup + i] = pattern[i] == u'X' ? u"X"_s : QString();
    r.cells[ColChangeState] = change;
    return r;
}

QString lastMessage()
{
    const auto boxes = UiRecorder::callsOf(Kind::MessageBox);
    return boxes.isEmpty() ? u""_s : boxes.last().text;
}

// Each row of supervisorRead reads these fields.
const char* const SupervisorFields[] = {"Langue",         "LanguageBase",   "NbJourStockJournal",
                                        "TauxActiviteT1", "TauxActiviteT2", "ModeLie",
                                        "Etatinterdit",   "CmtAuto",        "CouleurTxBas"};

} // namespace

// Each test has a program folder and a shared folder \\SRV\ZOR of its own, the
// recording UI and the globals as at program start.
class TestSettings : public QObject
{
    Q_OBJECT

private:
    QString path(const QString& relative) const { return m_dir->path() + u'/' + relative; }
    QString program(const QString& name) const { return path(u"program/"_s + name); }
    QString shared(const QString& name) const { return path(u"unc/SRV/ZOR/"_s + name); }
    QString supervis() const { return shared(u"supervis.ini"_s); }
    // Only the file's presence matters to the settings readers.
    void addLanguageFile(int number) const
    {
        write(program(u"Zor_Lg%1.txt"_s.arg(number, 2, 10, QChar(u'0'))), "x");
    }
    bool loadStation(const QByteArray& station)
    {
        write(StationIniPath, station);
        return UiRecorder::endsProgram([] { StationSettings::LoadStationSettings(); });
    }
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* sub : {"program", "unc/SRV/ZOR", "appdata"})
            QDir(m_dir->path()).mkpath(QLatin1StringView(sub));
        Folders::setProgramFolder(path(u"program"_s));
        qputenv("ZOR_UNC_ROOT", path(u"unc"_s).toUtf8());
        ResetGlobals();
        // The texts of the messages are French, language 0's.
        QFile::copy(QStringLiteral(ZOR_PROGRAM_DIR "/Zor_Lg00.txt"), program(u"Zor_Lg00.txt"_s));
        Languages::LoadLanguageFile();
        UiRecorder::install();
        Parametres.ConfigPath = u"\\\\SRV\\ZOR"_s;
        Parametres.ConfigDir = u"\\\\SRV\\ZOR\\"_s;
        StationIniPath = path(u"zor.ini"_s);
    }

    // Val reads the leading number; strict needs the whole text to be one;
    // rounding goes half to even, and -1 below stands for an overflow.
    void numbers_data()
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
        row("nul ends", QByteArray("4\0005", 3), 4, false, 4, 4);
    }

    void numbers()
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

    void scrambling()
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
    void resolve_data()
    {
        QTest::addColumn<QByteArray>("userFile");    // null: none
        QTest::addColumn<QByteArray>("programFile"); // null: none
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("create");
        QTest::addColumn<QByteArray>(
            "content"); // null: no file; the program folder's path if base fails
        auto row = [](const char* name, const QByteArray& userFile, const QByteArray& programFile,
                      const QString& base, bool create, const QByteArray& content) {
            QTest::newRow(name) << userFile << programFile << base << create << content;
        };
        const QString appData = u"appdata/Q.R.S/"_s;
        row("existing kept", "x=1", "x=2", appData, true, "x=1");
        row("copied", {}, "[A]\r\n", appData, true, "[A]\r\n");
        row("created", {}, {}, appData, true, " \r\n");
        row("not created", {}, {}, appData, false, {});
        row("blank base", {}, {}, u" "_s, true, "program");
        row("one level only", {}, {}, u"missing/Q.R.S/"_s, true, "program");
    }

    void resolve()
    {
        QFETCH(QByteArray, userFile);
        QFETCH(QByteArray, programFile);
        QFETCH(QString, base);
        QFETCH(QByteArray, content);
        const QString source = path(u"program/"_s);
        const QString baseFolder = base.trimmed().isEmpty() ? base : path(base);
        const QString user = baseFolder + u"ZorCFG/zor.ini"_s;
        if (!userFile.isNull()) {
            QDir().mkpath(baseFolder + u"ZorCFG"_s);
            write(user, userFile);
            QFile(user).setPermissions(QFileDevice::ReadOwner);
        }
        if (!programFile.isNull())
            write(source + u"zor.ini"_s, programFile);
        QFETCH(bool, create);
        const QString path =
            SettingsFolders::ResolveIniFile(u"zor.ini"_s, u"ZorCFG"_s, source, baseFolder, create);
        if (content == "program") {
            QCOMPARE(path, source + u"zor.ini"_s);
            return;
        }
        QCOMPARE(path, user);
        QCOMPARE(QFileInfo::exists(path), !content.isNull());
        QCOMPARE(read(path), content);
        QVERIFY(content.isNull() || QFileInfo(path).permissions() & QFileDevice::WriteOwner);
    }

    void station_data()
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
        row("language file in lower case", server + "[AGENT]\r\nLangue=5\r\n", true, 5, 10, 32000,
            0, "zor_hp05.chm");
        row("explicit", server + "Recv_timeout=5\r\n[CONFIG]\r\nTCP_port=4000\r\n", true, 0, 5,
            4000, 0);
        row("timeout not numeric", server + "Recv_timeout=abc\r\n", true, 0, 0, 32000, 0);
        row("timeout converted strictly", server + "Recv_timeout=5x\r\n", true, 0, 0, 32000, 0);
        row("VS_port not numeric", server + "VS_port=abc\r\n", true, 0, 10, 32000, 1);
    }

    void station()
    {
        QFETCH(QByteArray, station);
        QFETCH(bool, dialog);
        QFETCH(QString, help);
        Parametres.ConfigPath.clear();
        Parametres.ConfigDir.clear();
        addLanguageFile(2);
        write(program(u"zor_lg05.txt"_s), "x");
        for (const char* name : {"Zor_Hp02.chm", "Zor_Hp03.chm", "zor_hp05.chm"})
            write(program(QString::fromLatin1(name)), "");
        UiRecorder::setDialogHandler([dialog](UiServices::Dialog) {
            Parametres.VS_addr = u"FROMDIALOG"_s;
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
        QCOMPARE(Parametres.Poste, u"0000"_s);
        QCOMPARE(HelpFile, program(help));
        QVERIFY(Parametres.ConfigDir.isEmpty());
        write(StationIniPath, "; station\r\n[VOICE_SERVER]\r\nVS_addr=OLD\r\nx=1\r\n");
        StationSettings::SaveServerAddress();
        QCOMPARE(read(StationIniPath), "; station\r\n[VOICE_SERVER]\r\nVS_addr=" +
                                           Parametres.VS_addr.toLatin1() + "\r\nx=1\r\n");
    }

    // Server_Tcp=0, or a TCP_port that leaves TcpPort 0 (said, with the
    // folder): the shared folder is prepared.
    void sharedFolder_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("model"); // the model file's name in the program folder, or none
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>(
            "files"); // agent files there afterwards, agent007.ini of SRV1 included
        QTest::addColumn<QString>("message"); // the end of the last message
        QTest::addColumn<bool>("ends");
        auto row = [](const char* name, const QByteArray& config, const QString& model,
                      const QString& folder, int files, const QString& message = {},
                      bool ends = false) {
            QTest::newRow(name) << config << model << folder << files << message << ends;
        };
        const QString model = u"model.ini"_s;
        row("prepared", {}, model, u"SRV1"_s, 32);
        row("model named in another case", {}, u"Model.INI"_s, u"SRV1"_s, 32);
        row("PATH_config wins", "PATH_config=SRV\r\n", model, u"SRV"_s, 32);
        row("PATH_config empty", "PATH_config=\r\n", model, u"SRV1"_s, 32);
        row("no model, no copy", {}, {}, u"SRV1"_s, 1);
        row("unreachable", "PATH_config=NOWHERE\r\n", model, u"NOWHERE"_s, 0,
            u" agent001.ini 76 Chemin d'acc\u00e8s introuvable]"_s, true);
        row("TCP_port above 16 bits", "Server_Tcp=1\r\nTCP_port=40000\r\n", model, u"SRV1"_s, 32,
            u"partag\u00e9 \\\\SRV1\\ZOR."_s);
        row("TCP_port 0", "Server_Tcp=1\r\nTCP_port=0\r\nPATH_config=SRV\r\n", model, u"SRV"_s, 32,
            u"partag\u00e9 \\\\SRV\\ZOR."_s);
    }

    void sharedFolder()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        QFETCH(QString, model);
        if (!model.isEmpty())
            write(program(model), "[SUPER]\r\nDroit_Stat=0\r\n");
        QDir().mkpath(path(u"unc/SRV1/ZOR"_s));
        const QString kept = path(u"unc/SRV1/ZOR/agent007.ini"_s);
        write(kept, "mine");
        QFETCH(bool, ends);
        QCOMPARE(loadStation("[VOICE_SERVER]\r\nVS_addr=SRV1\r\n[CONFIG]\r\n" + config +
                             "Server_Tcp=0\r\n"),
                 ends);
        QCOMPARE(Parametres.ConfigPath, u"\\\\"_s + folder + u"\\ZOR"_s);
        QCOMPARE(Parametres.ConfigDir, Parametres.ConfigPath + u'\\');
        QCOMPARE(Parametres.TcpPort, qint16(0));
        const QDir shared(path(u"unc/"_s + folder + u"/ZOR"_s));
        QTEST(int(shared.entryList({u"agent0??.ini"_s}, QDir::Files).size()), "files");
        QCOMPARE(read(kept), QByteArray("mine"));
        QVERIFY2(lastMessage().endsWith(message), qPrintable(lastMessage()));
        if (!model.isEmpty() && !ends)
            QCOMPARE(read(shared.filePath(u"agent001.ini"_s)),
                     QByteArray("[SUPER]\r\nDroit_Stat=0\r\n"));
    }

    // Each row: the CONFIG and FRAME lines of supervis.ini and what is read from
    // them, one column per field. Every field holds -7 before (Langue 4,
    // LanguageBase 8000), so a field that a failure leaves alone shows -7.

    void supervisorRead_data()
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
            data << QString::fromUtf8(failure);
        };
        const Ints defaults{0, 0, 0, 30, 70, 0, 0, 0, 255};
        row("no file", {}, {}, "SUPER", defaults);
        row("ranges", "NbJourStockJournal=40\r\nTauxActiviteT1=100\r\nTauxActiviteT2=-1\r\n", {},
            "SUPER", {0, 0, 40, 0, 0, 0, 0, 0, 255});
        row("upper bounds", "TauxActiviteT1=99\r\nTauxActiviteT2=100\r\n", {}, "SUPER",
            {0, 0, 0, 99, 0, 0, 0, 0, 255});
        row("T2 at its bound", "TauxActiviteT2=99\r\n", {}, "SUPER",
            {0, 0, 0, 30, 99, 0, 0, 0, 255});
        row("leading numbers", "NbJourStockJournal=12abc\r\nTauxActiviteT1=39.5\r\n",
            "CouleurTxBas= 12x\r\n", "SUPER", {0, 0, 12, 40, 70, 0, 0, 0, 12});
        row("mode 2, switches",
            "ModeLie=2\r\nEtatinterdit=1\r\nCmtAuto=&H1\r\nNbJourStockJournal=41\r\n", {}, "SUPER",
            {0, 0, 0, 30, 70, 2, 1, 1, 255});
        row("mode 3", "ModeLie=3\r\n", {}, "SUPER", defaults);
        row("mode 01", "ModeLie=01\r\n", {}, "SUPER", defaults);
        row("mode 1x", "ModeLie=1x\r\n", {}, "SUPER", defaults);
        row("password lower with spaces",
            "mot_de_passe=" + PasswordScrambler::Crypter(" \xe9t\xe9 ") + "\r\n", {},
            "\u00c9T\u00c9", defaults);
        // Only spaces go: a tab or a no-break space is part of the password.
        row("password with a tab", "mot_de_passe=" + PasswordScrambler::Crypter(" \tab ") + "\r\n",
            {}, "\tAB", defaults);
        row("password with no-break spaces",
            "mot_de_passe=" + PasswordScrambler::Crypter("\240ab\240") + "\r\n", {},
            "\u00a0AB\u00a0", defaults);
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
            " [GetIniCouleurs 6 D\u00e9passement de capacit\u00e9]");
        row("etat empty fails", "NbJourStockJournal=5\r\nEtatinterdit=\r\nCmtAuto=1\r\n", {},
            "SUPER", {0, 0, 5, 30, 70, 0, -7, -7, -7}, " [GetIniCouleurs 13 Type incompatible]");
        row("colour overflow", "CmtAuto=1\r\n", "CouleurTxBas=9e99\r\n", "SUPER",
            {0, 0, 0, 30, 70, 0, 0, 1, -7},
            " [GetIniCouleurs 6 D\u00e9passement de capacit\u00e9]");
    }

    void supervisorRead()
    {
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, frame);
        QFETCH(QString, failure);
        for (int n : {2, 17})
            addLanguageFile(n);
        SettingsRecord& p = Parametres;
        for (qint32* field : {&p.NbJourStockJournal, &p.TauxActiviteT1, &p.TauxActiviteT2,
                              &p.ModeLie, &p.Etatinterdit, &p.CmtAuto})
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
            QCOMPARE(p.ModeLieApp, u"Wscript.exe Post_it.vbs"_s);
            QCOMPARE(p.CouleurGrFile, 16777215);
        }
    }

    // Numbers go out with a space before them (a minus sign when negative), lines
    // in the file are replaced in place and the rest stays byte for byte; read
    // back, the same settings come out.
    void supervisorWrite()
    {
        write(supervis(), "; shared\r\n[CONFIG]\r\nTauxActiviteT1=30\r\nother=keep\r\n"
                          "\r\n[FRAME]\r\n");
        SupervisorSettings::GetIniCouleurs();
        Parametres.NouveauMotDePasse = u"NOUVEAU"_s;
        Parametres.TauxActiviteT1 = 25;
        Parametres.ModeLieApp = u"cscript lien.vbs"_s;
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
        Parametres.ConfigPath = u"\\\\SRV\\ZOR"_s;
        SupervisorSettings::GetIniCouleurs();
        QCOMPARE(Parametres.MotDePasse, u"NOUVEAU"_s);
        QCOMPARE(Parametres.ModeLieApp, u"cscript lien.vbs"_s);
        QCOMPARE(Parametres.TauxActiviteT1, 25);
        QCOMPARE(Parametres.CouleurGrFile, -5);
    }

    // The same rights file read as the model (ModelRights) and as agent 5's file
    // (the row's cells). A missing key reads as "1"; only "1" grants.
    void rightsRead_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("expected");   // columns 2..9
        QTest::newRow("no file") << QByteArray() << u"XXXXXX.X"_s;
        QTest::newRow("fiche 2") << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=2\r\n")
                                 << u"XXXXXXXX"_s;
        QTest::newRow("fiche other, 0, 2, yes, empty")
            << QByteArray("[SUPER]\r\nDroit_Modif_Fiche=x\r\nDroit_Stat=0\r\nDroit_Qualif=2\r\n"
                          "Droit_Preference=yes\r\nDroit_ListeAppel=\r\n")
            << u"X.X....."_s;
        QTest::newRow("names without case")
            << QByteArray("[super]\r\ndroit_modif_group=0\r\n") << u".XXXXX.X"_s;
    }

    void rightsRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        if (!content.isNull()) {
            write(program(u"MODEL.INI"_s), content);
            write(shared(u"agent005.ini"_s), content);
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
        Rows rows{row(u"5"_s, {}, u"3"_s), row(u"abc"_s), row(u"5"_s)};
        AgentRights::GetAgentxx_Ini(rows);
        QCOMPARE(cells(rows[0]), expected);
        QCOMPARE(cells(rows[1]), QString(8, u'.'));
        QCOMPARE(cells(rows[2]), QString(8, u'.'));
        QVERIFY(rows[0].cells[ColChangeState].isEmpty());
        QVERIFY(lastMessage().endsWith(u" [GetAgentxx_Ini 13 Type incompatible]"_s));
    }

    void rightsWrite_data()
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
        auto row = [](const char* name, const char* number, const char* pattern, const char* change,
                      bool result, const QByteArray& expected) {
            QTest::newRow(name) << number << pattern << change << result << expected;
        };
        row("unchanged", "12", "XXXXXXXX", "", false, file('1', {}, "abc"));
        row("password only", "12", "XXXXXXXX", "2", false, file('1', {}, ""));
        row("fiche from column 8", "12", "X.X.X.X.", "1", true, file('1', "101002", "abc"));
        row("comment only, both", "12", ".......X", "3", true, file('0', "000001", ""));
        row("clear without a file", "1234", "", "2", false, "[CONFIG]\r\nmot_de_passe=\r\n");
    }

    void rightsWrite()
    {
        QFETCH(QString, number);
        QFETCH(QString, pattern);
        QFETCH(QString, change);
        write(shared(u"agent012.ini"_s),
              "[SUPER]\r\nDroit_Stat=1\r\n[CONFIG]\r\nmot_de_passe=abc\r\n");
        Rows rows{row(number, pattern, change), row(u"7"_s, u"XX"_s)};
        QTEST(AgentRights::SetAgentxx_Ini(rows), "result");
        QTEST(read(shared(AgentRights::AgentFileName(number.toInt()))), "expected");
        QCOMPARE(rows[0].cells[ColChangeState], change);
        QVERIFY(!QFile::exists(shared(u"agent007.ini"_s)));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
