#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRectF>

namespace tarnwick::artwork {

namespace {

const QColor kBoard(0x1f, 0x6b, 0x3a);
const QColor kBoardDark(0x14, 0x4d, 0x29);
const QColor kTrace(0xd8, 0xb0, 0x4c);
const QColor kChip(0x22, 0x22, 0x26);
const QColor kPin(0xc8, 0xc8, 0xcc);
const QColor kRed(0xe0, 0x1b, 0x24);

// Draws a chip with pins on all four sides, in a 100 x 100 design space.
void paintChip(QPainter& p, bool traces) {
    if (traces) {
        p.setPen(QPen(kTrace, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (int i = 0; i < 5; ++i) {
            const qreal y = 30 + i * 10;
            p.drawPolyline(QPolygonF{{0, y - 8}, {10, y}, {24, y}});
            p.drawPolyline(QPolygonF{{100, y + 8}, {90, y}, {76, y}});
            p.drawEllipse(QPointF(4, y - 4.8), 1.6, 1.6);
        }
        for (int i = 0; i < 4; ++i) {
            const qreal x = 35 + i * 10;
            p.drawLine(QPointF(x, 0), QPointF(x, 24));
            p.drawLine(QPointF(x, 76), QPointF(x, 100));
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kPin);
    for (int i = 0; i < 5; ++i) {
        const qreal at = 28 + i * 10;
        p.drawRect(QRectF(20, at, 8, 4));
        p.drawRect(QRectF(72, at, 8, 4));
        p.drawRect(QRectF(at, 20, 4, 8));
        p.drawRect(QRectF(at, 72, 4, 8));
    }
    QLinearGradient body(QPointF(26, 26), QPointF(74, 74));
    body.setColorAt(0, kChip.lighter(160));
    body.setColorAt(1, kChip);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(26, 26, 48, 48), 3, 3);
    p.setBrush(kChip.lighter(220));
    p.drawEllipse(QPointF(33, 33), 2.5, 2.5);
}

// The outline of `text` in DejaVu Sans Bold, read from its file so the pictures are the same
// whatever else is installed; fontconfig's choice only where the file is missing.
QPainterPath textPath(const QString& text, int pixelSize) {
    QPainterPath path;
    const QRawFont raw(QStringLiteral(TARNWICK_ARTWORK_FONT), pixelSize);
    if (!raw.isValid()) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(pixelSize);
        font.setStyleHint(QFont::SansSerif);
        path.addText(0, 0, font, text);
        return path;
    }
    const QList<quint32> glyphs = raw.glyphIndexesForString(text);
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
    QPointF pen(0, 0);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        path.addPath(raw.pathForGlyph(glyphs[i]).translated(pen));
        pen += advances[i];
    }
    return path;
}

} // namespace

void PaintLogo(QPainter& p, const QRectF& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(area.topLeft());
    p.scale(area.width() / 140.0, area.height() / 120.0);

    QLinearGradient board(QPointF(0, 0), QPointF(140, 120));
    board.setColorAt(0, kBoard);
    board.setColorAt(1, kBoardDark);
    p.fillRect(QRectF(0, 0, 140, 120), board);

    p.save();
    p.translate(20, 5);
    p.scale(1.0, 0.9);
    paintChip(p, true);
    p.restore();

    // The name, red with a white outline so it reads over the board.
    const QPainterPath name = textPath(QStringLiteral("Tarnwick"), 30);
    const QRectF box = name.boundingRect();
    const qreal fit = std::min(1.0, 132.0 / box.width());
    p.translate(70, 108);
    p.scale(fit, fit);
    p.translate(-box.center().x(), 0);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(name);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPath(name);
    p.restore();
}

void PaintIcon(QPainter& p, const QRectF& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(area.topLeft());
    p.scale(area.width() / 100.0, area.height() / 100.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kBoard);
    p.drawRoundedRect(QRectF(4, 4, 92, 92), 14, 14);

    p.save(); // the chip, a little larger than in the logo
    p.translate(-12, -12);
    p.scale(1.24, 1.24);
    paintChip(p, false);
    p.restore();

    const QPainterPath letter = textPath(QStringLiteral("T"), 44);
    const QRectF box = letter.boundingRect();
    p.translate(50 - box.center().x(), 50 - box.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPath(letter);
    p.restore();
}

QPixmap Logo(QSize size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PaintLogo(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 96, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PaintIcon(painter, QRectF(0, 0, side, side));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tarnwick::artwork
