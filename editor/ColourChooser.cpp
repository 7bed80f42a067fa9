#include "ColourChooser.h"

#include <QColorDialog>

namespace {

ColourChooser::Function& installed()
{
    static ColourChooser::Function chooser;
    return chooser;
}

std::optional<qint32> qtChooser(qint32 initial, QWidget* parent)
{
    const QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(start, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return ColourChooser::toNumber(chosen.red(), chosen.green(), chosen.blue());
}

} // namespace

namespace ColourChooser {

void install(Function chooser)
{
    installed() = std::move(chooser);
}

std::optional<qint32> choose(qint32 initial, QWidget* parent)
{
    return installed() ? installed()(initial, parent) : qtChooser(initial, parent);
}

qint32 toNumber(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

} // namespace ColourChooser
