#pragma once

// The program's pictures, drawn in code so they stay sharp at any scale and an artist can
// change them here: the logo (the name "Tarnwick" in red over a chip on a circuit board)
// and the application icon (the chip alone with a red "T").

#include <QIcon>
#include <QPixmap>
#include <QSize>

class QPainter;
class QRectF;

namespace tarnwick::artwork {

inline constexpr QSize kLogoSize{140, 120};
inline constexpr QSize kSmallLogoSize{64, 55};
inline constexpr QSize kIconSize{48, 48};

/// Paints the logo into `area` (designed for 140 x 120).
void PaintLogo(QPainter& painter, const QRectF& area);
/// Paints the icon into `area` (designed for 48 x 48).
void PaintIcon(QPainter& painter, const QRectF& area);

/// The logo at `size` logical pixels, rendered for `devicePixelRatio`.
QPixmap Logo(QSize size, qreal devicePixelRatio);
/// The application icon, with renderings from 16 to 256 pixels.
QIcon AppIcon();

} // namespace tarnwick::artwork
