#pragma once

#include <QTextBrowser>
#include <QUrl>

class ChmArchive;

// The page view of the help window: a QTextBrowser whose pages, pictures and
// style sheets come from the open help file. Pages have URLs of the scheme
// "chm" whose path is the entry inside the file ("chm:/topic.htm"), so links
// relative to a page resolve inside the file.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    void setArchive(const ChmArchive* archive) { m_archive = archive; }

    // The URL of an entry of the help file, with an optional anchor.
    static QUrl urlFor(const QString& path, const QString& fragment = {});

    // The entry a link leads to, resolved against the page shown: a relative
    // link, a "chm:" URL, or a link into a help file in the Windows forms
    // "ms-its:file.chm::/topic.htm" and "mk:@MSITStore:file.chm::/topic.htm"
    // (taken as an entry of the open file). Invalid for any other link.
    QUrl resolveLink(const QUrl& link) const;

    QVariant loadResource(int type, const QUrl& name) override;

private:
    const ChmArchive* m_archive = nullptr;
};
