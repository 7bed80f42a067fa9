#include "WrappingLabel.h"

namespace {

// Widths remembered at most; a window being resized by hand asks for many.
constexpr qsizetype RememberedWidths = 16;

} // namespace

int WrappingLabel::heightForWidth(int width) const
{
    const Measure measure{text(), margin(), indent(), contentsMargins()};
    if (!(measure == m_measure)) {
        m_heights.clear();
        m_measure = measure;
    }
    const auto found = m_heights.constFind(width);
    if (found != m_heights.cend())
        return *found;
    const int height = QLabel::heightForWidth(width);
    if (m_heights.size() >= RememberedWidths)
        m_heights.clear();
    m_heights.insert(width, height);
    return height;
}

void WrappingLabel::changeEvent(QEvent* event)
{
    m_heights.clear();
    QLabel::changeEvent(event);
}
