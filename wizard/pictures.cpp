#include "wizard/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tabellix {
namespace {

const QColor kDeep(28, 74, 128);
const QColor kSky(86, 150, 214);
const QColor kSheet(250, 252, 255);
const QColor kLine(170, 190, 215);
const QColor kGreen(46, 150, 90);

QPixmap Blank(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A small spreadsheet: a header band and ruled cells.
void DrawSheet(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kLine, 1));
    p.setBrush(kSheet);
    p.drawRoundedRect(r, 3, 3);
    const qreal band = r.height() / 6;
    p.fillRect(QRectF(r.left() + 1, r.top() + 1, r.width() - 2, band), QColor(214, 228, 244));
    for (int i = 1; i < 6; ++i)
        p.drawLine(QPointF(r.left(), r.top() + i * band), QPointF(r.right(), r.top() + i * band));
    for (int i = 1; i < 3; ++i) {
        const qreal x = r.left() + i * r.width() / 3;
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
}

// A database drum, filled up to fill (0..1) with rows.
void DrawDrum(QPainter& p, const QRectF& r, qreal fill) {
    const qreal lid = r.height() / 5;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + lid / 2);
    body.lineTo(r.left(), r.bottom() - lid / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - lid, r.width(), lid), 180, 180);
    body.lineTo(r.right(), r.top() + lid / 2);
    body.arcTo(QRectF(r.left(), r.top(), r.width(), lid), 0, -180);
    QLinearGradient shade(r.topLeft(), r.topRight());
    shade.setColorAt(0, kSky.lighter(130));
    shade.setColorAt(1, kSky.darker(120));
    p.setPen(QPen(kDeep, 1.5));
    p.setBrush(shade);
    p.drawPath(body);
    p.setBrush(kSky.lighter(150));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), lid));
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
    const int rows = 4;
    for (int i = 0; i < rows; ++i) {
        if (i >= rows * fill)
            break;
        const qreal y = r.bottom() - lid - i * (r.height() - 2 * lid) / rows;
        p.drawArc(QRectF(r.left(), y - lid / 2, r.width(), lid), 180 * 16, 180 * 16);
    }
}

// A downward arrow from the sheet to the drum.
void DrawArrow(QPainter& p, QPointF from, QPointF to) {
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const qreal head = 7;
    p.drawLine(to, to + QPointF(-head, -head));
    p.drawLine(to, to + QPointF(head, -head));
}

} // namespace

QPixmap SidePanelPicture(QSize size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(QPointF(0, 0), QSizeF(size));
    QLinearGradient sky(all.topLeft(), all.bottomLeft());
    sky.setColorAt(0, kSky);
    sky.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(all, 6, 6);
    const qreal w = all.width(), h = all.height();
    DrawSheet(p, QRectF(w * 0.27, h * 0.10, w * 0.46, w * 0.40));
    DrawArrow(p, QPointF(w * 0.5, h * 0.40), QPointF(w * 0.5, h * 0.50));
    DrawDrum(p, QRectF(w * 0.31, h * 0.54, w * 0.38, w * 0.44), 1);
    QFont font = p.font();
    font.setPointSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, h - 46, w, 30), Qt::AlignCenter, "Tabellix");
    return pixmap;
}

QPixmap ProgressPicture(QSize size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    DrawSheet(p, QRectF(2, h * 0.2, w * 0.4, h * 0.6));
    p.setPen(Qt::NoPen);
    p.setBrush(kSky);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(w * (0.47 + 0.06 * i), h * 0.5), 3, 3);
    DrawDrum(p, QRectF(w * 0.66, h * 0.12, w * 0.32, h * 0.76), 0.5);
    return pixmap;
}

QPixmap CompletionPicture(QSize size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = std::min(size.width(), size.height()) - 4;
    const QRectF disc((size.width() - d) / 2, (size.height() - d) / 2, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(disc);
    p.setPen(QPen(Qt::white, d / 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(disc.left() + d * 0.27, disc.top() + d * 0.52);
    tick.lineTo(disc.left() + d * 0.44, disc.top() + d * 0.68);
    tick.lineTo(disc.left() + d * 0.74, disc.top() + d * 0.35);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    return pixmap;
}

QIcon WindowIcon() {
    QIcon icon;
    for (int side : {16, 32, 48}) {
        QPixmap pixmap = Blank(QSize(side, side));
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        DrawSheet(p, QRectF(0.5, side * 0.08, side * 0.62, side * 0.62));
        DrawDrum(p, QRectF(side * 0.45, side * 0.36, side * 0.5, side * 0.6), 1);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tabellix
