#include "Cp1252.h"
#include "Folders.h"
#include "IniFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using TestFiles::utf16;

namespace {

// Every read passes this default: only its trailing spaces go.
const QByteArray Default = " d\t  "_ba;
const QByteArray DefaultRead = " d\t"_ba;

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

    void put(const QByteArray& bytes) { QVERIFY(TestFiles::write(m_file, bytes)); }

    QByteArray read(QByteArrayView section, QByteArrayView key, const QString& path = {})
    {
        return IniFile::GetPrivateProfileString(section, key, Default, 255,
                                                path.isEmpty() ? m_file : path);
    }

    static IniFile::WriteResult write(QByteArrayView section, QByteArrayView key,
                                      QByteArrayView value, const QString& path)
    {
        return IniFile::WritePrivateProfileString(section, key, value, path);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(u"test.ini"_s);
        QFile::remove(m_file);
    }

    void readRules_data()
    {
        for (const char* column : {"content", "section", "key", "expected"})
            QTest::addColumn<QByteArray>(column);
        const auto row = [](const char* name, const QByteArray& content, const QByteArray& section,
                            const QByteArray& key, const QByteArray& expected) {
            QTest::newRow(name) << content << section << key << expected;
        };
        const QByteArray basic = "[Section]\r\nKey=VaLue\r\n";
        const QByteArray copies = "[S]\r\na=1\r\nA=2\r\n[T]\r\n[S]\r\na=3\r\nb=4\r\n";
        const QByteArray d = DefaultRead;
        row("code page bytes", "[\x81\x8D]\r\n\xFF\xFE\xFD=\x90\x9D\r\n", "\x81\x8D",
            "\xFF\xFE\xFD", "\x90\x9D");
        row("UTF-8 mark is text", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", d);
        row("UTF-16", utf16("[Café]\nk=€é中😀\n"), "CAF\xC9", "K", "\x80\xE9??");
        row("UTF-16 odd length", utf16("[S]\r\nk=v") + 'A', "S", "k", "v");
        row("names ignore case", basic, "  sECTION ", " KEY  ", "VaLue");
        row("code page case", "[Caf\xE9]\r\n\xC9t\xE9=1\r\n", "CAF\xC9", "\xE9T\xC9", "1");
        row("caller tab kept", basic, "Section", "\tKey", d);
        row("header blanks and tail", " \t\v[ \tS \v] x]\r\nk=v\r\n", "S", "k", "v");
        row("header without bracket", "[S\r\nk=v\r\n", "S", "k", "v");
        row("key and value trimmed", "[S]\r\n \t\vk \t= \v v 1 \t\v\r\n", "S", "k", "v 1");
        row("quotes keep inner blanks", "[S]\r\nk = \" a \" \r\n", "S", "k", " a ");
        row("one pair of single quotes", "[S]\r\nk='\"a\"'\r\n", "S", "k", "\"a\"");
        row("quotes must match", "[S]\r\nk=\"a'\r\n", "S", "k", "\"a'");
        row("lone quote", "[S]\r\nk=\"\r\n", "S", "k", "\"");
        row("comment", "[S]\r\n \t;k=1\r\n", "S", "k", d);
        row("no inline comment", "[S]\r\nk=v ;c\r\n", "S", "k", "v ;c");
        row("mixed ends, blank lines", "\r\n[S]\r\r\nj=0\n\n  \r\nk=v", "S", "k", "v");
        row("key before header", "k=top\r\n[S]\r\nj=1\r\n", "S", "k", d);
        row("first copy of key", copies, "S", "a", "1");
        row("second section not searched", copies, "S", "b", d);
        row("empty value", "[S]\r\nk=\r\n", "S", "k", "");
        row("equals in value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b");
        row("missing section", basic, "Other", "Key", d);
        row("255 bytes cut", "[S]\r\nk=" + QByteArray(255, 'x'), "S", "k", QByteArray(254, 'x'));
        row("long line", "[S]\r\nj=" + QByteArray(70000, 'z') + "\r\nk=v\r\n", "S", "k", "v");
        row("NUL in value", "[S]\r\nk=ab\0cd\r\n"_ba, "S", "k", "ab");
    }

    void readRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        put(content);
        QCOMPARE(read(section, key), expected);
        IniFile::ReadScope scope; // the scope's parsed copy answers the same
        QCOMPARE(read(section, key), expected);
    }

