// The help file reader: the parsing of the context map, the string table and
// the system records on bytes, then the reader on the help files the build
// compiled and on damaged copies of them.

#include "ChmArchive.h"
#include "ChmFixtures.h"
#include "HelpIndex.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using HelpIndex::Failure;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(HelpIndex::Failure)
Q_DECLARE_METATYPE(ChmFixtures::Field)

// The step of reading a topic at which a damaged file must fail.
enum class Stage
{
    Open,
    Lookup,
    Read
};
Q_DECLARE_METATYPE(Stage)

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A context map of (context, offset) pairs with its true length.
QByteArray ivbOf(std::initializer_list<std::pair<quint32, quint32>> pairs)
{
    QByteArray bytes = le32(quint32(pairs.size() * 8));
    for (const auto& [context, offset] : pairs)
        bytes += le32(context) + le32(offset);
    return bytes;
}

QByteArray systemRecord(quint16 code, const QByteArray& data)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(code, bytes.data());
    qToLittleEndian(quint16(data.size()), bytes.data() + 2);
    return bytes + data;
}

// A string table as chmcmd 3.2.2 writes it: a NUL, then absolute build paths.
const QByteArray Strings = "\0/home/build/help/en/login.htm\0html\\general.htm\0\0"_ba;
constexpr quint32 LoginOffset = 1, GeneralOffset = 31, EmptyOffset = 49;

const QSet<QString> Entries = {u"/login.htm"_s, u"/html/general.htm"_s, u"/index.htm"_s};

bool inEntries(const QString& path)
{
    return Entries.contains(path);
}

// The links, pictures and style sheets a page refers to, without web links
// and anchors inside the page.
QStringList referencesOf(const QString& page)
{
    static const QRegularExpression reference(u"(?:href|src)=\"([^\"#:]+)"_s);
    QStringList found;
    for (auto it = reference.globalMatch(page); it.hasNext();)
        found.append(it.next().captured(1));
    return found;
}

} // namespace

class TestHelpReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void contextMap_data();
    void contextMap();
    void defaultTopicRecord_data();
    void defaultTopicRecord();
    void candidatePaths_data();
    void candidatePaths();
    void topicLookup_data();
    void topicLookup();
    void compiledTopics_data();
    void compiledTopics();
    void refusedFiles_data();
    void refusedFiles();
    void damagedEntries_data();
    void damagedEntries();
};

void TestHelpReader::contextMap_data()
{
    QTest::addColumn<QByteArray>("ivb");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("entries");
    QTest::addColumn<quint32>("firstContext");

    QTest::newRow("seven pairs")
        << ivbOf({{110, 1}, {120, 2}, {121, 3}, {122, 4}, {123, 5}, {130, 6}, {204, 7}})
        << Failure::None << 7 << 110u;
    QTest::newRow("zero length") << le32(0) << Failure::None << 0 << 0u;
    QTest::newRow("bytes after the pairs")
        << ivbOf({{204, 9}}) + "tail"_ba << Failure::None << 1 << 204u;
    QTest::newRow("empty") << QByteArray() << Failure::Damaged << 0 << 0u;
    QTest::newRow("length field cut") << "\x08\0\0"_ba << Failure::Damaged << 0 << 0u;
    QTest::newRow("huge length") << le32(0xFFFFFFFF) + ivbOf({{110, 1}}).sliced(4)
                                 << Failure::Damaged << 0 << 0u;
    QTest::newRow("length past the data")
        << le32(16) + le32(110) + le32(1) << Failure::Damaged << 0 << 0u;
    QTest::newRow("half a pair") << le32(12) + le32(110) + le32(1) + le32(120) << Failure::Damaged
                                 << 0 << 0u;
}

void TestHelpReader::contextMap()
{
    QFETCH(QByteArray, ivb);
    QFETCH(Failure, failure);
    QFETCH(int, entries);
    QFETCH(quint32, firstContext);

    QList<HelpIndex::ContextEntry> parsed;
    const HelpIndex::Problem problem = HelpIndex::parseContextMap(ivb, &parsed);
    QCOMPARE(problem.failure, failure);
    QCOMPARE(problem.detail.isEmpty(), failure == Failure::None);
    QCOMPARE(parsed.size(), entries);
    if (entries > 0)
        QCOMPARE(parsed.first().context, firstContext);
}

