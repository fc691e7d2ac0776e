#pragma once

#include <QRect>
#include <QSize>

class QFont;

namespace kelvo {

// Dialog templates are laid out in dialog units, which the dialog framework
// turns into pixels with the dialog font: the horizontal base is the average
// width of the 52 letters A-Z a-z, the vertical base the font height; a
// horizontal unit is a quarter of the base, a vertical unit an eighth.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

DialogBaseUnits DialogBaseUnitsFor(const QFont& font);

QSize DluToPixels(const QFont& font, int width, int height);
QRect DluToPixels(const QFont& font, int x, int y, int width, int height);

} // namespace kelvo
