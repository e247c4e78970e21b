#include "desktop.h"

#include <QStandardPaths>

namespace tarnwick::ui {

QString DesktopFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

} // namespace tarnwick::ui