void TestHelpReader::defaultTopicRecord_data()
{
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QByteArray>("name");

    const QByteArray version = le32(3);
    QTest::newRow("default topic")
        << version + systemRecord(3, "Title\0"_ba) + systemRecord(2, "index.htm\0"_ba)
        << Failure::None << "index.htm"_ba;
    QTest::newRow("first of two") << version + systemRecord(2, "a.htm\0"_ba) +
                                         systemRecord(2, "b.htm\0"_ba)
                                  << Failure::None << "a.htm"_ba;
    QTest::newRow("no end mark") << version + systemRecord(2, "a.htm"_ba) << Failure::None
                                 << "a.htm"_ba;
    QTest::newRow("none") << version + systemRecord(3, "Title\0"_ba) << Failure::None
                          << QByteArray();
    QTest::newRow("version cut") << "\3\0"_ba << Failure::Damaged << QByteArray();
    QTest::newRow("record header cut") << version + "\2\0"_ba << Failure::Damaged << QByteArray();
    QTest::newRow("record past the data")
        << version + systemRecord(2, "index.htm\0"_ba).first(8) << Failure::Damaged << QByteArray();
}

void TestHelpReader::defaultTopicRecord()
{
    QFETCH(QByteArray, system);
    QFETCH(Failure, failure);
    QFETCH(QByteArray, name);

    QByteArray found;
    QCOMPARE(HelpIndex::defaultTopicName(system, &found).failure, failure);
    QCOMPARE(found, name);
}

void TestHelpReader::candidatePaths_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("relative") << "login.htm"_ba << QStringList{u"/login.htm"_s};
    QTest::newRow("absolute build path")
        << "/srv/b/en/login.htm"_ba
        << QStringList{u"/srv/b/en/login.htm"_s, u"/b/en/login.htm"_s, u"/en/login.htm"_s,
                       u"/login.htm"_s};
    QTest::newRow("backslashes") << "html\\login.htm"_ba
                                 << QStringList{u"/html/login.htm"_s, u"/login.htm"_s};
    QTest::newRow("doubled separators")
        << "//a//b.htm"_ba << QStringList{u"/a/b.htm"_s, u"/b.htm"_s};
    QTest::newRow("anchor") << "a/b.htm#part"_ba << QStringList{u"/a/b.htm"_s, u"/b.htm"_s};
    QTest::newRow("code page 1252") << "r\xE9glages.htm"_ba << QStringList{u"/réglages.htm"_s};
    QTest::newRow("UTF-8") << "r\xC3\xA9glages.htm"_ba << QStringList{u"/réglages.htm"_s};
    QTest::newRow("separators only") << "/\\/"_ba << QStringList{};
    const QByteArray longest(HelpIndex::MaxNameBytes, 'a');
    QTest::newRow("longest name") << longest << QStringList{u'/' + QString::fromLatin1(longest)};
    QTest::newRow("overlong name") << longest + "/b.htm"_ba << QStringList{};
}

void TestHelpReader::candidatePaths()
{
    QFETCH(QByteArray, name);
    QFETCH(QStringList, paths);

    QCOMPARE(HelpIndex::candidatePaths(name), paths);
}

