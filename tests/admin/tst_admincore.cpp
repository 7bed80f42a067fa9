// The pieces zoradm is built from: the CSV reader, the supervisor option
// rules, the rights cells as numbers, the agents' CSV and the agent lists.
#include "AdminCommandLine.h"
#include "AgentsCsv.h"
#include "Csv.h"
#include "FixedAgents.h"
#include "RightsCells.h"
#include "SupervisorRules.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Cells = QStringList; // columns 2 to 10 of a row

namespace {

AgentsList::Row rowWith(const Cells& cells)
{
    AgentsList::Row row = AgentsList::makeRow(QStringLiteral("7"), QString());
    for (qsizetype i = 0; i < cells.size(); ++i)
        row.cells[std::size_t(AgentsList::ColChangeGroup + i)] = cells[i];
    return row;
}

Cells cellsOf(const AgentsList::Row& row)
{
    Cells cells;
    for (int column = AgentsList::ColChangeGroup; column < AgentsList::ColumnCount; ++column)
        cells << row.cells[std::size_t(column)];
    return cells;
}

QList<QStringList> texts(const QList<Csv::Record>& records)
{
    QList<QStringList> all;
    for (const Csv::Record& record : records) {
        QStringList fields;
        for (const Csv::Field& field : record.fields)
            fields << field.text;
        all << fields;
    }
    return all;
}

} // namespace

class TestAdminCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvRead_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<QList<int>>("lines");
        QTest::newRow("CRLF, LF and CR; blank lines skipped")
            << QByteArray("\r\n\r\na,b\r\nc\n\nd,\re\r\n\r\n")
            << QList<QStringList>{{"a", "b"}, {"c"}, {"d", ""}, {"e"}} << QList<int>{3, 4, 6, 7};
        QTest::newRow("quotes") << QByteArray("\"a,b\",\"c\"\"d\",\"\"")
                                << QList<QStringList>{{"a,b", "c\"d", ""}} << QList<int>{1};
        QTest::newRow("line break in quotes")
            << QByteArray("\"x\r\ny\",z\r\nw") << QList<QStringList>{{"x\r\ny", "z"}, {"w"}}
            << QList<int>{1, 3};
        QTest::newRow("byte-order mark, UTF-8 text kept")
            << QByteArray("\xEF\xBB\xBF"
                          "Andr\xC3\xA9 ,x")
            << QList<QStringList>{{"André ", "x"}} << QList<int>{1};
    }
    void csvRead()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QStringList>, records);
        QFETCH(QList<int>, lines);
        const Csv::Result result = Csv::Read(input);
        const auto* read = std::get_if<QList<Csv::Record>>(&result);
        QVERIFY(read);
        QCOMPARE(texts(*read), records);
        QList<int> found;
        for (const Csv::Record& record : *read)
            found << record.line;
        QCOMPARE(found, lines);
    }

    void csvErrors_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("message");
        QTest::newRow("unclosed quote") << QByteArray("a\r\nb,\"c\r\nd") << 2 << 3 << "not closed";
        QTest::newRow("text after a closing quote")
            << QByteArray("\"a\"b") << 1 << 4 << "only a comma";
        QTest::newRow("quote inside a field") << QByteArray("ab\"c") << 1 << 3 << "quote inside";
        QTest::newRow("field too long") << QByteArray(1025, 'x') << 1 << 1 << "longer than 1024";
        QTest::newRow("line too long")
            << (QByteArray(1000, 'a') + ',').repeated(5) << 1 << 4097 << "line is longer";
        QTest::newRow("too many fields")
            << QByteArray(",").repeated(70) << 1 << 65 << "more than 64";
        QTest::newRow("not UTF-8") << QByteArray("a\r\n\xFF") << 2 << 1 << "not UTF-8";
        QTest::newRow("NUL byte") << QByteArray("a,b\0c", 5) << 1 << 3 << "not UTF-8";
    }
    void csvErrors()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, message);
        const Csv::Result result = Csv::Read(input);
        const auto* error = std::get_if<Csv::Error>(&result);
        QVERIFY(error);
        QCOMPARE(error->line, line);
        QCOMPARE(error->column, column);
        QVERIFY2(error->message.contains(message), qPrintable(error->message));
    }

    void colours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("colour"); // -1: refused
        QTest::newRow("red") << "#FF0000" << 255;
        QTest::newRow("lower case blue") << "#0000ff" << 16711680;
        QTest::newRow("number") << "65280" << 65280;
        QTest::newRow("white number") << "16777215" << 16777215;
        QTest::newRow("too large") << "16777216" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("five digits") << "#12345" << -1;
        QTest::newRow("not hex") << "#GG0000" << -1;
    }
    void colours()
    {
        QFETCH(QString, text);
        QFETCH(int, colour);
        QCOMPARE(SupervisorRules::ParseColour(text).value_or(-1), colour);
        if (colour >= 0 && text.startsWith(u'#'))
            QCOMPARE(SupervisorRules::ColourText(colour), text.toUpper());
    }

    void set_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored"); // empty: refused
        auto row = [](const char* name, const char* key, const QString& value, const char* stored) {
            QTest::newRow(name) << key << value << stored;
        };
        row("journal 40", "NbJourStockJournal", "40", "40");
        row("journal 41", "NbJourStockJournal", "41", "");
        row("journal with letters", "NbJourStockJournal", "12x", "");
        row("T2 99", "TauxActiviteT2", "99", "99");
        row("T2 100", "TauxActiviteT2", "100", "");
        row("mode 2", "ModeLie", "2", "2");
        row("mode 3", "ModeLie", "3", "");
        row("switch 1", "Etatinterdit", "1", "1");
        row("switch 2", "CmtAuto", "2", "");
        row("switch -1", "Etatinterdit", "-1", "");
        row("application", "ModeLieApp", "notepad.exe a b", "notepad.exe a b");
        row("application with a line break", "ModeLieApp", "a\nb", "");
        row("application outside the code page", "ModeLieApp", u"a\u0101"_s, "");
        row("colour", "CouleurEtatSatu", "#FF8000", "33023");
        row("lower-case key", "modelie", "1", "");
    }
    void set()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, stored);
        SettingsRecord settings;
        settings.ModeLieApp = QStringLiteral("before");
        const SettingsRecord before = settings;
        const std::optional<QString> refused = SupervisorRules::Set(settings, key, value);
        QCOMPARE(refused.has_value(), stored.isEmpty());
        if (stored.isEmpty())
            QCOMPARE(SupervisorRules::Value(settings, key), SupervisorRules::Value(before, key));
        else
            QCOMPARE(SupervisorRules::Value(settings, key), stored);
    }

    void rightLevels_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("level");
        QTest::addColumn<Cells>("cells");
        const QString x = QStringLiteral("X");
        QTest::newRow("group granted")
            << "Droit_Modif_Group" << 1 << Cells{x, "", "", "", "", "", "", "", ""};
        QTest::newRow("statistics granted")
            << "Droit_Stat" << 1 << Cells{"", "", "", "", x, "", "", "", ""};
        QTest::newRow("records all fields")
            << "Droit_Modif_Fiche" << 2 << Cells{"", "", "", "", "", "", x, x, ""};
        QTest::newRow("records comment only")
            << "Droit_Modif_Fiche" << 1 << Cells{"", "", "", "", "", "", "", x, ""};
        QTest::newRow("records none")
            << "Droit_Modif_Fiche" << 0 << Cells{"", "", "", "", "", "", "", "", ""};
    }
    void rightLevels()
    {
        QFETCH(QString, key);
        QFETCH(int, level);
        QFETCH(Cells, cells);
        AgentsList::Row row = rowWith(Cells(9));
        RightsCells::SetLevel(row, key, level);
        QCOMPARE(cellsOf(row), cells);
        QCOMPARE(RightsCells::Level(row, key), level);
    }

    void applyEdit_data()
    {
        QTest::addColumn<Cells>("row");
        QTest::addColumn<Cells>("edited");
        QTest::addColumn<bool>("clearPassword");
        QTest::addColumn<QString>("state");
        const QString x = QStringLiteral("X");
        const Cells all{x, x, x, x, x, x, "", x, ""};
        Cells statOff = all;
        statOff[4].clear();
        Cells withState2 = all;
        withState2[8] = QStringLiteral("2");
        Cells withState3 = all;
        withState3[8] = QStringLiteral("3");
        QTest::newRow("no change") << all << all << false << "";
        QTest::newRow("a right refused") << all << statOff << false << "1";
        QTest::newRow("password only") << all << all << true << "2";
        QTest::newRow("both") << all << statOff << true << "3";
        QTest::newRow("earlier password clear kept") << withState2 << statOff << false << "3";
        QTest::newRow("state 3 stays 3") << withState3 << all << true << "3";
        QTest::newRow("earlier state, no change") << withState2 << all << false << "2";
    }
    void applyEdit()
    {
        QFETCH(Cells, row);
        QFETCH(Cells, edited);
        QFETCH(bool, clearPassword);
        QFETCH(QString, state);
        AgentsList::Row target = rowWith(row);
        AgentsList::Row changed = rowWith(edited);
        RightsCells::ApplyEdit(target, changed, clearPassword);
        QCOMPARE(target.cells[AgentsList::ColChangeState], state);
        for (int column = AgentsList::ColChangeGroup; column <= AgentsList::ColRecordsComment;
             ++column)
            QCOMPARE(target.cells[std::size_t(column)], changed.cells[std::size_t(column)]);
    }

    // Any header order; every refusal names its line and column. A good
    // file gives one entry per row: the agent's row and the seven levels.
    void agentsCsv_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("error"); // empty: read
        const QByteArray header = "Agent,Droit_Modif_Group,Droit_Preference,Droit_Modif_MotDePasse,"
                                  "Droit_Qualif,Droit_Stat,Droit_ListeAppel,Droit_Modif_Fiche\r\n";
        auto row = [](const char* name, const QByteArray& csv, const char* error) {
            QTest::newRow(name) << csv << QString::fromUtf8(error);
        };
        row("columns in another order",
            "Droit_Modif_Fiche,Agent,Droit_Modif_Group,Droit_Preference,Droit_Modif_MotDePasse,"
            "Droit_Qualif,Droit_Stat,Droit_ListeAppel\r\n1,1,0,0,0,0,0,0\r\n",
            "");
        row("empty file", {}, "line 1, column 1: the file has no header");
        row("unknown column", "Agent,Foo\r\n", "line 1, column 7: unknown column 'Foo'");
        row("column twice", "Agent,Agent\r\n", "line 1, column 7: column 'Agent' appears twice");
        row("a right missing", "Agent,Droit_Stat\r\n",
            "the header has no Droit_Modif_Group column");
        row("agent 0", header + "0,1,1,1,1,1,1,1\r\n", "line 2, column 1: unknown agent");
        row("agent twice", header + "1,0,0,0,0,0,0,0\r\n1,1,1,1,1,1,1,1\r\n",
            "line 3, column 1: agent 1 already");
        row("negative value", header + "1,-1,1,1,1,1,1,1\r\n",
            "line 2, column 3: Droit_Modif_Group");
        row("fiche 3", header + "1,1,1,1,1,1,1,3\r\n", "line 2, column 15: Droit_Modif_Fiche");
        row("not a number", header + "1,1,x,1,1,1,1,1\r\n", "line 2, column 5:");
        row("long line", header + "1,1,1,1,1,1,1,1,1\r\n", "line 2, column 17: 9 fields");
        row("short line", header + "1,1,1\r\n", "line 2, column 5: 3 fields");
    }
    void agentsCsv()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, error);
        const auto read = AgentsCsv::Read(csv, FixedAgents::Rows());
        const auto* failed = std::get_if<Csv::Error>(&read);
        QCOMPARE(failed != nullptr, !error.isEmpty());
        if (failed)
            QVERIFY2(Csv::Describe(*failed).contains(error), qPrintable(Csv::Describe(*failed)));
    }

    void agentsCsvLevels()
    {
        const QByteArray csv = "Agent,Droit_Modif_Group,Droit_Preference,Droit_Modif_MotDePasse,"
                               "Droit_Qualif,Droit_Stat,Droit_ListeAppel,Droit_Modif_Fiche\r\n"
                               "32,1,0,1,0,1,0,2\r\n";
        const auto read = AgentsCsv::Read(csv, FixedAgents::Rows());
        const QList<AgentsCsv::Entry>& entries = std::get<QList<AgentsCsv::Entry>>(read);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].row, std::size_t(31));
        QCOMPARE(entries[0].line, 2);
        const std::array<int, 7> levels{1, 0, 1, 0, 1, 0, 2};
        QCOMPARE(entries[0].levels, levels);
    }

    void agentList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("agents"); // empty: refused
        QTest::newRow("range and single") << "1-3,12" << QList<int>{1, 2, 3, 12};
        QTest::newRow("overlaps, unordered") << "5,2-4,3" << QList<int>{2, 3, 4, 5};
        QTest::newRow("blanks") << " 7 , 9 " << QList<int>{7, 9};
        QTest::newRow("reversed range") << "3-1" << QList<int>{};
        QTest::newRow("zero") << "0" << QList<int>{};
        QTest::newRow("empty item") << "1,,2" << QList<int>{};
        QTest::newRow("two dashes") << "1-2-3" << QList<int>{};
        QTest::newRow("too many") << "1-99999" << QList<int>{};
    }
    void agentList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, agents);
        QString error;
        const std::optional<QList<int>> parsed = AdminCommandLine::ParseAgents(text, &error);
        QCOMPARE(parsed.value_or(QList<int>{}), agents);
        QCOMPARE(error.isEmpty(), !agents.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAdminCore)
#include "tst_admincore.moc"
