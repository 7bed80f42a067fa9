#include "HelpBrowser.h"

#include "ChmArchive.h"
#include "Cp1252.h"
#include "HelpPage.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringDecoder>
#include <QTextDocument>

#include <algorithm>

namespace {

const QString Scheme = QStringLiteral("chm");

// Pages and style sheets declare their encoding or are UTF-8; pages from
// older compilers that do neither are in the Windows code page.
QString decodeText(const QByteArray& bytes)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    const bool declared =
        bytes.first(std::min<qsizetype>(bytes.size(), 2048)).toLower().contains("charset");
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (declared || !text.contains(QChar::ReplacementCharacter))
            return text;
    }
    return Cp1252::toUnicode(bytes);
}

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QUrl HelpBrowser::urlFor(const QString& path, const QString& fragment)
{
    QUrl url;
    url.setScheme(Scheme);
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

QUrl HelpBrowser::resolveLink(const QUrl& link) const
{
    const QString text = link.toString();
    const qsizetype inner = text.indexOf(QLatin1String("::/"));
    if (inner >= 0 && (text.startsWith(QLatin1String("ms-its:"), Qt::CaseInsensitive) ||
                       text.startsWith(QLatin1String("mk:@MSITStore:"), Qt::CaseInsensitive))) {
        const QUrl rest(text.mid(inner + 2));
        return urlFor(rest.path(), rest.fragment());
    }
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    return url.scheme() == Scheme ? url : QUrl();
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = resolveLink(name);
    if (m_archive == nullptr || !url.isValid())
        return {};
    if (type == QTextDocument::HtmlResource)
        return page(url);
    if (type == QTextDocument::ImageResource) {
        const QByteArray bytes = picture(url);
        return bytes.isEmpty() ? QVariant() : QVariant(bytes);
    }
    // A style sheet, linked or imported: the page's sheets share one bound.
    const qint64 size = m_archive->size(url.path());
    QByteArray bytes;
    if (size < 0 || m_styleSheetBytes + size > HelpPage::MaxStyleSheetBytes ||
        m_archive->read(url.path(), &bytes).failure != HelpIndex::Failure::None)
        return {};
    m_styleSheetBytes += size;
    return decodeText(bytes);
}

// The page's text, or the short text and the reason when showing it would
// cost more than the bounds allow; nothing when it cannot be read. A new page
// starts the count of its pictures and style sheets.
QVariant HelpBrowser::page(const QUrl& url)
{
    m_pictures.clear();
    m_pictureBytes = 0;
    m_picturePixels = 0;
    m_styleSheetBytes = 0;
    const qint64 size = m_archive->size(url.path());
    QByteArray bytes;
    if (size < 0 || (size <= HelpPage::MaxPageBytes &&
                     m_archive->read(url.path(), &bytes).failure != HelpIndex::Failure::None))
        return {};
    const QString text = decodeText(bytes);
    const HelpPage::Cost cost = HelpPage::measure(text);
    QString reason = HelpPage::overBounds(size, cost);
    for (qsizetype i = 0; reason.isEmpty() && i < cost.pictures.size(); ++i)
        reason = pictureOverBounds(resolveLink(url.resolved(QUrl(cost.pictures[i]))));
    if (reason.isEmpty())
        return text;
    m_pictures.clear();
    return QStringLiteral("<html><body><p>%1</p><p>[%2: %3]</p></body></html>")
        .arg(m_overBoundsText.toHtmlEscaped(), url.path().toHtmlEscaped(), reason.toHtmlEscaped());
}

// Reads a picture of the page into m_pictures unless it is over a bound;
// the reason when it is. A picture that is missing, or whose size no reader
// can tell, is not shown and costs nothing.
QString HelpBrowser::pictureOverBounds(const QUrl& url)
{
    const QString path = url.path().toLower();
    if (!url.isValid() || m_pictures.contains(path))
        return {};
    const qint64 size = m_archive->size(url.path());
    if (size < 0)
        return {};
    if (m_pictureBytes + size > HelpPage::MaxPagePictureBytes)
        return QStringLiteral("pictures of more than %1 bytes").arg(HelpPage::MaxPagePictureBytes);
    m_pictureBytes += size;
    QByteArray bytes;
    if (m_archive->read(url.path(), &bytes).failure != HelpIndex::Failure::None)
        return {};
    QBuffer buffer(&bytes);
    const QSize pictureSize = QImageReader(&buffer).size();
    if (!pictureSize.isValid()) {
        m_pictures.insert(path, {}); // a size no reader can tell: not shown
        return {};
    }
    const qint64 pixels = qint64(pictureSize.width()) * pictureSize.height();
    if (pixels > HelpPage::MaxPicturePixels)
        return QStringLiteral("%1: %2 x %3 pixels, at most %4 in a picture")
            .arg(url.path())
            .arg(pictureSize.width())
            .arg(pictureSize.height())
            .arg(HelpPage::MaxPicturePixels);
    if (m_picturePixels + pixels > HelpPage::MaxPagePicturePixels)
        return QStringLiteral("pictures of more than %1 pixels")
            .arg(HelpPage::MaxPagePicturePixels);
    m_picturePixels += pixels;
    m_pictures.insert(path, bytes);
    return {};
}

// A picture the page shows: one its check read, or one asked for otherwise
// (a background), counted against the same bounds; empty when over them.
QByteArray HelpBrowser::picture(const QUrl& url)
{
    if (!pictureOverBounds(url).isEmpty())
        return {};
    return m_pictures.value(url.path().toLower());
}
