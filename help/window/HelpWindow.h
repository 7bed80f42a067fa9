#pragma once

#include "ChmArchive.h"

#include <QWidget>

class HelpBrowser;
class QPushButton;

// The help window: the topic of a context number of a compiled HTML help
// file, with links between topics, pictures, back and forward, and the
// topic's title as the window title. There is one window for the program:
// each request shows its topic in it and raises it.
//
// A help file that is missing, is not a compiled help file or is damaged is
// reported by a message box; a context number the file does not map shows
// the file's default topic and says so.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    // Shows the topic of `context` of `helpFile` in the program's help window,
    // creating the window when there is none. Returns the window, or nullptr
    // when nothing could be shown (the user has been told why).
    static HelpWindow* showTopic(const QString& helpFile, int context);

    // The program's help window, or nullptr.
    static HelpWindow* instance();

    ~HelpWindow() override;

    HelpBrowser* browser() const { return m_browser; }
    const ChmArchive& archive() const { return m_archive; }

private:
    HelpWindow();

    bool openFile(const QString& helpFile);
    bool showContext(int context);
    bool showTopicPage(const HelpIndex::Topic& topic, int missingMessage);
    void followModality();
    void translate();
    void report(int messageNumber, const QString& detail) const;

    void backButton_Click();
    void forwardButton_Click();
    void homeButton_Click();
    void browser_AnchorClicked(const QUrl& link);
    void browser_SourceChanged();

    ChmArchive m_archive;
    HelpBrowser* m_browser = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_forwardButton = nullptr;
    QPushButton* m_homeButton = nullptr;
    int m_requestedContext = 0;
    bool m_startsHistory = false; // a new file: its first page starts the history
};
