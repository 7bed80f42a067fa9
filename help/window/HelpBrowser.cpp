#include "HelpBrowser.h"

#include "ChmArchive.h"
#include "Cp1252.h"

#include <QStringDecoder>
#include <QTextDocument>

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
    QByteArray bytes;
    if (m_archive == nullptr || !url.isValid() ||
        m_archive->read(url.path(), &bytes).failure != HelpIndex::Failure::None)
        return {};
    if (type == QTextDocument::ImageResource)
        return bytes;
    return decodeText(bytes);
}
