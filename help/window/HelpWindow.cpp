#include "HelpWindow.h"

#include "HelpBrowser.h"
#include "Languages.h"
#include "UiServices.h"
#include "Variables.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using HelpIndex::Failure;
using HelpIndex::Problem;

namespace {

// Texts of the language files used by the help window.
enum Text
{
    WindowTitle = 1380,
    BackCaption = 1381,
    ForwardCaption = 1382,
    HomeCaption = 1383,
    MessageTitle = 1384,
    FileMissing = 1385,
    FileNotChm = 1386,
    FileDamaged = 1387,
    ContextMissing = 1388, // "|1" is the context number
    PageMissing = 1389,
    PageOverBounds = 1390
};

QPointer<HelpWindow>& theWindow()
{
    static QPointer<HelpWindow> window;
    return window;
}

QString text(int number)
{
    return Languages::GetMessageText(qint16(LanguageBase + number));
}

int messageFor(Failure failure)
{
    switch (failure) {
    case Failure::Missing:
        return FileMissing;
    case Failure::NotChm:
        return FileNotChm;
    case Failure::UnknownContext:
    case Failure::TopicMissing:
        return ContextMissing;
    case Failure::Damaged:
    case Failure::None:
        break;
    }
    return FileDamaged;
}

} // namespace

HelpWindow* HelpWindow::showTopic(const QString& helpFile, int context)
{
    QPointer<HelpWindow>& window = theWindow();
    if (window.isNull()) {
        window = new HelpWindow;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.data(),
                         [] { delete theWindow().data(); });
    }
    window->translate();
    if (window->openFile(helpFile) && window->showContext(context))
        return window.data();
    if (!window->isVisible())
        delete window.data();
    return nullptr;
}

HelpWindow* HelpWindow::instance()
{
    return theWindow().data();
}

HelpWindow::HelpWindow()
    : m_browser(new HelpBrowser(this)), m_backButton(new QPushButton(this)),
      m_forwardButton(new QPushButton(this)), m_homeButton(new QPushButton(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HelpWindow"));
    m_browser->setObjectName(QStringLiteral("browser"));
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_forwardButton->setObjectName(QStringLiteral("forwardButton"));
    m_homeButton->setObjectName(QStringLiteral("homeButton"));
    m_backButton->setEnabled(false);
    m_forwardButton->setEnabled(false);
    m_browser->setArchive(&m_archive);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_forwardButton);
    buttons->addWidget(m_homeButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 110, metrics.height() * 40);

    connect(m_backButton, &QPushButton::clicked, this, &HelpWindow::backButton_Click);
    connect(m_forwardButton, &QPushButton::clicked, this, &HelpWindow::forwardButton_Click);
    connect(m_homeButton, &QPushButton::clicked, this, &HelpWindow::homeButton_Click);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_backButton, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forwardButton, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::browser_AnchorClicked);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::browser_SourceChanged);
}

HelpWindow::~HelpWindow()
{
    // The archive closes before the child widgets go: the browser must not
    // read from it any more.
    m_browser->setArchive(nullptr);
}

// Opens `helpFile` unless it is the file already shown. A new file starts a
// new history: the pages of the previous one are not in it.
bool HelpWindow::openFile(const QString& helpFile)
{
    if (m_archive.isOpen() && m_archive.path() == helpFile)
        return true;
    ChmArchive probe;
    if (Problem problem = probe.open(helpFile); problem.failure != Failure::None) {
        report(messageFor(problem.failure), helpFile + QStringLiteral(": ") + problem.detail);
        return false;
    }
    probe.close();
    m_browser->clear();
    m_startsHistory = true;
    return m_archive.open(helpFile).failure == Failure::None;
}

