#include "desktop.h"

#include <QStandardPaths>

namespace tarnwick::platform {

QString DesktopFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

} // namespace tarnwick::platform
