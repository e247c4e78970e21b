// Renders the pictures the window draws to PNG files, for artists to compare with the
// icon's SVG (resources/icons, which the desktop gets) and to look at:
//   make_artwork OUTPUT_DIR
// writes icon-SIZE.png for the hicolor sizes, logo.png and logo-small.png.

#include "artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path()))
        return 1;
    bool ok = true;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        tarnwick::artwork::PaintIcon(painter, QRectF(0, 0, side, side));
        painter.end();
        ok &= image.save(out.filePath(QStringLiteral("icon-%1.png").arg(side)));
    }
    ok &= tarnwick::artwork::Logo(tarnwick::artwork::kLogoSize, 1)
              .save(out.filePath(QStringLiteral("logo.png")));
    ok &= tarnwick::artwork::Logo(tarnwick::artwork::kSmallLogoSize, 1)
              .save(out.filePath(QStringLiteral("logo-small.png")));
    return ok ? 0 : 1;
}
