#include "FormTranslator.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "Languages.h"
#include "Variables.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>

#include <optional>

namespace {

const char* const TagProperty = "Tag";
const char* const ToolTipProperty = "ToolTipText";

// The two conversions of the program, on the property's text, rounded to 16
// bits; nothing when the conversion fails or the number does not fit.
std::optional<qint16> strict(const QString& text)
{
    try {
        // Most captions are not numbers: they are told apart without the
        // cost of a failing conversion.
        const QByteArray bytes = Cp1252::fromUnicode(text);
        if (!Conversions::isNumeric(bytes))
            return std::nullopt;
        return Conversions::toInt16(Conversions::strict(bytes));
    } catch (const Conversions::Failure&) {
        return std::nullopt;
    }
}

std::optional<qint16> val(const QString& text)
{
    try {
        return Conversions::toInt16(Conversions::Val(Cp1252::fromUnicode(text)));
    } catch (const Conversions::Failure&) {
        return std::nullopt;
    }
}

// The text of number n in the current language; nothing when LanguageBase + n
// does not fit 16 bits.
std::optional<QString> textOf(qint16 n)
{
    const int sum = LanguageBase + n;
    if (sum < -32768 || sum > 32767)
        return std::nullopt;
    return Languages::GetMessageText(static_cast<qint16>(sum));
}

std::optional<QString> strictText(const QString& number)
{
    const std::optional<qint16> n = strict(number);
    return n ? textOf(*n) : std::nullopt;
}

QString property(const QObject* object, const char* name)
{
    return object->property(name).toString();
}

void setToolTipText(QWidget* widget, const QString& text)
{
    widget->setProperty(ToolTipProperty, text);
    widget->setToolTip(text);
}

void translateWindow(QWidget* window)
{
    if (const std::optional<QString> text = strictText(property(window, TagProperty)))
        window->setWindowTitle(*text);
}

void translateLabel(QLabel* label)
{
    if (const std::optional<QString> text = strictText(property(label, TagProperty)))
        label->setText(*text);
    if (const std::optional<QString> text = strictText(property(label, ToolTipProperty)))
        setToolTipText(label, *text);
}

void translateActionTexts(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (const std::optional<QString> text = strictText(action->text()))
            action->setText(*text);
    }
}

void translateMenuBar(QMenuBar* bar)
{
    translateActionTexts(bar->actions());
}

void translateMenu(QMenu* menu)
{
    if (const std::optional<QString> text = strictText(menu->title()))
        menu->setTitle(*text);
    translateActionTexts(menu->actions());
}

void translateTabWidget(QTabWidget* tabs)
{
    for (int i = 0; i < tabs->count(); ++i) {
        if (const std::optional<QString> text = strictText(property(tabs->widget(i), TagProperty)))
            tabs->setTabText(i, *text);
        if (const std::optional<QString> text = strictText(tabs->tabToolTip(i)))
            tabs->setTabToolTip(i, *text);
    }
}

void translateTabBar(QTabBar* bar)
{
    for (int i = 0; i < bar->count(); ++i) {
        if (const std::optional<QString> text = strictText(bar->tabData(i).toString()))
            bar->setTabText(i, *text);
        if (const std::optional<QString> text = strictText(bar->tabToolTip(i)))
            bar->setTabToolTip(i, *text);
    }
}

void translateToolBar(QToolBar* bar)
{
    const QList<QAction*> actions = bar->actions();
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (const std::optional<QString> text = strictText(action->toolTip()))
            action->setToolTip(*text);
    }
}

void translateHeader(QTreeWidget* tree)
{
    QTreeWidgetItem* header = tree->headerItem();
    for (int column = 0; column < tree->columnCount(); ++column) {
        if (const std::optional<QString> text =
                strictText(header->data(column, Qt::UserRole).toString()))
            header->setText(column, *text);
    }
}

// Buttons, check boxes and option buttons have a text, group boxes a title;
// every other widget has no caption and keeps what it shows.
void setCaption(QWidget* widget, const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
}

void translateOther(QWidget* widget)
{
    const std::optional<qint16> caption = val(property(widget, TagProperty));
    if (caption && *caption > 0) {
        if (const std::optional<QString> text = textOf(*caption))
            setCaption(widget, *text);
    }
    const std::optional<qint16> tip = val(property(widget, ToolTipProperty));
    if (tip && *tip >= 1) {
        if (const std::optional<QString> text = textOf(*tip))
            setToolTipText(widget, *text);
    }
}

// A page of a tab widget lends its "Tag" to its tab; a tab widget's own tab
// bar is translated with the tab widget.
bool belongsToTabWidget(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    if (qobject_cast<const QTabWidget*>(parent))
        return qobject_cast<const QTabBar*>(widget) != nullptr;
    return qobject_cast<const QStackedWidget*>(parent) &&
           qobject_cast<const QTabWidget*>(parent->parentWidget());
}

void translateControl(QWidget* widget)
{
    if (belongsToTabWidget(widget))
        return;
    if (auto* label = qobject_cast<QLabel*>(widget))
        translateLabel(label);
    else if (auto* bar = qobject_cast<QMenuBar*>(widget))
        translateMenuBar(bar);
    else if (auto* menu = qobject_cast<QMenu*>(widget))
        translateMenu(menu);
    else if (auto* tabs = qobject_cast<QTabWidget*>(widget))
        translateTabWidget(tabs);
    else if (auto* tabBar = qobject_cast<QTabBar*>(widget))
        translateTabBar(tabBar);
    else if (auto* toolBar = qobject_cast<QToolBar*>(widget))
        translateToolBar(toolBar);
    else if (auto* tree = qobject_cast<QTreeWidget*>(widget))
        translateHeader(tree);
    else
        translateOther(widget);
}

// The window's controls in their order: each child, then its own children.
void translateChildren(QWidget* parent)
{
    const QObjectList children = parent->children();
    for (QObject* child : children) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || (widget->isWindow() && !qobject_cast<QMenu*>(widget)))
            continue;
        translateControl(widget);
        translateChildren(widget);
    }
}

} // namespace

namespace FormTranslator {

void TranslateForm(QWidget* window)
{
    if (!window)
        return;
    translateWindow(window);
    translateChildren(window);
}

} // namespace FormTranslator
