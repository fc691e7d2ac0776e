#include "ui/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library must be registered by name, outside any
// namespace.
static void InitKelvoResources() {
    Q_INIT_RESOURCE(kelvo);
}

namespace kelvo {

namespace {

QPixmap Render(const QString& resource, const QSize& size, qreal dpr) {
    InitKelvoResources();
    QSvgRenderer renderer(resource);
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QSizeF drawn = QSizeF(renderer.defaultSize()).scaled(QSizeF(size), Qt::KeepAspectRatio);
    renderer.render(&painter, QRectF(QPointF((size.width() - drawn.width()) / 2,
                                             (size.height() - drawn.height()) / 2),
                                     drawn));
    return pixmap;
}

} // namespace

QIcon KelvoIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(Render(QStringLiteral(":/kelvo/icon128.svg"), QSize(side, side), 1.0));
    return icon;
}

QPixmap KelvoLogo(const QSize& size, qreal devicePixelRatio) {
    return Render(QStringLiteral(":/kelvo/logo135.svg"), size, devicePixelRatio);
}

} // namespace kelvo
