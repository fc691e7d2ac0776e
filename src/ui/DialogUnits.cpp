#include "ui/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace kelvo {

DialogBaseUnits DialogBaseUnitsFor(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    return {(width / 26 + 1) / 2, metrics.height()};
}

namespace {

// MulDiv: the product divided and rounded to the nearest integer.
int MulDiv(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

} // namespace

QSize DluToPixels(const QFont& font, int width, int height) {
    const DialogBaseUnits base = DialogBaseUnitsFor(font);
    return {MulDiv(width, base.x, 4), MulDiv(height, base.y, 8)};
}

QRect DluToPixels(const QFont& font, int x, int y, int width, int height) {
    const DialogBaseUnits base = DialogBaseUnitsFor(font);
    return {MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(width, base.x, 4),
            MulDiv(height, base.y, 8)};
}

} // namespace kelvo
