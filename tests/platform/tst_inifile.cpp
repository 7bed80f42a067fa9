#include "Folders.h"
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A UTF-16LE file: the byte-order mark, then the text.
QByteArray utf16(const QString& text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar ch : text) {
        bytes.append(static_cast<char>(ch.unicode() & 0xFF));
        bytes.append(static_cast<char>(ch.unicode() >> 8));
    }
    return bytes;
}

// A literal with its NUL bytes.
template <std::size_t N> QByteArray bin(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QByteArray repeated(char c, int count)
{
    return QByteArray(count, c);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

    void writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray readBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }

    static QByteArray read(const QString& path, QByteArrayView section, QByteArrayView key,
                           QByteArrayView def = "default")
    {
        return IniFile::GetPrivateProfileString(section, key, def, 255, path);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("test.ini"));
        QFile::remove(m_file);
    }

    void readRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("def");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray basic = "[Section]\r\nKey=Value\r\n";
        auto row = [](const char* name, const QByteArray& content, const QByteArray& section,
                      const QByteArray& key, const QByteArray& expected,
                      const QByteArray& def = "default", int size = 255) {
            QTest::newRow(name) << content << section << key << def << size << expected;
        };
        row("plain", basic, "Section", "Key", "Value");
        row("section case", basic, "sECTION", "Key", "Value");
        row("key case", basic, "Section", "KEY", "Value");
        row("accented case", "[Caf\xE9]\r\n\xC9t\xE9=1\r\n", "CAF\xC9", "\xE9T\xC9", "1");
        row("cp1252 high case", "[\x8A\x9F]\r\nk=2\r\n", "\x9A\xFF", "k", "2");
        row("value keeps case", "[S]\r\nk=MiXeD\r\n", "s", "K", "MiXeD");
        row("caller spaces trimmed", basic, "  Section  ", " Key ", "Value");
        row("caller tab kept", basic, "Section", "\tKey", "default");
        row("caller NUL ends name", basic, bin("Section\0x"), "Key", "Value");
        row("blanks around key and value", "[S]\r\n \t\vk \t= \v v 1 \t\v\r\n", "S", "k", "v 1");
        row("double quotes", "[S]\r\nk=\"a b\"\r\n", "S", "k", "a b");
        row("single quotes", "[S]\r\nk='a b'\r\n", "S", "k", "a b");
        row("quotes keep inner blanks", "[S]\r\nk = \" a \" \r\n", "S", "k", " a ");
        row("one pair only", "[S]\r\nk=\"\"a\"\"\r\n", "S", "k", "\"a\"");
        row("quotes must match", "[S]\r\nk=\"a'\r\n", "S", "k", "\"a'");
        row("quote at start only", "[S]\r\nk=\"abc\r\n", "S", "k", "\"abc");
        row("lone quote", "[S]\r\nk=\"\r\n", "S", "k", "\"");
        row("empty quotes", "[S]\r\nk=''\r\n", "S", "k", "");
        row("comment", "[S]\r\n;k=1\r\n", "S", "k", "default");
        row("indented comment", "[S]\r\n \t;k=1\r\n", "S", "k", "default");
        row("semicolon key", "[S]\r\n;k=1\r\n", "S", ";k", "default");
        row("no inline comment", "[S]\r\nk=v ;c\r\n", "S", "k", "v ;c");
        row("value starting with semicolon", "[S]\r\nk=;v\r\n", "S", "k", ";v");
        row("LF only", "[S]\nj=0\nk=v\n", "S", "k", "v");
        row("CR only", "[S]\rj=0\rk=v\r", "S", "k", "v");
        row("mixed line ends", "[S]\rj=0\nk=v\r\nl=w\r", "S", "l", "w");
        row("blank lines", "\r\n\r\n[S]\r\n\r\n  \r\nk=v\r\n\r\n", "S", "k", "v");
        row("no line end at end", "[S]\r\nk=v", "S", "k", "v");
        row("key before first header", "k=top\r\n[S]\r\nj=1\r\n", "S", "k", "default");
        row("key before header, empty section", "k=top\r\n[S]\r\n", "", "k", "default");
        row("first section wins", "[S]\r\na=1\r\n[T]\r\n[S]\r\na=2\r\nb=3\r\n", "S", "a", "1");
        row("second copy not searched", "[S]\r\na=1\r\n[S]\r\nb=3\r\n", "S", "b", "default");
        row("first key wins", "[S]\r\na=1\r\nA=2\r\n", "S", "a", "1");
        row("keys end at next header", "[S]\r\n[T]\r\na=1\r\n", "S", "a", "default");
        row("empty value", "[S]\r\nk=\r\n", "S", "k", "");
        row("blank value", "[S]\r\nk = \t\r\n", "S", "k", "");
        row("line without equals", "[S]\r\nk\r\n", "S", "k", "default");
        row("equals in value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b");
        row("spaces inside key", "[S]\r\nmy key = v\r\n", "S", "my key", "v");
        row("empty key", "[S]\r\n=v\r\n", "S", "", "v");
        row("missing section", basic, "Other", "Key", "default");
        row("missing key", basic, "Section", "Other", "default");
        row("empty file", "", "S", "k", "default");
        row("default trailing spaces", basic, "S", "k", "def", "def   ");
        row("default leading spaces kept", basic, "S", "k", "  def", "  def");
        row("default trailing tab kept", basic, "S", "k", "def\t", "def\t");
        row("default NUL", basic, "S", "k", "de", bin("de\0f"));
        row("default cut to buffer", basic, "S", "k", "def", "default", 4);
        row("254 bytes whole", "[S]\r\nk=" + repeated('x', 254) + "\r\n", "S", "k",
            repeated('x', 254));
        row("255 bytes cut", "[S]\r\nk=" + repeated('x', 255) + "\r\n", "S", "k",
            repeated('x', 254));
        row("long value cut", "[S]\r\nk=" + repeated('y', 5000) + "\r\n", "S", "k",
            repeated('y', 254));
        row("long line before key", "[S]\r\nj=" + repeated('z', 70000) + "\r\nk=v\r\n", "S", "k",
            "v");
        row("small buffer", basic, "Section", "Key", "Val", "default", 4);
        row("buffer of one", basic, "Section", "Key", "", "default", 1);
        row("buffer of zero", basic, "Section", "Key", "", "default", 0);
        row("negative buffer", basic, "Section", "Key", "", "default", -3);
        row("NUL in value", bin("[S]\r\nk=ab\0cd\r\n"), "S", "k", "ab");
        row("NUL in other line", bin("[S]\r\n\0\0=\0\r\nk=v\r\n"), "S", "k", "v");
        row("header after blanks", " \t\v[S]\r\nk=v\r\n", "S", "k", "v");
        row("header without bracket", "[S\r\nk=v\r\n", "S", "k", "v");
        row("header trimmed", "[ \tS \v]\r\nk=v\r\n", "S", "k", "v");
        row("text after bracket", "[S] junk ; x\r\nk=v\r\n", "S", "k", "v");
        row("opening bracket in name", "[[S]\r\nk=v\r\n", "[S", "k", "v");
        row("quotes in section name", "[\"S\"]\r\nk=v\r\n", "S", "k", "default");
        row("odd bytes", "[\x81\x8D]\r\n\xFF\xFE\xFD=\x90\x9D\r\n", "\x81\x8D", "\xFF\xFE\xFD",
            "\x90\x9D");
        row("UTF-8 mark breaks line 1", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "default");
        row("UTF-8 mark, line 2 reads", "\xEF\xBB\xBF\r\n[S]\r\nk=v\r\n", "S", "k", "v");
        row("UTF-8 text is bytes", "[S]\r\nk=\xC3\xA9\r\n", "S", "k", "\xC3\xA9");
        row("UTF-16", utf16(QStringLiteral("[S]\r\nk=v\r\n")), "s", "K", "v");
        row("UTF-16 to code page", utf16(QString::fromUtf8("[S]\nk=\xE2\x82\xAC\xC3\xA9\n")), "S",
            "k", "\x80\xE9");
        row("UTF-16 unmappable",
            utf16(QString::fromUtf8("[S]\nk=a\xE4\xB8\xAD"
                                    "b\n")),
            "S", "k", "a?b");
        row("UTF-16 surrogate pair", utf16(QString::fromUtf8("[S]\nk=\xF0\x9F\x98\x80\n")), "S",
            "k", "?");
        row("UTF-16 names", utf16(QString::fromUtf8("[Caf\xC3\xA9]\r\n\xC5\x92=1\r\n")), "CAF\xC9",
            "\x9C", "1");
        row("UTF-16 quotes", utf16(QStringLiteral("[S]\r\nk= 'x y' \r\n")), "S", "k", "x y");
        row("UTF-16 odd length", utf16(QStringLiteral("[S]\r\nk=v")) + 'A', "S", "k", "v");
        row("UTF-16 mark only", "\xFF\xFE", "S", "k", "default");
        row("UTF-16 big-endian not read", bin("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0v"), "S", "k",
            "default");
    }

    void readRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, def);
        QFETCH(int, bufferSize);
        QFETCH(QByteArray, expected);
        writeBytes(m_file, content);
        QCOMPARE(IniFile::GetPrivateProfileString(section, key, def, bufferSize, m_file), expected);
        IniFile::ReadScope scope; // the cached parse answers the same
        QCOMPARE(IniFile::GetPrivateProfileString(section, key, def, bufferSize, m_file), expected);
        QCOMPARE(IniFile::GetPrivateProfileString(section, key, def, bufferSize, m_file), expected);
    }

    void missingFileGivesDefault()
    {
        QCOMPARE(read(m_dir.filePath(QStringLiteral("none.ini")), "S", "k", "dflt  "), "dflt");
        QCOMPARE(read(m_dir.filePath(QStringLiteral("no/such/dir.ini")), "S", "k"), "default");
        QCOMPARE(read(m_dir.path(), "S", "k"), "default"); // a folder, not a file
    }

    void largeRandomFile()
    {
        QRandomGenerator random(4711);
        QByteArray bytes(10 * 1024 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        bytes.append("\r\n[ZzLast]\r\nkey=found\r\n");
        writeBytes(m_file, bytes);
        QCOMPARE(read(m_file, "ZzLast", "key"), "found");
        QCOMPARE(read(m_file, "ZzNone", "key"), "default");
        QVERIFY(IniFile::WritePrivateProfileString("ZzLast", "key", "new", m_file));
        QByteArray expected = bytes;
        expected.replace(expected.size() - 7, 5, "new");
        QCOMPARE(readBytes(m_file), expected);
    }

    void fileDisappears()
    {
        writeBytes(m_file, "[S]\r\nk=v\r\n");
        QCOMPARE(read(m_file, "S", "k"), "v");
        QVERIFY(QFile::remove(m_file));
        QCOMPARE(read(m_file, "S", "k"), "default");
        writeBytes(m_file, "[S]\r\nk=back\r\n");
        QCOMPARE(read(m_file, "S", "k"), "back");
    }

    void writeRules_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");

        auto row = [](const char* name, const QByteArray& before, const QByteArray& section,
                      const QByteArray& key, const QByteArray& value, const QByteArray& after) {
            QTest::newRow(name) << true << before << section << key << value << after;
        };
        QTest::newRow("missing file created")
            << false << QByteArray() << QByteArray("T") << QByteArray("k") << QByteArray("v")
            << QByteArray("[T]\r\nk=v\r\n");
        row("empty file", "", "T", "k", "v", "[T]\r\nk=v\r\n");
        row("replace keeps spelling", "[S]\r\nKey=old\r\nz=1\r\n", "s", "KEY", "new",
            "[S]\r\nKey=new\r\nz=1\r\n");
        row("replace drops spacing", "[S]\r\n \tKey \t= \"old\" ;c\r\nz=1\r\n", "S", "key", "new",
            "[S]\r\nKey=new\r\nz=1\r\n");
        row("replace in LF file", "[S]\nk=1\nz=2\n", "S", "k", "9", "[S]\nk=9\r\nz=2\n");
        row("replace in CR file", "[S]\rk=1\rz=2\r", "S", "k", "9", "[S]\rk=9\r\nz=2\r");
        row("replace last line", "[S]\r\nk=1", "S", "k", "9", "[S]\r\nk=9\r\n");
        row("replace same value", "[S]\r\nk=1\r\n", "S", "k", "1", "[S]\r\nk=1\r\n");
        row("replace first copy only", "[S]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", "S", "k", "9",
            "[S]\r\nk=9\r\nk=2\r\n[S]\r\nk=3\r\n");
        row("new key after last key line", "[S]\r\na=1\r\nb=2\r\n\r\n; c\r\n[T]\r\n", "S", "c", "3",
            "[S]\r\na=1\r\nb=2\r\nc=3\r\n\r\n; c\r\n[T]\r\n");
        row("new key after header", "[S]\r\n; note\r\n\r\n[T]\r\nx=1\r\n", "S", "c", "3",
            "[S]\r\nc=3\r\n; note\r\n\r\n[T]\r\nx=1\r\n");
        row("new key, header ends file", "[S]", "S", "c", "3", "[S]\r\nc=3\r\n");
        row("new key, last key ends file", "[S]\r\na=1", "S", "c", "3", "[S]\r\na=1\r\nc=3\r\n");
        row("new key in LF file", "[S]\na=1\n[T]\n", "S", "c", "3", "[S]\na=1\nc=3\r\n[T]\n");
        row("line without equals is no key line", "[S]\r\na=1\r\nword\r\n", "S", "c", "3",
            "[S]\r\na=1\r\nc=3\r\nword\r\n");
        row("commented key not replaced", "[S]\r\n;k=1\r\n", "S", "k", "2",
            "[S]\r\nk=2\r\n;k=1\r\n");
        row("new key in first copy", "[S]\r\na=1\r\n[S]\r\nb=2\r\n", "S", "c", "3",
            "[S]\r\na=1\r\nc=3\r\n[S]\r\nb=2\r\n");
        row("new section", "[S]\r\na=1\r\n", "T", "b", "2", "[S]\r\na=1\r\n[T]\r\nb=2\r\n");
        row("new section, no line end", "[S]\r\na=1", "T", "b", "2",
            "[S]\r\na=1\r\n[T]\r\nb=2\r\n");
        row("new section after LF", "[S]\na=1\n", "T", "b", "2", "[S]\na=1\n[T]\r\nb=2\r\n");
        row("new section after CR", "[S]\ra=1\r", "T", "b", "2", "[S]\ra=1\r[T]\r\nb=2\r\n");
        row("new section after blank lines", "[S]\r\n\r\n\r\n", "T", "b", "2",
            "[S]\r\n\r\n\r\n[T]\r\nb=2\r\n");
        row("keys before header stay", "k=1\r\n", "T", "k", "2", "k=1\r\n[T]\r\nk=2\r\n");
        row("caller spaces trimmed", "", "  T  ", " k ", "v", "[T]\r\nk=v\r\n");
        row("value raw with leading space", "[S]\r\nkey=1\r\n", "S", "key", " 30",
            "[S]\r\nkey= 30\r\n");
        row("value raw with quotes", "", "S", "k", "\"q\" ", "[S]\r\nk=\"q\" \r\n");
        row("empty value", "[S]\r\nkey=1\r\n", "S", "key", "", "[S]\r\nkey=\r\n");
        row("value with line break", "[S]\r\nk=1\r\n", "S", "k", "a\r\nb", "[S]\r\nk=a\r\nb\r\n");
        row("value ends at NUL", "[S]\r\nk=1\r\n", "S", "k", bin("ab\0cd"), "[S]\r\nk=ab\r\n");
        row("odd bytes untouched",
            bin("\0\xFF junk\r\n[S]\r\n\x81=\x90\r\n;\t\v\r\na = 1 \n\r\n \x9D\r"), "S", "a", "2",
            bin("\0\xFF junk\r\n[S]\r\n\x81=\x90\r\n;\t\v\r\na=2\r\n\r\n \x9D\r"));
        row("UTF-8 mark is text", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "2",
            "\xEF\xBB\xBF[S]\r\nk=1\r\n[S]\r\nk=2\r\n");
        row("UTF-16 replace", utf16(QString::fromUtf8("[S]\r\n; \xE4\xB8\xAD\r\nk=1\r\n")), "S",
            "k", "\x80\xE9",
            utf16(QString::fromUtf8("[S]\r\n; \xE4\xB8\xAD\r\nk=\xE2\x82\xAC\xC3\xA9\r\n")));
        row("UTF-16 keeps key spelling",
            utf16(QString::fromUtf8("[S]\r\n \xC5\x92 = 1\r\n\xF0\x9F\x98\x80\r\n")), "S", "\x9C",
            "2", utf16(QString::fromUtf8("[S]\r\n\xC5\x92=2\r\n\xF0\x9F\x98\x80\r\n")));
        row("UTF-16 new key", utf16(QStringLiteral("[S]\r\na=1\r\n[T]\r\n")), "S", "b", "2",
            utf16(QStringLiteral("[S]\r\na=1\r\nb=2\r\n[T]\r\n")));
        row("UTF-16 new section", utf16(QStringLiteral("[S]\r\na=1")), "T", "b", "2",
            utf16(QStringLiteral("[S]\r\na=1\r\n[T]\r\nb=2\r\n")));
        row("UTF-16 mark only", "\xFF\xFE", "T", "b", "2", utf16(QStringLiteral("[T]\r\nb=2\r\n")));
    }

    void writeRules()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        if (exists)
            writeBytes(m_file, before);
        QVERIFY(IniFile::WritePrivateProfileString(section, key, value, m_file));
        QCOMPARE(readBytes(m_file), after);
    }

    void writeThenRead_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("word") << QByteArray("hello");
        QTest::newRow("number") << QByteArray("-12");
        QTest::newRow("inner blanks") << QByteArray("a \t b");
        QTest::newRow("semicolon") << QByteArray(";x");
        QTest::newRow("cp1252") << QByteArray("\x80\xFF\x81");
        QTest::newRow("empty") << QByteArray();
    }

    void writeThenRead()
    {
        QFETCH(QByteArray, value);
        const QByteArray files[] = {"", "[A]\r\nk=old\r\n", "[B]\nx=1\n[A]\nj=2\n",
                                    utf16(QStringLiteral("[A]\r\nk=1\r\n"))};
        for (const QByteArray& before : files) {
            writeBytes(m_file, before);
            QVERIFY(IniFile::WritePrivateProfileString("A", "k", value, m_file));
            QCOMPARE(read(m_file, "a", "K"), value);
            QCOMPARE(read(m_file, "B", "x", "none"), before.contains("[B]") ? "1" : "none");
        }
    }

    void missingFolderNotCreated()
    {
        const QString folder = m_dir.filePath(QStringLiteral("absent"));
        QVERIFY(!IniFile::WritePrivateProfileString("S", "k", "v", folder + "/x.ini"));
        QVERIFY(!QFileInfo::exists(folder));
    }

    void readOnlyFileRefused()
    {
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner | QFile::ReadGroup));
        QVERIFY(!IniFile::WritePrivateProfileString("S", "k", "2", m_file));
        QCOMPARE(readBytes(m_file), QByteArray("[S]\r\nk=1\r\n"));
        QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner));
    }

    void permissionsKept_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("0600") << 0600;
        QTest::newRow("0640") << 0640;
        QTest::newRow("0604") << 0604;
        QTest::newRow("0666") << 0666;
    }

    void permissionsKept()
    {
        QFETCH(int, mode);
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        QCOMPARE(::chmod(QFile::encodeName(m_file).constData(), static_cast<mode_t>(mode)), 0);
        QVERIFY(IniFile::WritePrivateProfileString("S", "k", "2", m_file));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(m_file).constData(), &info), 0);
        QCOMPARE(static_cast<int>(info.st_mode & 07777), mode);
        QCOMPARE(readBytes(m_file), QByteArray("[S]\r\nk=2\r\n"));
    }

    void replacesByRename()
    {
        // A second name for the old file keeps the old bytes: the new file
        // was written aside and renamed, never written over the old one.
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        const QString oldName = m_dir.filePath(QStringLiteral("old-link"));
        QFile::remove(oldName);
        QCOMPARE(
            ::link(QFile::encodeName(m_file).constData(), QFile::encodeName(oldName).constData()),
            0);
        QVERIFY(IniFile::WritePrivateProfileString("S", "k", "2", m_file));
        QCOMPARE(readBytes(m_file), QByteArray("[S]\r\nk=2\r\n"));
        QCOMPARE(readBytes(oldName), QByteArray("[S]\r\nk=1\r\n"));
        QVERIFY(QFile::remove(oldName));
        const QStringList left = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{QStringLiteral("test.ini")});
    }

    void symbolicLinkKept()
    {
        const QString target = m_dir.filePath(QStringLiteral("target.ini"));
        writeBytes(target, "[S]\r\nk=1\r\n");
        QVERIFY(QFile::link(target, m_file));
        QVERIFY(IniFile::WritePrivateProfileString("S", "k", "2", m_file));
        QVERIFY(QFileInfo(m_file).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("[S]\r\nk=2\r\n"));
        QVERIFY(QFile::remove(target));
    }

    void readOnlyFolderRefused()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
        const QString folder = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/x.ini");
        writeBytes(path, "[S]\r\nk=1\r\n");
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(!IniFile::WritePrivateProfileString("S", "k", "2", path));
        QVERIFY(
            !IniFile::WritePrivateProfileString("S", "k", "2", folder + QStringLiteral("/y.ini")));
        QVERIFY(
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(readBytes(path), QByteArray("[S]\r\nk=1\r\n"));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/y.ini")));
    }

    void uncPathMapped()
    {
        const QByteArray oldRoot = qgetenv("ZOR_UNC_ROOT");
        qputenv("ZOR_UNC_ROOT", QFile::encodeName(m_dir.path()));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("SRV/ZOR")));
        const QString dataPath = QStringLiteral("\\\\SRV\\ZOR\\supervis.ini");
        QVERIFY(IniFile::WritePrivateProfileString("Config", "Langue", "1", dataPath));
        QCOMPARE(readBytes(m_dir.filePath(QStringLiteral("SRV/ZOR/supervis.ini"))),
                 QByteArray("[Config]\r\nLangue=1\r\n"));
        QCOMPARE(read(dataPath, "config", "langue"), "1");
        QVERIFY(!IniFile::WritePrivateProfileString("S", "k", "v", "\\\\SRV\\NONE\\x.ini"));
        if (oldRoot.isNull())
            qunsetenv("ZOR_UNC_ROOT");
        else
            qputenv("ZOR_UNC_ROOT", oldRoot);
    }

    void readsGoToDiskOutsideScope()
    {
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        QCOMPARE(read(m_file, "S", "k"), "1");
        writeBytes(m_file, "[S]\r\nk=2\r\n");
        QCOMPARE(read(m_file, "S", "k"), "2");
    }

    void scopeReadsOnce()
    {
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        {
            IniFile::ReadScope scope;
            QCOMPARE(read(m_file, "S", "k"), "1");
            writeBytes(m_file, "[S]\r\nk=2\r\n"); // behind the module's back
            QCOMPARE(read(m_file, "S", "k"), "1");
            QVERIFY(QFile::remove(m_file));
            QCOMPARE(read(m_file, "S", "k"), "1");
        }
        QCOMPARE(read(m_file, "S", "k"), "default");
        writeBytes(m_file, "[S]\r\nk=3\r\n");
        IniFile::ReadScope scope;
        QCOMPARE(read(m_file, "S", "k"), "3");
    }

    void nestedScopes()
    {
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        IniFile::ReadScope outer;
        QCOMPARE(read(m_file, "S", "k"), "1");
        {
            IniFile::ReadScope inner;
            writeBytes(m_file, "[S]\r\nk=2\r\n");
            QCOMPARE(read(m_file, "S", "k"), "1");
        }
        QCOMPARE(read(m_file, "S", "k"), "1"); // the outer scope still holds the copy
    }

    void writeInScopeIsSeen_data()
    {
        QTest::addColumn<QString>("writePath");
        QTest::newRow("same path") << QStringLiteral("test.ini");
        QTest::newRow("other spelling") << QStringLiteral("./sub/../test.ini");
    }

    void writeInScopeIsSeen()
    {
        QFETCH(QString, writePath);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub")));
        writeBytes(m_file, "[S]\r\nk=1\r\n");
        IniFile::ReadScope scope;
        QCOMPARE(read(m_file, "S", "k"), "1");
        QVERIFY(IniFile::WritePrivateProfileString("S", "k", "2", m_dir.filePath(writePath)));
        QCOMPARE(read(m_file, "S", "k"), "2");
        QVERIFY(IniFile::WritePrivateProfileString("S", "n", "3", m_file));
        QCOMPARE(read(m_file, "S", "k"), "2");
        QCOMPARE(read(m_file, "S", "n"), "3");
    }

    void missingFileInScopeThenWritten()
    {
        IniFile::ReadScope scope;
        QCOMPARE(read(m_file, "S", "k"), "default");
        QVERIFY(IniFile::WritePrivateProfileString("S", "k", "v", m_file));
        QCOMPARE(read(m_file, "S", "k"), "v");
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