// Shows the topic of `context`, or the default topic with a message when the
// file does not map it. False when not even the default topic can be shown.
bool HelpWindow::showContext(int context)
{
    m_requestedContext = context;
    HelpIndex::Topic topic;
    const Problem problem = m_archive.topicForContext(quint32(context), &topic);
    if (problem.failure == Failure::None)
        return showTopicPage(topic, FileDamaged);
    if (Problem fallback = m_archive.defaultTopic(&topic); fallback.failure != Failure::None) {
        report(FileDamaged, m_archive.path() + QStringLiteral(": ") + fallback.detail);
        return false;
    }
    if (!showTopicPage(topic, FileDamaged))
        return false;
    QString detail = m_archive.path();
    if (problem.failure != Failure::UnknownContext)
        detail += QStringLiteral(": ") + problem.detail;
    report(ContextMissing, detail);
    return true;
}

// Shows a page after reading it once, so that a page that cannot be read is
// reported instead of showing blank: `missingMessage` when the file lacks it,
// FileDamaged when it cannot be read.
bool HelpWindow::showTopicPage(const HelpIndex::Topic& topic, int missingMessage)
{
    QByteArray page;
    if (Problem problem = m_archive.read(topic.path, &page); problem.failure != Failure::None) {
        report(problem.failure == Failure::TopicMissing ? missingMessage : FileDamaged,
               m_archive.path() + QStringLiteral(": ") + problem.detail);
        return false;
    }
    m_browser->setSource(HelpBrowser::urlFor(topic.path, topic.fragment));
    if (m_startsHistory) {
        // The first page of a file: nothing of the previous file to go back to.
        m_browser->clearHistory();
        m_startsHistory = false;
    }
    followModality();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    browser_SourceChanged();
    return true;
}

// A window asked for from a modal dialog's Help button would be blocked by
// that dialog: it then becomes modal itself, above the dialog, until it closes.
// Asked for from a window that is not modal, it is an ordinary window.
void HelpWindow::followModality()
{
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal == this)
        return; // already above the dialog
    const Qt::WindowModality wanted = modal != nullptr ? Qt::ApplicationModal : Qt::NonModal;
    if (windowModality() == wanted)
        return;
    hide(); // the modality of a shown window does not change
    setWindowModality(wanted);
}

void HelpWindow::translate()
{
    m_backButton->setText(text(BackCaption));
    m_forwardButton->setText(text(ForwardCaption));
    m_homeButton->setText(text(HomeCaption));
    m_browser->setOverBoundsText(text(PageOverBounds));
    m_browser->setAccessibleName(text(WindowTitle));
    browser_SourceChanged();
}

void HelpWindow::report(int messageNumber, const QString& detail) const
{
    QString message = text(messageNumber);
    if (messageNumber == ContextMissing)
        message.replace(QLatin1String("|1"), QString::number(m_requestedContext));
    UiServices::messageBox(message + QStringLiteral(" [") + detail + QLatin1Char(']'),
                           text(MessageTitle), UiServices::Icon::Exclamation);
}

void HelpWindow::backButton_Click()
{
    m_browser->backward();
}

void HelpWindow::forwardButton_Click()
{
    m_browser->forward();
}

void HelpWindow::homeButton_Click()
{
    HelpIndex::Topic topic;
    if (Problem problem = m_archive.defaultTopic(&topic); problem.failure != Failure::None) {
        report(FileDamaged, m_archive.path() + QStringLiteral(": ") + problem.detail);
        return;
    }
    showTopicPage(topic, FileDamaged);
}

// Links inside the help file open in this window; web and mail links go to
// the desktop's own programs.
void HelpWindow::browser_AnchorClicked(const QUrl& link)
{
    const QUrl url = m_browser->resolveLink(link);
    if (!url.isValid()) {
        const QString scheme = link.scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
            scheme == QLatin1String("mailto"))
            QDesktopServices::openUrl(link);
        else
            report(PageMissing, link.toString());
        return;
    }
    showTopicPage(HelpIndex::Topic{url.path(), url.fragment()}, PageMissing);
}

void HelpWindow::browser_SourceChanged()
{
    const QString title = m_browser->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? text(WindowTitle) : title);
}
