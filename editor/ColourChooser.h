#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

class QWidget;

// The colour chooser of the Couleurs page. Colours are RGB numbers with red in
// the low byte. The default opens QColorDialog on the initial colour; tests
// install their own answer.
namespace ColourChooser {

// The chosen colour, or nothing when the chooser was cancelled or failed.
using Function = std::function<std::optional<qint32>(qint32 initial, QWidget* parent)>;

// Installs a chooser; an empty one goes back to QColorDialog.
void install(Function chooser);

std::optional<qint32> choose(qint32 initial, QWidget* parent);

// Conversions between the stored number and Qt's colour.
qint32 toNumber(int red, int green, int blue);

} // namespace ColourChooser
