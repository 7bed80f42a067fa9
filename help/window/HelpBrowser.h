#pragma once

#include <QHash>
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

    // The short text shown instead of a page over the bounds of HelpPage.
    void setOverBoundsText(const QString& text) { m_overBoundsText = text; }

    // A page, picture or style sheet of the help file, within the bounds of
    // HelpPage: a page over them is replaced by the short text and the
    // reason; a picture or style sheet over them is left out.
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QVariant page(const QUrl& url);
    QString pictureOverBounds(const QUrl& url);
    QByteArray picture(const QUrl& url);

    const ChmArchive* m_archive = nullptr;
    QString m_overBoundsText;
    // The pictures of the page being shown, once their sizes are known, and
    // what the page's pictures and style sheets have taken so far.
    QHash<QString, QByteArray> m_pictures;
    qint64 m_pictureBytes = 0;
    qint64 m_picturePixels = 0;
    qint64 m_styleSheetBytes = 0; // the page's style sheets read so far
};
