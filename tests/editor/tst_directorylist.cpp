// The Agents page end to end: the configuration window builds its list from
// a real zorsrv on loopback, its agent directory through the directory
// client, and every row's rights through the gateway.

#include "AgentsModel.h"
#include "DirectoryClient.h"
#include "EditorTestSupport.h"
#include "Layout.h"
#include "RawClient.h"
#include "UiRecorder.h"
#include "Variables.h"
#include "ZorsrvProcess.h"
#include "frmCFG.h"

#include <QTest>

#include <memory>

using namespace EditorTestSupport;
using UiRecorder::Kind;

namespace {

QByteArray csvOf(const QList<int>& numbers)
{
    QByteArray csv;
    for (int n : numbers)
        csv += QByteArray::number(n) + ",Agent " + QByteArray::number(n) + ",G\n";
    return csv;
}

bool importAgents(const ZorsrvProcess& server, const QByteArray& csv, const QString& file)
{
    writeFile(file, csv);
    return ZorsrvProcess::run({"agents", "import", "--db", server.databasePath(), "--csv", file})
               .exitCode == 0;
}

// Agent 7's rights on the server: statistics and every field of customer
// records, nothing else.
bool writeAgent7(quint16 port)
{
    QByteArray data(Layout::AgentDataSize, '\0');
    auto* p = reinterpret_cast<quint8*>(data.data());
    Layout::writeInt(p, Layout::Agent::Droit_Stat, 1);
    Layout::writeInt(p, Layout::Agent::Droit_Modif_Fiche, 2);
    RawClient client;
    return client.connectTo(port) && client.login() == 0 && client.write(6, data).code() == 0;
}

} // namespace

class TestDirectoryList : public QObject
{
    Q_OBJECT

    std::unique_ptr<Setup> m_setup;
    std::unique_ptr<ZorsrvProcess> m_server;

    // A window over a zorsrv whose directory holds the agents (none: the
    // directory is off and nobody listens on VS_port).
    std::unique_ptr<frmCFG> openOver(const std::optional<QList<int>>& agents)
    {
        m_server = std::make_unique<ZorsrvProcess>();
        if (!m_server->start(agents ? QStringList() : QStringList{"--no-directory"}) ||
            !writeAgent7(m_server->port()))
            qFatal("zorsrv: %s", qPrintable(m_server->errorText()));
        if (agents && !importAgents(*m_server, csvOf(*agents), m_setup->programFile("a.csv")))
            qFatal("the agents could not be imported");
        const quint16 nobody = ZorsrvProcess::unusedPort();
        if (nobody == 0)
            qFatal("no free port");
        // The server mode from here on: the rights come from zorsrv.
        Parametres.TcpPort = qint16(m_server->port());
        Parametres.VS_port = QString::number(agents ? m_server->directoryPort() : nobody);
        UiRecorder::install();
        return std::unique_ptr<frmCFG>(openWindow());
    }

private Q_SLOTS:
    void init()
    {
        m_setup = std::make_unique<Setup>();
        m_setup->startUp(0, 1);
        m_setup->useLanguage(1);
        DirectoryClient::install();
    }

    void cleanup()
    {
        m_server.reset();
        m_setup.reset();
    }

    void listed_data()
    {
        QTest::addColumn<QList<int>>("agents");
        QTest::addColumn<QList<int>>("rows");
        QList<int> forty, first32;
        for (int n = 1; n <= 40; ++n)
            forty << n * 2 + 1;
        first32 = forty.first(32);
        QTest::newRow("five agents")
            << QList<int>{40, 15, 3, 12, 7} << QList<int>{3, 7, 12, 15, 40};
        QTest::newRow("forty agents: the first 32") << forty << first32;
    }

    void listed()
    {
        QFETCH(QList<int>, agents);
        QFETCH(QList<int>, rows);
        const std::unique_ptr<frmCFG> w = openOver(agents);
        const AgentsModel& model = w->agentsModel();
        QStringList keys, names, expectedKeys, expectedNames;
        for (int row = 0; row < model.rowCount(); ++row) {
            keys << model.key(row);
            names << model.rows()[std::size_t(row)].cells[AgentsList::ColName];
        }
        for (int n : std::as_const(rows)) {
            expectedKeys << QStringLiteral("AGENT_%1").arg(n);
            expectedNames << QStringLiteral("Agent %1").arg(n);
        }
        QCOMPARE(keys, expectedKeys);
        QCOMPARE(names, expectedNames);
        QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
        QVERIFY(!w->M_Agent.has_value());
        // The rights come from each agent's record: agent 7's own, the
        // others' never written (the model's rights).
        const auto& r7 = model.rows()[std::size_t(rows.indexOf(7))].cells;
        QCOMPARE(r7[AgentsList::ColStatistics], QStringLiteral("X"));
        QCOMPARE(r7[AgentsList::ColQualifyCalls], QString());
        QCOMPARE(r7[AgentsList::ColRecordsAll], QStringLiteral("X"));
        const auto& r3 = model.rows()[std::size_t(rows.indexOf(3))].cells;
        QCOMPARE(r3[AgentsList::ColQualifyCalls], QStringLiteral("X"));
        QCOMPARE(r3[AgentsList::ColRecordsAll], QString());
    }

    // Nobody at the directory's address, or a directory without agents yet:
    // message 256 with the failure, in the language of the program, then the
    // agents 1 to 32 without names.
    void fixedTable_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<bool>("directory");
        QTest::addColumn<qint32>("error");
        QTest::addColumn<int>("detail"); // |2 and |3: the directory's reason and code
        const qint32 refused = DirectoryClient::ConnectionRefused;
        QTest::newRow("nobody listening, French") << 0 << false << refused << 1350;
        QTest::newRow("nobody listening, English") << 1 << false << refused << 1350;
        QTest::newRow("no agents yet") << 1 << true << DirectoryClient::RefusedByDirectory << 1356;
    }
    void fixedTable()
    {
        QFETCH(int, langue);
        QFETCH(bool, directory);
        QFETCH(qint32, error);
        QFETCH(int, detail);
        m_setup->useLanguage(langue);
        const std::unique_ptr<frmCFG> w =
            openOver(directory ? std::optional<QList<int>>(QList<int>{}) : std::nullopt);
        const QList<UiRecorder::Call> boxes = UiRecorder::callsOf(Kind::MessageBox);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text,
                 message(256) + QStringLiteral(" [zor_ini %1 ").arg(error) +
                     message(detail)
                         .replace(QStringLiteral("|1"),
                                  QStringLiteral("127.0.0.1:") + Parametres.VS_port)
                         .replace(QStringLiteral("|2"),
                                  QStringLiteral("the agent table is empty; import the agents "
                                                 "with zorsrv agents import"))
                         .replace(QStringLiteral("|3"), QStringLiteral("-11")) +
                     u']');
        QCOMPARE(boxes[0].title, message(224));
        QCOMPARE(boxes[0].icon, UiServices::Icon::Exclamation);
        const AgentsModel& model = w->agentsModel();
        QCOMPARE(model.rowCount(), 32);
        QCOMPARE(model.key(0), QStringLiteral("AGENT_1"));
        QCOMPARE(model.key(31), QStringLiteral("AGENT_32"));
        QCOMPARE(model.rows()[6].cells[AgentsList::ColName], QString());
        QCOMPARE(model.rows()[6].cells[AgentsList::ColStatistics], QStringLiteral("X"));
        QCOMPARE(model.rows()[6].cells[AgentsList::ColQualifyCalls], QString());
    }
};

QTEST_MAIN(TestDirectoryList)
#include "tst_directorylist.moc"
