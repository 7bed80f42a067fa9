// The help window offscreen: the Help request of every window opens its
// topic in each shipped language, links, pictures, back and forward, one
// window for the program, and the messages for help files that cannot serve.

#include "ChmFixtures.h"
#include "Folders.h"
#include "HelpBrowser.h"
#include "HelpWindow.h"
#include "Languages.h"
#include "SettingsFolders.h"
#include "UiRecorder.h"
#include "UiServices.h"
#include "Variables.h"

#include <QBuffer>
#include <QDialog>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;
using UiRecorder::Kind;

namespace {

// The title of each topic, in the order of ChmFixtures::Contexts, per file.
const QStringList Titles[] = {
    {u"Ouverture de session"_s, u"La fenêtre de configuration"_s, u"Onglet Général"_s,
     u"Onglet Couleurs"_s, u"Onglet Agents"_s, u"Droits de l'Agent"_s, u"Connexion"_s,
     u"Historique"_s},
    {u"Log on"_s, u"The configuration window"_s, u"General tab"_s, u"Colours tab"_s,
     u"Agents tab"_s, u"Agent rights"_s, u"Connection"_s, u"History"_s},
    {u"Anmeldung"_s, u"Das Konfigurationsfenster"_s, u"Registerkarte Allgemein"_s,
     u"Registerkarte Farben"_s, u"Registerkarte Agenten"_s, u"Rechte des Agenten"_s,
     u"Verbindung"_s, u"Verlauf"_s},
};

QString text(int number)
{
    return Languages::GetMessageText(qint16(LanguageBase + number));
}

QUrl topicUrl(const char* path)
{
    return HelpBrowser::urlFor(QString::fromLatin1(path));
}

HelpWindow* window()
{
    return HelpWindow::instance();
}

QUrl shownUrl()
{
    return window()->browser()->source();
}

QPushButton* button(const char* name)
{
    return window()->findChild<QPushButton*>(QString::fromLatin1(name));
}

void click(const char* name)
{
    QTest::mouseClick(button(name), Qt::LeftButton);
}

void follow(const QString& link)
{
    Q_EMIT window()->browser()->anchorClicked(QUrl(link));
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_english;

private Q_SLOTS:
    void initTestCase()
    {
        ResetGlobals();
        Folders::setProgramFolder(QStringLiteral(ZOR_PROGRAM_DIR));
        Parametres.Langue = 1;
        LanguageBase = 2000;
        Languages::LoadLanguageFile();
        m_english = ChmFixtures::compiledFile(1);
    }

    // The hook the program installs: the Help request opens the help window.
    void init()
    {
        UiRecorder::install();
        UiServices::hooks().showHelp = [](const QString& helpFile, int context) {
            HelpWindow::showTopic(helpFile, context);
        };
    }

    void cleanup() { delete window(); }

    void helpButtonOpensTopic_data();
    void helpButtonOpensTopic();
    void unusableFiles_data();
    void unusableFiles();
    void windowsAndMissingLinks();
    void backForwardAndHome();
    void picturesAndStyleSheets();
    void oneWindow();
    void captionsFromLanguageFile();
    void helpFromModalDialog();
    void pagesOverBounds_data();
    void pagesOverBounds();
};

void TestHelpWindow::helpButtonOpensTopic_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("context");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("title");

    for (int language = 0; language < 3; ++language) {
        for (qsizetype i = 0; i < std::ssize(ChmFixtures::Contexts); ++i) {
            const ChmFixtures::ContextTopic& row = ChmFixtures::Contexts[i];
            QTest::addRow("Zor_Hp%02d context %d", language, row.context)
                << language << row.context << topicUrl(row.path) << Titles[language][i];
        }
    }
}

