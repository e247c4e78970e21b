#pragma once

#include <QFont>

namespace tarnwick::ui {

/// The Song (Ming) face the windows are designed for, at `pointSize`: "宋体" where it is
/// installed, else SimSun, AR PL SungtiL GB, Noto Serif CJK SC, then any face that covers
/// Simplified Chinese, so Chinese text never renders as boxes.
QFont SongFont(qreal pointSize);

} // namespace tarnwick::ui