void TestHelpReader::topicLookup_data()
{
    QTest::addColumn<QByteArray>("ivb");
    QTest::addColumn<quint32>("context");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("path");

    const QByteArray map = ivbOf({{110, LoginOffset},
                                  {121, GeneralOffset},
                                  {122, 2000},
                                  {123, EmptyOffset},
                                  {130, quint32(Strings.size())},
                                  {204, 0xFFFFFFFF}});
    QTest::newRow("build path resolved") << map << 110u << Failure::None << u"/login.htm"_s;
    QTest::newRow("folder kept") << map << 121u << Failure::None << u"/html/general.htm"_s;
    QTest::newRow("unknown context") << map << 999u << Failure::UnknownContext << QString();
    QTest::newRow("offset outside the strings") << map << 122u << Failure::Damaged << QString();
    QTest::newRow("empty string") << map << 123u << Failure::Damaged << QString();
    QTest::newRow("offset at the end") << map << 130u << Failure::Damaged << QString();
    QTest::newRow("huge offset") << map << 204u << Failure::Damaged << QString();
    QTest::newRow("first entry counts") << ivbOf({{110, GeneralOffset}, {110, LoginOffset}}) << 110u
                                        << Failure::None << u"/html/general.htm"_s;
    QTest::newRow("empty map") << le32(0) << 110u << Failure::UnknownContext << QString();
    QTest::newRow("offset inside a string")
        << ivbOf({{110, LoginOffset + 20}}) << 110u << Failure::None << u"/login.htm"_s;
    QTest::newRow("topic missing")
        << ivbOf({{130, LoginOffset + 25}}) << 130u << Failure::TopicMissing << QString();
    QTest::newRow("damaged map") << le32(800) << 110u << Failure::Damaged << QString();
}

void TestHelpReader::topicLookup()
{
    QFETCH(QByteArray, ivb);
    QFETCH(quint32, context);
    QFETCH(Failure, failure);
    QFETCH(QString, path);

    HelpIndex::Topic topic;
    QCOMPARE(HelpIndex::topicForContext(ivb, Strings, context, inEntries, &topic).failure, failure);
    QCOMPARE(topic.path, path);
}

void TestHelpReader::compiledTopics_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("context"); // -1: the file's default topic
    QTest::addColumn<QString>("path");

    for (int language = 0; language < 3; ++language) {
        for (const ChmFixtures::ContextTopic& row : ChmFixtures::Contexts) {
            QTest::addRow("Zor_Hp%02d context %d", language, row.context)
                << language << row.context << QString::fromLatin1(row.path);
        }
        QTest::addRow("Zor_Hp%02d default topic", language) << language << -1 << u"/index.htm"_s;
    }
}

// Every context of the windows opens its topic in each compiled file, and
// every link, picture and style sheet of the topic is in the file.
void TestHelpReader::compiledTopics()
{
    QFETCH(int, language);
    QFETCH(int, context);
    QFETCH(QString, path);

    ChmArchive archive;
    QCOMPARE(archive.open(ChmFixtures::compiledFile(language)).failure, Failure::None);
    HelpIndex::Topic topic;
    const HelpIndex::Problem problem = context < 0
                                           ? archive.defaultTopic(&topic)
                                           : archive.topicForContext(quint32(context), &topic);
    QCOMPARE(problem.detail, QString());
    QCOMPARE(topic.path, path);
    QByteArray bytes;
    QCOMPARE(archive.read(topic.path, &bytes).failure, Failure::None);
    const QString page = QString::fromUtf8(bytes);
    QVERIFY(page.contains(u"</html>"_s));
    static const QRegularExpression title(u"<title>[^<]+</title>"_s);
    QVERIFY(title.match(page).hasMatch());
    const QStringList references = referencesOf(page);
    QVERIFY(!references.isEmpty()); // every topic links its style sheet
    for (const QString& reference : references)
        QVERIFY2(archive.contains(u'/' + reference), qPrintable(reference));
}

