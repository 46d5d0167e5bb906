#include "platform/LockIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace platform {

QPixmap lockIcon(int size, qreal devicePixelRatio, const QColor& colour) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // Shackle: an arch over the upper half.
    QPen pen(colour, s * 0.12);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF arch(s * 0.28, s * 0.08, s * 0.44, s * 0.5);
    painter.drawArc(arch, 0, 180 * 16);
    painter.drawLine(QPointF(arch.left(), arch.center().y()), QPointF(arch.left(), s * 0.48));
    painter.drawLine(QPointF(arch.right(), arch.center().y()), QPointF(arch.right(), s * 0.48));
    // Body with a key hole.
    painter.setPen(Qt::NoPen);
    QPainterPath body;
    body.addRoundedRect(QRectF(s * 0.16, s * 0.44, s * 0.68, s * 0.5), s * 0.08, s * 0.08);
    QPainterPath hole;
    hole.addEllipse(QPointF(s * 0.5, s * 0.64), s * 0.07, s * 0.07);
    hole.addRect(QRectF(s * 0.47, s * 0.66, s * 0.06, s * 0.16));
    painter.setBrush(colour);
    painter.drawPath(body.subtracted(hole));
    return pixmap;
}

} // namespace platform
