#include "wizard/WindowIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kw {

namespace {

/// A blue tile with a white pictogram card and a green arrow that drops a new one in.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0xae));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 8, 8);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 18, 32, 24), 4, 4);
    // A little figure on the card: head and body.
    p.setBrush(QColor(0x1f, 0x5f, 0xae));
    p.drawEllipse(QPointF(24, 25), 3.5, 3.5);
    p.drawRoundedRect(QRectF(19, 30, 10, 9), 3, 3);
    QPainterPath arrow;
    arrow.moveTo(20, 2);
    arrow.lineTo(28, 2);
    arrow.lineTo(28, 10);
    arrow.lineTo(34, 10);
    arrow.lineTo(24, 20);
    arrow.lineTo(14, 10);
    arrow.lineTo(20, 10);
    arrow.closeSubpath();
    p.setBrush(QColor(0x2e, 0xa0, 0x43));
    p.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

} // namespace kw
