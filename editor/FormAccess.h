#pragma once

class QWidget;

// Names for screen readers: every field that a label is the buddy label of
// takes the label's text (without its "&" marks) as its accessible name. Run
// after each translation of the window.
namespace FormAccess {

void nameBuddies(QWidget* window);

} // namespace FormAccess