void TestHelpReader::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("reason"); // a word of the failure's detail, if any

    using ChmFixtures::patched32;
    const auto damaged = [](const char* name, const QByteArray& bytes, const QString& reason = {}) {
        QTest::newRow(name) << bytes << Failure::Damaged << reason;
    };
    // The English file has one listing chunk, chunk 0, and no index chunk.
    const QByteArray file = ChmFixtures::readAll(ChmFixtures::compiledFile(1));
    const auto header = [&file](qsizetype at, quint64 value) {
        QByteArray bytes = file;
        if (at < 0x10)
            qToLittleEndian(quint32(value), bytes.data() + at);
        else
            qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    QTest::newRow("missing") << QByteArray() << Failure::Missing << QString();
    QTest::newRow("empty") << QByteArray("") << Failure::NotChm << QString();
    QTest::newRow("text") << "<html>not a help file</html>"_ba << Failure::NotChm << QString();
    QTest::newRow("signature") << header(0, 0x46535449 + 1) << Failure::NotChm << QString();
    QTest::newRow("version") << header(4, 7) << Failure::NotChm << QString();
    damaged("signature only", "ITSF"_ba, u"shorter"_s);
    damaged("header cut", file.first(0x40), u"shorter"_s);
    damaged("header only", file.first(0x60));
    damaged("header length short", header(8, 0x20), u"header length"_s);
    damaged("header length huge", header(8, 0xFFFFFFFF), u"header length"_s);
    damaged("section offset huge", header(0x38, ~0ull), u"section 0"_s);
    damaged("section length huge", header(0x40, ~0ull), u"section 0"_s);
    damaged("directory offset wraps", header(0x48, ~0ull - 8), u"directory outside"_s);
    damaged("directory length huge", header(0x50, ~0ull), u"directory outside"_s);
    damaged("content offset huge", header(0x58, ~0ull), u"content offset"_s);
    damaged("directory zeroed", QByteArray(file).replace(0x78, 0x1000, QByteArray(0x1000, '\0')));
    for (int language = 0; language < 3; ++language) {
        const QByteArray whole = ChmFixtures::readAll(ChmFixtures::compiledFile(language));
        for (int sixteenths = 1; sixteenths < 16; ++sixteenths)
            QTest::addRow("Zor_Hp%02d cut at %d/16", language, sixteenths)
                << whole.first(whole.size() * sixteenths / 16) << Failure::Damaged << QString();
    }

    const qsizetype itsp = qsizetype(qFromLittleEndian<quint64>(file.constData() + 0x48));
    const qsizetype chunk = itsp + 0x54;
    damaged("directory signature", patched32(file, itsp, 0), u"header"_s);
    damaged("chunk size huge", patched32(file, itsp + 0x10, 0x7FFFFFFF), u"chunks"_s);
    damaged("chunk count huge", patched32(file, itsp + 0x2C, 0xFFFFFF), u"chunks"_s);
    damaged("index root outside", patched32(file, itsp + 0x1C, 5), u"outside"_s);
    damaged("first listing outside", patched32(file, itsp + 0x20, 1), u"outside"_s);
    damaged("free space past the chunk", patched32(file, chunk + 4, 0x2000), u"malformed"_s);
    damaged("listing chunk follows itself", patched32(file, chunk + 0x10, 0), u"loop"_s);
    damaged("next chunk outside", patched32(file, chunk + 0x10, 9), u"malformed"_s);
    // Chunk 0 made an index chunk whose one entry, name "a", points back to it.
    QByteArray index = patched32(patched32(file, itsp + 0x1C, 0), chunk, 0x49474D50); // "PMGI"
    index = patched32(index, chunk + 4, 0x1000 - 8 - 3);
    index.replace(chunk + 8, 3, QByteArray("\1a\0", 3));
    damaged("index chunk points to itself", index, u"loop"_s);

    const qsizetype control =
        ChmFixtures::entryStart(file, "::dataspace/storage/mscompressed/controldata");
    const qsizetype reset = ChmFixtures::entryStart(
        file, "::dataspace/storage/mscompressed/transform/"
              "{7fc28940-9d31-11d0-9b27-00a0c91e9c7c}/instancedata/resettable");
    damaged("compression window 0", patched32(file, control + 0x10, 0), u"window"_s);
    damaged("compression window 2 GiB", patched32(file, control + 0x10, 0x10000), u"window"_s);
    damaged("reset interval 0", patched32(file, control + 0x0C, 0), u"reset interval"_s);
    damaged("windows per reset 0", patched32(file, control + 0x14, 0), u"reset interval"_s);
    damaged("reset table block length 2 GiB", patched32(file, reset + 0x20, 0x80000000),
            u"reset table"_s);
    damaged("reset table blocks past the table", patched32(file, reset + 4, 0xFFFFFF),
            u"reset table"_s);
}

