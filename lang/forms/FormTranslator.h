#pragma once

class QWidget;

// Puts the texts of the current language into a window and its controls.
//
// Each widget names its texts by number, in two dynamic properties (QString),
// set by the window's code or its .ui file:
//   "Tag"          the number of the widget's caption;
//   "ToolTipText"  a tool tip, or the number of one.
// The text of number n is Languages::GetMessageText(LanguageBase + n).
//
// What is read and written, by kind of widget:
//   the window itself   "Tag" -> window title                       (strict)
//   QLabel              "Tag" -> text; "ToolTipText" -> tool tip    (strict)
//   QMenuBar, QMenu     each action's text -> the action's text, and the
//                       menu's title -> title                       (strict)
//   QTabWidget          tab i: "Tag" of page i -> tab text; the tab's tool
//                       tip -> tab tool tip                         (strict)
//   QTabBar (alone)     tab i: tabData(i) -> tab text; the tab's tool tip ->
//                       tab tool tip                                (strict)
//   QToolBar            each action's tool tip -> its tool tip      (strict)
//   QTreeWidget         column i: header data of role Qt::UserRole -> header
//                       text                                        (strict)
//   any other widget    "Tag" -> text of a button, title of a group box,
//                       when the number is above 0; "ToolTipText" -> tool
//                       tip, when that number is 1 or more          (Val)
// Strict: the whole text, blanks aside, must be a number that fits 16 bits.
// Val: the number at the start of the text, 0 when there is none.
//
// A translated "ToolTipText" is written to the property and to the widget's
// tool tip; its number is then gone. Every step stands alone: a number that
// does not convert, a sum that does not fit 16 bits, or a widget without a
// caption skips that step only. Child windows (other than menus) are not part
// of the window. Nothing is reported.
namespace FormTranslator {

void TranslateForm(QWidget* window);

} // namespace FormTranslator
