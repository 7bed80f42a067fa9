#include "TextLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace {

// Widths remembered at most; a window being resized by hand asks for many.
constexpr qsizetype RememberedWidths = 16;

// The width QLabel measures its text in when it has none to keep to.
constexpr int LabelBox = 2000;

} // namespace

TextLabel::Measure TextLabel::currentMeasure() const
{
    return {text(),     margin(),      indent(),      contentsMargins(), alignment(),
            wordWrap(), minimumSize(), maximumSize(), sizePolicy(),      buddy()};
}

void TextLabel::forget() const
{
    m_lineSize = QSize();
    m_hints = {};
    m_heights.clear();
    m_shaped.reset();
}

void TextLabel::forgetIfChanged() const
{
    Measure measure = currentMeasure();
    if (measure == m_measure)
        return;
    m_measure = std::move(measure);
    forget();
}

// Whether this label's text is measured here: plain text, drawn as it is
// written. The rest is left to QLabel.
bool TextLabel::measuredHere() const
{
    if (!pixmap().isNull() || !picture().isNull() || movie())
        return false;
    // Selectable text is laid out as a document, as rich text is.
    if (textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard))
        return false;
    const QString& shown = text();
    // A label that never had a text is measured as one average character.
    if (shown.isEmpty())
        return false;
    const bool plain = textFormat() == Qt::PlainText ||
                       (textFormat() == Qt::AutoText && !Qt::mightBeRichText(shown));
    return plain;
}

// The size of the text laid out `width` wide with the flags QLabel lays it
// out with. Text that does not wrap takes the same size at every width (unless
// it offers shorter variants for narrow boxes): it is measured once.
QSize TextLabel::textSize(int width, int flags) const
{
    if (wrapsShapedText(flags))
        return wrappedSize(width);
    const bool sameAtEveryWidth = !wordWrap() && !text().contains(QChar(0x9C));
    if (sameAtEveryWidth && m_lineSize.isValid())
        return m_lineSize;
    const QSize size = fontMetrics().boundingRect(0, 0, width, LabelBox, flags, text()).size();
    if (sameAtEveryWidth)
        m_lineSize = size;
    return size;
}

// Whether wrapped text can be measured from its shaped lines: text that
// QFontMetrics lays out as it is written, with no shortcut marks to take out,
// no tabs to expand and no shorter variants.
bool TextLabel::wrapsShapedText(int flags) const
{
    constexpr int Shortcuts = Qt::TextShowMnemonic | Qt::TextHideMnemonic;
    if (!(flags & Qt::TextWordWrap) || (flags & Shortcuts))
        return false;
    const QString& shown = text();
    return !shown.contains(u'\t') && !shown.contains(QChar(0x9C));
}

// The size QFontMetrics::boundingRect gives wrapped text in a box `width`
// wide, worked out the way it does it: lines as wide as the box, each placed
// on a whole pixel one leading below the last, and the widest line's natural
// width and the height rounded up to whole pixels (where the text is aligned
// in the box moves it by whole pixels and leaves its size as it is).
// The text is shaped once for every width: only the line breaks are redone.
QSize TextLabel::wrappedSize(int width) const
{
    if (!m_shaped) {
        QString shown = text();
        shown.replace(u'\r', u' ').replace(u'\n', QChar::LineSeparator);
        m_shaped = std::make_unique<QTextLayout>(shown, font());
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        option.setAlignment(Qt::AlignLeft);
        m_shaped->setTextOption(option);
        m_shaped->setCacheEnabled(true);
        m_shaped->beginLayout();
    }
    // The layout stays begun: a new beginLayout would shape the text again,
    // clearing the lines keeps the shaped glyphs.
    m_shaped->clearLayout();
    const qreal leading = QFontMetricsF(font()).leading();
    qreal height = -leading;
    qreal textWidth = 0;
    for (QTextLine line = m_shaped->createLine(); line.isValid(); line = m_shaped->createLine()) {
        line.setLineWidth(std::max(0, width));
        height = std::ceil(height + leading);
        line.setPosition(QPointF(0, height));
        height += line.ascent() + line.descent();
        textWidth = std::max(textWidth, line.naturalTextWidth());
    }
    return {int(std::ceil(textWidth)), int(std::ceil(height))};
}

// The label's size for a width, as QLabel works it out for plain text: the
// text's box, the margin on every side, the indent on the side the text is
// aligned to, and the contents margins. Without a width, wrapped text tries
// a line of 80 average characters, then half and a quarter of it while the
// text stays short.
QSize TextLabel::sizeForWidth(int width) const
{
    if (minimumWidth() > 0)
        width = std::max(width, minimumWidth());
    const QFontMetrics metrics = fontMetrics();
    // The alignment as QLabel takes it: left and right swapped for text that
    // runs from right to left.
    const Qt::LayoutDirection direction =
        text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const Qt::Alignment align = QStyle::visualAlignment(direction, alignment());
    int flags = int(align & ~(Qt::AlignVCenter | Qt::AlignHCenter)) | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (buddy() && text().contains(u'&')) {
        flags |= Qt::TextShowMnemonic;
        QStyleOption option;
        option.initFrom(this);
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
            flags |= Qt::TextHideMnemonic;
    }
    int horizontal = 2 * margin();
    int vertical = horizontal;
    int extra = indent();
    if (extra < 0 && frameWidth())
        extra = metrics.horizontalAdvance(u'x') - 2 * margin();
    if (extra > 0) {
        if (align & (Qt::AlignLeft | Qt::AlignRight))
            horizontal += extra;
        if (align & (Qt::AlignTop | Qt::AlignBottom))
            vertical += extra;
    }
    const QMargins contents = contentsMargins();
    const bool tryWidth = width < 0 && wordWrap();
    if (tryWidth)
        width = std::min(metrics.averageCharWidth() * 80, maximumWidth());
    else if (width < 0)
        width = LabelBox;
    width -= horizontal + contents.left() + contents.right();
    QSize box = textSize(width, flags);
    if (tryWidth && box.height() < 4 * metrics.lineSpacing() && box.width() > width / 2)
        box = textSize(width / 2, flags);
    if (tryWidth && box.height() < 2 * metrics.lineSpacing() && box.width() > width / 4)
        box = textSize(width / 4, flags);
    const QSize size(box.width() + horizontal + contents.left() + contents.right(),
                     box.height() + vertical + contents.top() + contents.bottom());
    return size.expandedTo(minimumSize());
}

const TextLabel::Hints& TextLabel::hints() const
{
    ensurePolished();
    forgetIfChanged();
    if (!m_hints.size.isValid()) {
        m_hints.size = sizeForWidth(-1);
        m_hints.minimum =
            QSize(sizeForWidth(0).width(),
                  std::min(sizeForWidth(QWIDGETSIZE_MAX).height(), m_hints.size.height()));
    }
    return m_hints;
}

QSize TextLabel::sizeHint() const
{
    return measuredHere() ? hints().size : QLabel::sizeHint();
}

QSize TextLabel::minimumSizeHint() const
{
    return measuredHere() ? hints().minimum : QLabel::minimumSizeHint();
}

int TextLabel::heightForWidth(int width) const
{
    if (!measuredHere())
        return QLabel::heightForWidth(width);
    forgetIfChanged();
    const auto found = m_heights.constFind(width);
    if (found != m_heights.cend())
        return *found;
    const int height = sizeForWidth(width).height();
    if (m_heights.size() >= RememberedWidths)
        m_heights.clear();
    m_heights.insert(width, height);
    return height;
}

void TextLabel::changeEvent(QEvent* event)
{
    forget();
    QLabel::changeEvent(event);
}
