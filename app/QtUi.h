#pragma once

// The Qt implementation of the UI hooks: message boxes, the beep, the busy
// pointer and the end of the program.
namespace QtUi {

void install();

} // namespace QtUi