// The Help button of a window asks UiServices for the help file chosen for
// the language and the window's context; the help window shows its topic.
void TestHelpWindow::helpButtonOpensTopic()
{
    QFETCH(int, language);
    QFETCH(int, context);
    QFETCH(QUrl, url);
    QFETCH(QString, title);

    Parametres.Langue = language;
    SettingsFolders::ChooseHelpFile();
    UiServices::showHelp(HelpFile, context);

    QVERIFY(window() != nullptr);
    QVERIFY(window()->isVisible());
    QCOMPARE(window()->archive().path(), ChmFixtures::compiledFile(language));
    QCOMPARE(shownUrl(), url);
    QCOMPARE(window()->windowTitle(), title);
    QVERIFY(window()->browser()->toPlainText().split(u'\n').contains(title));
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

void TestHelpWindow::unusableFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("context");
    QTest::addColumn<int>("message");
    QTest::addColumn<QUrl>("shown"); // empty: no window

    const QByteArray file = ChmFixtures::readAll(ChmFixtures::compiledFile(1));
    QByteArray emptyMap = file;
    QVERIFY(ChmFixtures::rewriteEntry(&emptyMap, "/#IVB"_ba, ChmFixtures::Field::Length, 0));
    QByteArray hugeTopic = file;
    QVERIFY(ChmFixtures::rewriteEntry(&hugeTopic, "/rights.htm"_ba, ChmFixtures::Field::Length,
                                      ~quint64(0)));

    QTest::newRow("missing") << QByteArray() << 110 << 1385 << QUrl();
    QTest::newRow("not a help file") << "<html></html>"_ba << 110 << 1386 << QUrl();
    QTest::newRow("cut short") << file.first(file.size() / 2) << 110 << 1387 << QUrl();
    QTest::newRow("topic of huge length") << hugeTopic << 130 << 1387 << QUrl();
    QTest::newRow("context map of zero length")
        << emptyMap << 110 << 1388 << topicUrl("/index.htm");
    QTest::newRow("unknown context") << file << 999 << 1388 << topicUrl("/index.htm");
}

// A file that cannot serve says why, naming the file; a context the file does
// not map shows the default topic and says so.

void TestHelpWindow::unusableFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, context);
    QFETCH(int, message);
    QFETCH(QUrl, shown);

    const QString path = m_dir.filePath(u"Zor_Hp07.chm"_s);
    QFile::remove(path);
    if (!bytes.isEmpty())
        QVERIFY(ChmFixtures::writeAll(path, bytes));
    UiServices::showHelp(path, context);

    const QList<UiRecorder::Call> messages = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].text.startsWith(text(message).replace(u"|1"_s, QString::number(context))),
             qPrintable(messages[0].text));
    QVERIFY(messages[0].text.contains(path));
    QCOMPARE(messages[0].title, text(1384));
    QCOMPARE(messages[0].icon, UiServices::Icon::Exclamation);
    QCOMPARE(window() != nullptr, !shown.isEmpty());
    if (shown.isEmpty())
        return;
    QVERIFY(window()->isVisible());
    QCOMPARE(shownUrl(), shown);
    QCOMPARE(window()->windowTitle(), u"ZOR Configuration Help"_s);
}

// Help files written for Windows link to topics with "ms-its:" URLs; a link
// to a topic the file lacks leaves the topic shown and says so.
void TestHelpWindow::windowsAndMissingLinks()
{
    UiServices::showHelp(m_english, 110);
    follow(u"ms-its:Zor_Hp01.chm::/rights.htm"_s);
    QCOMPARE(shownUrl(), topicUrl("/rights.htm"));
    QCOMPARE(window()->windowTitle(), u"Agent rights"_s);
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);

    follow(u"nothere.htm"_s);
    QCOMPARE(shownUrl(), topicUrl("/rights.htm"));
    const QList<UiRecorder::Call> messages = UiRecorder::callsOf(Kind::MessageBox);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.startsWith(text(1389)));
    QVERIFY(messages[0].text.contains(u"/nothere.htm"_s));
}

