#include "FormTexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextDocumentFragment>

namespace FormTexts {

namespace {

QString shownBy(QWidget* widget, bool isWindow)
{
    if (isWindow)
        return widget->windowTitle();
    if (const auto* label = qobject_cast<QLabel*>(widget)) // a link shows its text
        return Qt::mightBeRichText(label->text())
                   ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                   : label->text();
    if (const auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (const auto* frame = qobject_cast<QGroupBox*>(widget))
        return frame->title();
    auto* tabs = qobject_cast<QTabWidget*>(
        widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr);
    if (tabs && qobject_cast<QStackedWidget*>(widget->parentWidget()))
        return tabs->tabText(tabs->indexOf(widget));
    return QStringLiteral("(no caption)");
}

} // namespace

QList<Tagged> tagged(QWidget* window)
{
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    QList<Tagged> found;
    for (QWidget* widget : widgets) {
        bool number = false;
        const int n = widget->property("Tag").toString().toInt(&number);
        if (number && n > 0)
            found.append({widget->objectName(), n, shownBy(widget, widget == window)});
    }
    return found;
}

} // namespace FormTexts
