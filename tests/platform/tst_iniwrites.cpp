// How INI writes meet the file system: owners and groups kept, a folder that
// refuses new files, failures that name the file and the system's reason, and
// several keys written with one replace.

#include "IniFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using TestFiles::utf16;
using Writes = std::vector<IniFile::KeyWrite>;

Q_DECLARE_METATYPE(Writes)

namespace {

// Owners that no account of a test machine uses, and the unprivileged user.
constexpr uid_t OtherUser = 4321;
constexpr gid_t OtherGroup = 4322;
constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

struct stat statOf(const QString& path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

bool setOwner(const QString& path, uid_t user, gid_t group)
{
    return ::chown(QFile::encodeName(path).constData(), user, group) == 0;
}

// While it lives, the process checks file access as another user: a test run
// by root then meets the refusals an ordinary user meets.
class ActingAs
{
public:
    ActingAs(uid_t user, gid_t group) { m_ok = ::setegid(group) == 0 && ::seteuid(user) == 0; }
    ~ActingAs()
    {
        if (::seteuid(0) != 0 || ::setegid(0) != 0)
            qFatal("cannot become root again");
    }
    ActingAs(const ActingAs&) = delete;
    ActingAs& operator=(const ActingAs&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

} // namespace

class TestIniWrites : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder; // a folder others may enter
    QString m_file;

    static bool isRoot() { return ::geteuid() == 0; }

    // Writes a key of the file as a user the folder refuses new files to.
    IniFile::WriteResult writeWhereFolderRefuses()
    {
        std::optional<ActingAs> nobody; // root's folder is 0755: others may not create
        if (isRoot())
            nobody.emplace(Nobody, NoGroup);
        else
            setMode(m_folder, 0555);
        if (nobody && !nobody->ok())
            return {EPERM, m_file, u"cannot act as another user"_s};
        return IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", m_file);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(setMode(m_dir->path(), 0755));
        m_folder = m_dir->filePath(u"shared"_s);
        QVERIFY(QDir().mkdir(m_folder));
        QVERIFY(setMode(m_folder, 0755));
        m_file = m_folder + u"/agent001.ini"_s;
    }

    void cleanup()
    {
        setMode(m_folder, 0755); // so that the folder can be removed
        m_dir.reset();
    }

    // A rewrite writes the new file aside and renames it over the old one (a
    // second link keeps the old bytes, no temporary file is left), with the
    // file's owner, group and permissions.
    void replaceKeepsOwnerAndMode()
    {
        QVERIFY(TestFiles::write(m_file, "[SUPER]\r\nDroit_Stat=1\r\n"));
        if (isRoot())
            QVERIFY(setOwner(m_file, OtherUser, OtherGroup));
        QVERIFY(setMode(m_file, 0604));
        const QString oldLink = m_dir->filePath(u"old"_s);
        QVERIFY(::link(QFile::encodeName(m_file).constData(),
                       QFile::encodeName(oldLink).constData()) == 0);
        QVERIFY(IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", m_file));
        const struct stat after = statOf(m_file);
        QCOMPARE(after.st_mode & 07777, mode_t(0604));
        if (isRoot()) {
            QCOMPARE(after.st_uid, OtherUser);
            QCOMPARE(after.st_gid, OtherGroup);
        }
        QCOMPARE(TestFiles::read(m_file), "[SUPER]\r\nDroit_Stat=0\r\n");
        QCOMPARE(TestFiles::read(oldLink), "[SUPER]\r\nDroit_Stat=1\r\n");
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"agent001.ini"_s});
    }

    // An owner the process may not give away is no failure: the file is
    // replaced and belongs to the writer, as any new file would.
    void ownerNotSettable()
    {
        if (!isRoot())
            QSKIP("a file of another owner in a folder of ours needs root to set up");
        QVERIFY(setOwner(m_folder, Nobody, NoGroup));
        QVERIFY(TestFiles::write(m_file, "[SUPER]\r\nDroit_Stat=1\r\n"));
        QVERIFY(setOwner(m_file, OtherUser, OtherGroup));
        QVERIFY(setMode(m_file, 0666));
        IniFile::WriteResult result;
        {
            ActingAs nobody(Nobody, NoGroup);
            QVERIFY(nobody.ok());
            result = IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", m_file);
        }
        QVERIFY2(result, qPrintable(result.reason));
        QCOMPARE(TestFiles::read(m_file), "[SUPER]\r\nDroit_Stat=0\r\n");
        QCOMPARE(statOf(m_file).st_uid, Nobody);
        QCOMPARE(statOf(m_file).st_mode & 07777, mode_t(0666));
    }

    // A folder that refuses new files, holding a file that may be written:
    // the file is written in place (the same inode holds the new bytes).
    void inPlaceWhenFolderRefuses()
    {
        QVERIFY(TestFiles::write(m_file, "; kept\r\n[SUPER]\r\nDroit_Stat=1\r\n"));
        QVERIFY(setMode(m_file, 0666));
        const ino_t before = statOf(m_file).st_ino;
        const IniFile::WriteResult result = writeWhereFolderRefuses();
        QVERIFY2(result, qPrintable(result.reason));
        QCOMPARE(statOf(m_file).st_ino, before);
        QCOMPARE(TestFiles::read(m_file), "; kept\r\n[SUPER]\r\nDroit_Stat=0\r\n");
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"agent001.ini"_s});
    }

    // The same folder without the file: nothing to write in place.
    void noNewFileWhenFolderRefuses()
    {
        const IniFile::WriteResult result = writeWhereFolderRefuses();
        QVERIFY(!result);
        QCOMPARE(result.error, EACCES);
        QCOMPARE(result.file, QDir::toNativeSeparators(m_file));
        QVERIFY(!QFile::exists(m_file));
    }

    // Situations that fail for every user, root included.
    void failures_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << u"missing folder"_s << ENOENT;
        QTest::newRow("folder replaced by a file") << u"folder is a file"_s << ENOTDIR;
        QTest::newRow("file path is a folder") << u"file is a folder"_s << EISDIR;
        QTest::newRow("read-only file") << u"read-only file"_s << EACCES;
    }

    void failures()
    {
        QFETCH(QString, setUp);
        QFETCH(int, error);
        QString file = m_file;
        const QByteArray readOnly = "[SUPER]\r\nDroit_Stat=1\r\n";
        if (setUp == u"missing folder") {
            file = m_folder + u"/absent/agent001.ini"_s;
        } else if (setUp == u"folder is a file") {
            QVERIFY(TestFiles::write(m_folder + u"/plain"_s, "x"));
            file = m_folder + u"/plain/agent001.ini"_s;
        } else if (setUp == u"file is a folder") {
            QVERIFY(QDir().mkdir(m_file));
        } else {
            QVERIFY(TestFiles::write(m_file, readOnly));
            QVERIFY(setMode(m_file, 0444));
        }
        const IniFile::WriteResult result =
            IniFile::WritePrivateProfileString("SUPER", "Droit_Stat", "0", file);
        QVERIFY(!result);
        QCOMPARE(result.error, error);
        QCOMPARE(result.file, QDir::toNativeSeparators(file));
        QCOMPARE(result.reason, qt_error_string(error));
        if (setUp == u"read-only file")
            QCOMPARE(TestFiles::read(m_file), readOnly);
        QVERIFY(!QFile::exists(m_folder + u"/absent"_s));
        const QStringList left =
            QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.size() <= 1, qPrintable(left.join(u' '))); // no temporary file left
    }

    // Several keys with one replace leave exactly the bytes that writing them
    // one by one leaves.
    void batchEqualsKeyByKey_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<Writes>("writes");
        const Writes settings{{"CONFIG", "mot_de_passe", "YI4I/MNH<H(L"},
                              {"CONFIG", "TauxActiviteT1", " 30"},
                              {"CONFIG", "langue", " 0"},
                              {"CONFIG", "ModeLieApp", "cscript a.vbs"},
                              {"FRAME", "CouleurTxBas", " 255"},
                              {"FRAME", "CouleurGrFile", "-5"}};
        const Writes rights{{"SUPER", "Droit_Modif_Group", "1"},
                            {"SUPER", "Droit_Stat", "0"},
                            {"SUPER", "Droit_Modif_Fiche", "2"},
                            {"CONFIG", "mot_de_passe", ""}};
        QTest::newRow("no file") << QByteArray() << settings;
        QTest::newRow("existing keys, other spelling")
            << QByteArray("[config]\r\n TAUXactiviteT1 = 12 \r\nlangue=3\r\n[Frame]\r\n"
                          "couleurgrfile=1\r\n")
            << settings;
        QTest::newRow("missing sections") << QByteArray("[OTHER]\r\nx=1\r\n") << settings;
        QTest::newRow("no final line break") << QByteArray("[SUPER]\r\nDroit_Stat=1") << rights;
        QTest::newRow("comments, blank lines, copies")
            << QByteArray("; head\r\n\r\n[SUPER]\r\n;Droit_Stat=9\r\nword\r\n\r\n[CONFIG]\r\n"
                          "[SUPER]\r\nDroit_Stat=8\r\n")
            << rights;
        QTest::newRow("LF and CR line ends")
            << QByteArray("[SUPER]\nDroit_Stat=1\n[CONFIG]\rmot_de_passe=x\r") << rights;
        QTest::newRow("UTF-16LE") << utf16("[SUPER]\r\n; é中\r\nDroit_Stat=1\r\n") << rights;
        QTest::newRow("UTF-16LE, no line break") << utf16("[CONFIG]\r\nlangue=1") << settings;
        QTest::newRow("same key twice")
            << QByteArray("[S]\r\n")
            << Writes{{"S", "k", "1"}, {"S", "K", "2"}, {"T", "k", "3"}, {"S", "j", ""}};
    }

    void batchEqualsKeyByKey()
    {
        QFETCH(QByteArray, before);
        QFETCH(Writes, writes);
        const QString oneByOne = m_folder + u"/one.ini"_s;
        if (!before.isNull()) {
            QVERIFY(TestFiles::write(oneByOne, before));
            QVERIFY(TestFiles::write(m_file, before));
        }
        for (const IniFile::KeyWrite& w : writes)
            QVERIFY(IniFile::WritePrivateProfileString(w.section, w.key, w.value, oneByOne));
        QVERIFY(IniFile::WritePrivateProfileStrings(writes, m_file));
        QCOMPARE(TestFiles::read(m_file), TestFiles::read(oneByOne));
    }
};

QTEST_GUILESS_MAIN(TestIniWrites)
#include "tst_iniwrites.moc"
