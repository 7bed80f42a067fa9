#pragma once

#include <QHash>
#include <QLabel>
#include <QMargins>
#include <QPointer>
#include <QSize>
#include <QTextLayout>

#include <memory>

// A label of plain text that measures its text as QLabel does, and remembers
// what it measured until something that moves its text changes. While a
// window with several pages is laid out and shown, its layouts ask every label
// for its sizes, and a word-wrapped label for its height at the same few
// widths, again and again; a plain label lays its whole text out again for
// each answer after many changes that do not move it, and three times over
// for the size hints of a single line. Wrapped text is shaped once and only
// broken into lines again for each width. Any other label (rich or selectable
// text, a picture, no text yet) is measured by QLabel itself.
class TextLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    // What the remembered measures were taken with, besides the font and
    // the style (whose changes arrive as change events).
    struct Measure
    {
        QString text;
        int margin = 0;
        int indent = 0;
        QMargins contents;
        Qt::Alignment alignment;
        bool wordWrap = false;
        QSize minimum;
        QSize maximum;
        QSizePolicy policy;
        QPointer<QWidget> buddy;
        bool operator==(const Measure&) const = default;
    };

    struct Hints
    {
        QSize size; // invalid until measured
        QSize minimum;
    };

    Measure currentMeasure() const;
    void forgetIfChanged() const;
    void forget() const;
    bool measuredHere() const;
    QSize textSize(int width, int flags) const;
    bool wrapsShapedText(int flags) const;
    QSize wrappedSize(int width) const;
    QSize sizeForWidth(int width) const;
    const Hints& hints() const;

    mutable Measure m_measure;
    mutable QSize m_lineSize; // unwrapped text, once measured
    mutable Hints m_hints;
    mutable QHash<int, int> m_heights;
    // The text shaped for wrapping, kept in layout while the text stands.
    mutable std::unique_ptr<QTextLayout> m_shaped;
};