void TestHelpWindow::backForwardAndHome()
{
    UiServices::showHelp(m_english, 120);
    QVERIFY(!button("backButton")->isEnabled());

    follow(u"general.htm"_s);
    QCOMPARE(shownUrl(), topicUrl("/general.htm"));
    QCOMPARE(window()->windowTitle(), u"General tab"_s);
    QVERIFY(button("backButton")->isEnabled());
    QVERIFY(!button("forwardButton")->isEnabled());

    click("backButton");
    QCOMPARE(shownUrl(), topicUrl("/window.htm"));
    QCOMPARE(window()->windowTitle(), u"The configuration window"_s);
    QVERIFY(button("forwardButton")->isEnabled());

    click("forwardButton");
    QCOMPARE(shownUrl(), topicUrl("/general.htm"));
    QCOMPARE(window()->windowTitle(), u"General tab"_s);

    QTest::keyClick(window()->browser(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(shownUrl(), topicUrl("/window.htm"));
    QTest::keyClick(window()->browser(), Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(shownUrl(), topicUrl("/general.htm"));

    click("homeButton");
    QCOMPARE(shownUrl(), topicUrl("/index.htm"));
    click("backButton");
    QCOMPARE(shownUrl(), topicUrl("/general.htm"));
}

void TestHelpWindow::picturesAndStyleSheets()
{
    UiServices::showHelp(m_english, 130);
    HelpBrowser* browser = window()->browser();

    const QVariant picture =
        browser->loadResource(QTextDocument::ImageResource, QUrl(u"images/note.png"_s));
    QCOMPARE(QImage::fromData(picture.toByteArray()).size(), QSize(16, 16));
    const QVariant style =
        browser->loadResource(QTextDocument::StyleSheetResource, QUrl(u"zorhelp.css"_s));
    QVERIFY(style.toString().contains(u"body {"_s));
    QVERIFY(!browser->loadResource(QTextDocument::ImageResource, QUrl(u"file:///etc/hostname"_s))
                 .isValid());
    QVERIFY(
        !browser->loadResource(QTextDocument::ImageResource, QUrl(u"images/none.png"_s)).isValid());
}

// Every request goes to the one help window and raises it; a closed window is
// made again at the next request, and a new help file starts a new history.
void TestHelpWindow::oneWindow()
{
    UiServices::showHelp(m_english, 110);
    HelpWindow* first = window();
    UiServices::showHelp(m_english, 121);

    QCOMPARE(window(), first);
    QCOMPARE(shownUrl(), topicUrl("/general.htm"));
    QVERIFY(button("backButton")->isEnabled());
    QCOMPARE(QApplication::topLevelWidgets().count(first), 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window() == nullptr);
    UiServices::showHelp(m_english, 122);
    QVERIFY(window() != nullptr);
    QVERIFY(window()->isVisible());
    QCOMPARE(shownUrl(), topicUrl("/colours.htm"));

    // After a language change the Help button names another file: its pages
    // start a new history.
    UiServices::showHelp(ChmFixtures::compiledFile(0), 110);
    QCOMPARE(window()->windowTitle(), u"Ouverture de session"_s);
    QVERIFY(!button("backButton")->isEnabled());
    UiServices::showHelp(m_english, 110);
    QCOMPARE(window()->archive().path(), m_english);
    QCOMPARE(window()->windowTitle(), u"Log on"_s);
    QVERIFY(!button("backButton")->isEnabled());
}

void TestHelpWindow::captionsFromLanguageFile()
{
    UiServices::showHelp(m_english, 110);

    QCOMPARE(button("backButton")->text(), text(1381));
    QCOMPARE(button("forwardButton")->text(), text(1382));
    QCOMPARE(button("homeButton")->text(), text(1383));
    QCOMPARE(window()->browser()->accessibleName(), text(1380));
}

// The Help button of a modal dialog opens a help window the dialog does not
// block; asked again from a window that is not modal, it is ordinary again.
void TestHelpWindow::helpFromModalDialog()
{
    UiServices::showHelp(m_english, 120);
    QCOMPARE(window()->windowModality(), Qt::NonModal);

    QDialog dialog;
    dialog.open();
    QCOMPARE(QApplication::activeModalWidget(), &dialog);
    UiServices::showHelp(m_english, 204);
    QCOMPARE(window()->windowModality(), Qt::ApplicationModal);
    QVERIFY(window()->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), window());
    QCOMPARE(shownUrl(), topicUrl("/connection.htm"));

    window()->hide();
    dialog.close();
    UiServices::showHelp(m_english, 121);
    QCOMPARE(window()->windowModality(), Qt::NonModal);
    QVERIFY(window()->isVisible());
}

void TestHelpWindow::pagesOverBounds_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<QSize>>("pictures"); // images/pN.png, each shown by the page
    QTest::addColumn<bool>("over");
    QTest::addColumn<QString>("shown"); // a part of the page, or of the reason

    const auto repeated = [](const char* part, int times) {
        return QByteArray(part).repeated(times);
    };
    const auto tables = [&](int depth) {
        return repeated("<table border=1><tr><td>", depth) + "Deepest" +
               repeated("</td></tr></table>", depth);
    };
    QTest::newRow("tables nested 12 deep")
        << tables(12) << QList<QSize>{} << true << u"tables nested 12 deep, at most 8"_s;
    QTest::newRow("elements nested 100 deep") << repeated("<div>", 100) + "x" << QList<QSize>{}
                                              << true << u"elements nested more than 64 deep"_s;
    QTest::newRow("a page of 200 KB") << repeated("<p>words and words</p>", 10000) << QList<QSize>{}
                                      << true << u"bytes, at most 131072"_s;
    QTest::newRow("a row of 65535 columns")
        << QByteArray("<table><tr><td colspan=\"65535\">x</td></tr></table>") << QList<QSize>{}
        << true << u"laying it out would cost more than 1000000"_s;
    QTest::newRow("a picture of 3000 x 3000 pixels")
        << QByteArray() << QList<QSize>{{3000, 3000}} << true << u"3000 x 3000 pixels"_s;
    QTest::newRow("five pictures of 1900 x 1900 pixels")
        << QByteArray() << QList<QSize>(5, QSize(1900, 1900)) << true
        << u"pictures of more than 16777216 pixels"_s;
    // Tables 8 deep, elements 64 deep, a grid of 12000 places, a picture of
    // 2048 x 2048 pixels.
    QTest::newRow("within every bound")
        << tables(8) + repeated("<b>", 59) + "<table><tr><td colspan=12000>x</td></tr></table>"
        << QList<QSize>{{2048, 2048}} << false << u"Deepest"_s;
    QTest::newRow("cells, rows and paragraphs left open")
        << "<table>" + repeated("<tr><td>a<td>b<td>c", 80) + "</table>" +
               repeated("<p>a paragraph", 100) + "<ul>" + repeated("<li>an item", 100) + "Last"
        << QList<QSize>{} << false << u"Last"_s;
}

// A page that would cost more than the bounds shows a short message and the
// reason instead, at once.
void TestHelpWindow::pagesOverBounds()
{
    QFETCH(QByteArray, body);
    QFETCH(QList<QSize>, pictures);
    QFETCH(bool, over);
    QFETCH(QString, shown);

    QList<std::pair<QString, QByteArray>> files;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        QImage image(pictures[i], QImage::Format_Mono);
        image.fill(0);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(image.save(&buffer, "PNG"));
        const QString name = u"images/p%1.png"_s.arg(i);
        files.append({name, png});
        body += "<img src=\"" + name.toUtf8() + "\">";
    }
    files.prepend({u"index.htm"_s, "<html><body>" + body + "</body></html>"});
    QTemporaryDir folder;
    const QString path = ChmFixtures::compile(folder.path(), files);
    QVERIFY(!path.isEmpty());
    UiServices::showHelp(path, 110);

    const QString plain = window()->browser()->toPlainText();
    QCOMPARE(plain.contains(text(1390)), over);
    QVERIFY2(plain.contains(shown), qPrintable(plain.left(300)));
    QCOMPARE(UiRecorder::count(Kind::MessageBox), 0);
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
