#pragma once

#include <QString>

class QIcon;
class QWidget;

// Window icons read at run time from an icon file in the program folder, so
// that the icon can be changed without building the program again. A failed
// load writes one trace line on standard error and leaves the window's icon
// as it was.
namespace mCustomIcon {

inline constexpr qint16 SmallIcon = 0; // 16 x 16
inline constexpr qint16 LargeIcon = 1; // 32 x 32

// Loads folder + name at the given size and makes it the window's icon. An
// empty folder is the program folder.
void CustomizationReadIcon(QWidget* window, const QString& name, const QString& folder,
                           qint16 size);

// The target window takes the source window's icon.
void CustomizationSetFrmIcon(QWidget* target, QWidget* source);

// The window's large icon becomes the icon of the program among running
// applications: the top owner window's when there is one, the application's
// icon (taskbar, window list) otherwise.
void CustomizationSetOwnerIcon(QWidget* window);

// Here the taskbar shows each window's own icon, not an owner's: the window
// keeps its small image and takes the holder's large one beside it, unless it
// has a large image of its own (its designed icon).
void CustomizationAddLargeIcon(QWidget* window, QWidget* holder);

// The topmost window that owns this one, or nullptr.
QWidget* CustomizationTopOwner(QWidget* window);

// The program folder, without a trailing separator.
QString CustomizationDefaultPath();

// The never-shown window that holds the large icon: created on first use,
// unloaded when the configuration window closes.
QWidget* frmIcon32();
void unloadIcon32();
bool icon32Loaded();

// The icon the configuration window carries when no icon file can be read.
QIcon designedIcon();

} // namespace mCustomIcon
