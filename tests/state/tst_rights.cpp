#include "Rights.h"

#include <QSet>
#include <QTest>

using namespace AgentsList;

namespace {

Row rowWith(const QString& all, const QString& comment, const QString& change = {})
{
    Row row = makeRow(QStringLiteral("7"), QStringLiteral("Agent"));
    row.cells[ColRecordsAll] = all;
    row.cells[ColRecordsComment] = comment;
    row.cells[ColChangeState] = change;
    return row;
}

} // namespace

class TestRights : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The seven rights: every column 2 to 8 once, every record offset once.
    void table()
    {
        QSet<int> columns;
        QSet<int> offsets;
        for (const Rights::RightDef& right : Rights::Table) {
            columns.insert(right.column);
            offsets.insert(right.recordOffset);
        }
        QCOMPARE(columns, (QSet<int>{2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(offsets, (QSet<int>{160, 164, 168, 172, 176, 180, 184}));
    }

    void cells_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("granted");
        QTest::newRow("X") << QStringLiteral("X") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("lower x") << QStringLiteral("x") << false;
        QTest::newRow("blank before") << QStringLiteral(" X") << false;
    }
    void cells()
    {
        QFETCH(QString, cell);
        QTEST(Rights::isGranted(cell), "granted");
    }

    // Columns 8 and 9 read as a level: exactly "X" for the records, any text
    // for the files.
    void ficheLevels_data()
    {
        QTest::addColumn<QString>("all");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("filledLevel");
        QTest::newRow("all only") << QStringLiteral("X") << QString() << 2 << 2;
        QTest::newRow("comment only") << QString() << QStringLiteral("X") << 1 << 1;
        QTest::newRow("none") << QString() << QString() << 0 << 0;
        QTest::newRow("odd texts") << QStringLiteral("x") << QStringLiteral(" ") << 0 << 2;
        QTest::newRow("odd comment") << QString() << QStringLiteral("y") << 0 << 1;
    }
    void ficheLevels()
    {
        QFETCH(QString, all);
        QFETCH(QString, comment);
        const Row row = rowWith(all, comment);
        QTEST(Rights::ficheLevel(row), "level");
        QTEST(Rights::ficheLevelOfFilledCells(row), "filledLevel");
    }

    // A level into the cells: set writes both, grant writes only the "X".
    void ficheCells_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("setAll");
        QTest::addColumn<QString>("setComment");
        QTest::addColumn<QString>("grantAll");
        QTest::addColumn<QString>("grantComment");
        const QString x = QStringLiteral("X");
        const QString old = QStringLiteral("old");
        QTest::newRow("2") << 2 << x << x << x << x;
        QTest::newRow("1") << 1 << QString() << x << old << x;
        QTest::newRow("0") << 0 << QString() << QString() << old << old;
        QTest::newRow("3") << 3 << QString() << QString() << old << old;
    }
    void ficheCells()
    {
        QFETCH(int, level);
        const QString old = QStringLiteral("old");
        Row set = rowWith(old, old);
        Rights::setFicheLevel(set, level);
        QTEST(set.cells[ColRecordsAll], "setAll");
        QTEST(set.cells[ColRecordsComment], "setComment");
        Row granted = rowWith(old, old);
        Rights::grantFicheLevel(granted, level);
        QTEST(granted.cells[ColRecordsAll], "grantAll");
        QTEST(granted.cells[ColRecordsComment], "grantComment");
    }

    void fileValues_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("granted");
        QTest::addColumn<int>("level");
        QTest::newRow("1") << QByteArray("1") << true << 1;
        QTest::newRow("2") << QByteArray("2") << false << 2;
        QTest::newRow("empty") << QByteArray() << false << 0;
        QTest::newRow("01") << QByteArray("01") << false << 0;
    }
    void fileValues()
    {
        QFETCH(QByteArray, value);
        QTEST(Rights::isGrantedInFile(value), "granted");
        QTEST(Rights::ficheLevelInFile(value), "level");
    }

    // The change state: the code of the row, and the flags merged into it.
    void changes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("rights");
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("withRights");
        QTest::addColumn<QString>("withPassword");
        QTest::newRow("none") << "" << false << false << "1"
                              << "2";
        QTest::newRow("1") << "1" << true << false << "1"
                           << "3";
        QTest::newRow("2") << "2" << false << true << "3"
                           << "2";
        QTest::newRow("3") << "3" << true << true << "3"
                           << "3";
        QTest::newRow("other text") << "4" << false << false << "1"
                                    << "2";
    }
    void changes()
    {
        QFETCH(QString, code);
        const Rights::Change change = Rights::changeOf(code);
        QTEST(change.rights, "rights");
        QTEST(change.password, "password");
        for (const auto& [merged, column] :
             {std::pair{Rights::Change{true, false}, "withRights"},
              std::pair{Rights::Change{false, true}, "withPassword"}}) {
            Row row = rowWith({}, {}, code);
            Rights::mergeChange(row, merged);
            QTEST(row.cells[ColChangeState], column);
        }
        Row row = rowWith({}, {}, code);
        Rights::mergeChange(row, {});
        QCOMPARE(row.cells[ColChangeState], Rights::changeCode(change));
    }
};

QTEST_GUILESS_MAIN(TestRights)
#include "tst_rights.moc"
