#pragma once

#include <QIcon>
#include <QPixmap>

namespace kelvo {

// The window icon (icon 128), drawn from its SVG at the usual sizes.
QIcon KelvoIcon();

// The logo (bitmap 135) drawn to fill `size` logical pixels.
QPixmap KelvoLogo(const QSize& size, qreal devicePixelRatio);

} // namespace kelvo