    void writeRules_data()
    {
        for (const char* column : {"before", "section", "key", "value", "after"})
            QTest::addColumn<QByteArray>(column);
        const auto row = [](const char* name, const QByteArray& before, const QByteArray& section,
                            const QByteArray& key, const QByteArray& value,
                            const QByteArray& after) {
            QTest::newRow(name) << before << section << key << value << after;
        };
        row("missing file created", {}, " T ", " k ", "v", "[T]\r\nk=v\r\n");
        row("replace keeps spelling", "[S]\r\n \tKey \t= \"old\" ;c\r\nz=1\r\n", "s", "KEY", "new",
            "[S]\r\nKey=new\r\nz=1\r\n");
        row("replace first copy, LF", "[S]\nk=1\nk=2\n[S]\nk=3\n", "S", "k", "9",
            "[S]\nk=9\r\nk=2\n[S]\nk=3\n");
        row("replace in CR file", "[S]\rk=1\rz=2\r", "S", "k", "9", "[S]\rk=9\r\nz=2\r");
        row("new key after last key", "[S]\r\na=1\r\nword\r\n\r\n;c=0\r\n[T]\r\n", "S", "c", "3",
            "[S]\r\na=1\r\nc=3\r\nword\r\n\r\n;c=0\r\n[T]\r\n");
        row("new key after header", "[S]\r\n; note\r\n[S]\r\nx=1\r\n", "S", "c", "3",
            "[S]\r\nc=3\r\n; note\r\n[S]\r\nx=1\r\n");
        row("new key, last key ends file", "[S]\r\na=1", "S", "c", "3", "[S]\r\na=1\r\nc=3\r\n");
        row("new section after LF", "k=0\n[S]\na=1\n", "T", "b", "2",
            "k=0\n[S]\na=1\n[T]\r\nb=2\r\n");
        row("value raw", "[S]\r\nkey=1\r\n", "S", "key", " 30 \"q\"", "[S]\r\nkey= 30 \"q\"\r\n");
        row("empty value", "[S]\r\nkey=1\r\n", "S", "key", "", "[S]\r\nkey=\r\n");
        row("key raw, even as a header", "[S]\r\nk=1\r\n[T]\r\n", "S", "[T", "v",
            "[S]\r\nk=1\r\n[T=v\r\n[T]\r\n");
        row("value with line breaks", "", "S", "k", "a\r\nb\n", "[S]\r\nk=a\r\nb\n\r\n");
        row("odd bytes untouched",
            "\0\xFF x\r\n[S]\r\n\x81=\x90\r\n;\t\v\r\na = 1 \n\r\n \x9D\r"_ba, "S", "a", "2",
            "\0\xFF x\r\n[S]\r\n\x81=\x90\r\n;\t\v\r\na=2\r\n\r\n \x9D\r"_ba);
        row("UTF-8 mark is text", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "2",
            "\xEF\xBB\xBF[S]\r\nk=1\r\n[S]\r\nk=2\r\n");
        row("UTF-16 replace", utf16("[S]\r\n; 中\r\n Œ = 1\r\n"), "S", "\x9C", "\x80\xE9",
            utf16("[S]\r\n; 中\r\nŒ=€é\r\n"));
        row("UTF-16 new section", utf16("[S]\r\na=1"), "T", "b", "2",
            utf16("[S]\r\na=1\r\n[T]\r\nb=2\r\n"));
    }

