#pragma once

#include <QString>

namespace tarnwick::ui {

/// The user's desktop folder, as the desktop session names it (the XDG desktop folder,
/// for example "~/桌面" in a Chinese session).
QString DesktopFolder();

} // namespace tarnwick::ui