// Files that are missing, not help files, cut short anywhere, or whose
// directory pointers loop or leave their chunks, or whose compressed space
// has tables chmlib would size its buffers from, are refused when opened,
// before chmlib reads them.
void TestHelpReader::refusedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Failure, failure);
    QFETCH(QString, reason);

    const QString path = m_dir.filePath(u"refused.chm"_s);
    QFile::remove(path);
    if (!bytes.isNull())
        QVERIFY(ChmFixtures::writeAll(path, bytes));
    ChmArchive archive;
    const HelpIndex::Problem problem = archive.open(path);
    QCOMPARE(problem.failure, failure);
    QVERIFY(!problem.detail.isEmpty());
    QVERIFY2(problem.detail.contains(reason), qPrintable(problem.detail));
    QVERIFY(!archive.isOpen());
}

void TestHelpReader::damagedEntries_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<ChmFixtures::Field>("field");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<int>("context");
    QTest::addColumn<Stage>("failingStage");

    using ChmFixtures::Field;
    const QByteArray stream = "::DataSpace/Storage/MSCompressed/Content"_ba;
    QTest::newRow("compressed stream at a wrong offset")
        << stream << Field::Offset << ~quint64(0) << 110 << Stage::Open;
    QTest::newRow("compressed stream of huge length")
        << stream << Field::Length << ~quint64(0) << 110 << Stage::Open;
    QTest::newRow("context map at a wrong offset")
        << "/#IVB"_ba << Field::Offset << quint64(100) << 110 << Stage::Lookup;
    QTest::newRow("context map of zero length")
        << "/#IVB"_ba << Field::Length << quint64(0) << 110 << Stage::Lookup;
    QTest::newRow("context map of 2 bytes")
        << "/#IVB"_ba << Field::Length << quint64(2) << 110 << Stage::Lookup;
    QTest::newRow("string table of zero length")
        << "/#STRINGS"_ba << Field::Length << quint64(0) << 110 << Stage::Lookup;
    QTest::newRow("string table at a wrong offset")
        << "/#STRINGS"_ba << Field::Offset << ~quint64(0) << 110 << Stage::Lookup;
    QTest::newRow("topic of huge length")
        << "/rights.htm"_ba << Field::Length << ~quint64(0) << 130 << Stage::Read;
}

// Entries whose offset or length is wrong give a clear failure at the first
// step that uses them: opening the file, looking the context up, or reading
// the topic.
void TestHelpReader::damagedEntries()
{
    QFETCH(QByteArray, entry);
    QFETCH(ChmFixtures::Field, field);
    QFETCH(quint64, value);
    QFETCH(int, context);
    QFETCH(Stage, failingStage);

    QByteArray file = ChmFixtures::readAll(ChmFixtures::compiledFile(1));
    QVERIFY(ChmFixtures::rewriteEntry(&file, entry, field, value));
    const QString path = m_dir.filePath(u"damaged.chm"_s);
    QVERIFY(ChmFixtures::writeAll(path, file));

    auto expected = [&](Stage stage) {
        return stage == failingStage ? Failure::Damaged : Failure::None;
    };
    ChmArchive archive;
    HelpIndex::Problem problem = archive.open(path);
    QCOMPARE(problem.failure, expected(Stage::Open));
    QCOMPARE(problem.detail.isEmpty(), failingStage != Stage::Open);
    if (failingStage == Stage::Open)
        return;
    HelpIndex::Topic topic;
    problem = archive.topicForContext(quint32(context), &topic);
    QCOMPARE(problem.failure, expected(Stage::Lookup));
    QCOMPARE(problem.detail.isEmpty(), failingStage != Stage::Lookup);
    if (failingStage == Stage::Lookup)
        return;
    QByteArray page;
    problem = archive.read(topic.path, &page);
    QCOMPARE(problem.failure, Failure::Damaged);
    QVERIFY(problem.detail.contains(QString::fromLatin1(entry)));
    QVERIFY(page.isEmpty());
}

QTEST_GUILESS_MAIN(TestHelpReader)
#include "tst_helpreader.moc"