    void writeRules()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            put(before);
        QVERIFY(write(section, key, value, m_file));
        QCOMPARE(TestFiles::read(m_file), after);
    }

    void largeRandomFile()
    {
        QByteArray data(10 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator(4711).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        data.append("\r\n[ZzLast]\r\nkey=found\r\n");
        put(data);
        QCOMPARE(read("ZzLast", "key"), "found");
        QVERIFY(write("ZzLast", "key", "new", m_file));
        QCOMPARE(TestFiles::read(m_file), data.replace(data.size() - 7, 5, "new"));
    }

    void readScopeNeverStale()
    {
        put("[S]\r\nk=1\r\n");
        QCOMPARE(read("S", "k"), "1");
        put("[S]\r\nk=2\r\n"); // outside a scope every read goes to the disk
        QCOMPARE(read("S", "k"), "2");
        QVERIFY(QFile::remove(m_file));
        QCOMPARE(read("S", "k"), DefaultRead);
        {
            IniFile::ReadScope outer;
            QCOMPARE(read("S", "k"), DefaultRead);
            QVERIFY(write("S", "k", "3", m_file));
            QCOMPARE(read("S", "k"), "3");
            IniFile::ReadScope inner;
            QVERIFY(write("S", "k", "4", m_dir.path() + u"/./test.ini"_s));
            QCOMPARE(read("S", "k"), "4");
            put("[S]\r\nk=5\r\n"); // behind the module's back: the scope read once
            QCOMPARE(read("S", "k"), "4");
        }
        QCOMPARE(read("S", "k"), "5");
    }

    // Inside one scope each file keeps its own copy: two files, two values.
    void readScopeTwoFiles()
    {
        const QString other = m_dir.filePath(u"other.ini"_s);
        put("[S]\r\nk=first\r\n");
        QVERIFY(write("S", "k", "second", other));
        IniFile::ReadScope scope;
        QCOMPARE(read("S", "k"), "first");
        QCOMPARE(read("S", "k", other), "second");
        QCOMPARE(read("S", "k"), "first");
    }

    // Program-folder files are found whatever the case of their names.
    void programFileCase_data()
    {
        QTest::addColumn<QStringList>("present"); // the files in the folder
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("found");
        QTest::newRow("exact") << QStringList{u"Model.ini"_s, u"model.ini"_s} << u"model.ini"_s
                               << u"model.ini"_s;
        QTest::newRow("other case")
            << QStringList{u"Model.INI"_s} << u"model.ini"_s << u"Model.INI"_s;
        // Whatever order the folder lists them in.
        QTest::newRow("two other spellings, the first in code order")
            << QStringList{u"model.INI"_s, u"Model.ini"_s} << u"MODEL.ini"_s << u"Model.ini"_s;
        QTest::newRow("two other spellings of another name")
            << QStringList{u"zor_lg01.TXT"_s, u"Zor_Lg01.txt"_s} << u"ZOR_LG01.txt"_s
            << u"Zor_Lg01.txt"_s;
        QTest::newRow("three other spellings")
            << QStringList{u"zorcfg16.ico"_s, u"ZorCfg16.ICO"_s, u"Zorcfg16.ico"_s}
            << u"ZORCFG16.ico"_s << u"ZorCfg16.ICO"_s;
        QTest::newRow("missing") << QStringList() << u"Zorcfg16.ico"_s << u"Zorcfg16.ico"_s;
        QTest::newRow("other name")
            << QStringList{u"model.ini.bak"_s} << u"model.ini"_s << u"model.ini"_s;
    }
    void programFileCase()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, asked);
        QFETCH(QString, found);
        const QString folder = m_dir.filePath(u"program"_s);
        QVERIFY(QDir().mkpath(folder));
        for (const QString& name : present) {
            QFile file(folder + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Folders::setProgramFolder(folder);
        QCOMPARE(Folders::programFile(asked), folder + u'/' + found);
        // The same from the folder's names read once.
        QCOMPARE(Folders::fileIgnoringCase(folder, asked, Folders::fileNames(folder)),
                 folder + u'/' + found);
        Folders::setProgramFolder(QString());
        QVERIFY(QDir(folder).removeRecursively());
    }

    void upperCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("upper");
        QTest::newRow("letters") << u"abc éÿ"_s << u"ABC ÉŸ"_s;
        QTest::newRow("sharp s stays") << u"straße"_s << u"STRAßE"_s;
        QTest::newRow("micro stays") << u"µ"_s << u"µ"_s;
        QTest::newRow("code page capitals") << u"šœž"_s << u"ŠŒŽ"_s;
        QTest::newRow("outside the code page") << u"ωı"_s << u"ωı"_s;
    }
    void upperCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, upper);
        QCOMPARE(Cp1252::toUpper(text), upper);
        QCOMPARE(Cp1252::toUpper(text).size(), text.size());
    }

    void uncFilesAndMissingFolders()
    {
        qputenv("ZOR_UNC_ROOT", QFile::encodeName(m_dir.path()));
        QVERIFY(QDir(m_dir.path()).mkpath(u"SRV/ZOR"_s));
        QVERIFY(write("Config", "Langue", "1", uR"(\\SRV\ZOR\supervis.ini)"_s));
        QCOMPARE(TestFiles::read(m_dir.filePath(u"SRV/ZOR/supervis.ini"_s)),
                 "[Config]\r\nLangue=1\r\n");
        QCOMPARE(read("config", "langue", uR"(\\SRV\ZOR\supervis.ini)"_s), "1");
        QVERIFY(!write("S", "k", "v", uR"(\\SRV\NONE\x.ini)"_s));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(u"SRV/NONE"_s)));
        QCOMPARE(Folders::localPath(uR"(Q.R.S\zor.ini)"_s), uR"(Q.R.S\zor.ini)"_s);
        QCOMPARE(Folders::localPath(uR"(\s\x)"_s), uR"(\s\x)"_s); // one backslash: not UNC
        qunsetenv("ZOR_UNC_ROOT");
        QCOMPARE(Folders::localPath(uR"(\\s\t\x)"_s), u"/mnt/s/t/x"_s);
    }

    void cp1252_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("decodes"); // false: the text only encodes to the bytes
        QByteArray high;
        for (int byte = 0x80; byte < 0xA0; ++byte)
            high += static_cast<char>(byte);
        QTest::newRow("80-9F, undefined as C1")
            << high << u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ"_s << true;
        QTest::newRow("ASCII, Latin-1") << "A\0\xA0\xE9\xFF"_ba << u"A\0\u00A0éÿ"_s << true;
        QTest::newRow("unmappable") << "a?b???"_ba << u"a中b😀\u0085"_s + QChar(0xD800) << false;
    }

    void cp1252()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, decodes);
        if (decodes)
            QCOMPARE(Cp1252::toUnicode(bytes), text);
        QCOMPARE(Cp1252::fromUnicode(text), bytes);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
