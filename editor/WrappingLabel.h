#pragma once

#include <QHash>
#include <QLabel>
#include <QMargins>

// A word-wrapped label that remembers its height for each width it was asked
// about. While a window with several pages is laid out and shown, its layouts
// ask every page for its height at the same few widths again and again; a
// plain label lays its whole text out for each question.
class WrappingLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    int heightForWidth(int width) const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    // What the remembered heights were measured with, besides the font and
    // the style (whose changes arrive as change events).
    struct Measure
    {
        QString text;
        int margin = 0;
        int indent = 0;
        QMargins contents;
        bool operator==(const Measure&) const = default;
    };

    mutable Measure m_measure;
    mutable QHash<int, int> m_heights;
};
