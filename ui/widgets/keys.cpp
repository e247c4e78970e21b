#include "keys.h"

#include <QKeyEvent>

namespace tarnwick::ui {

bool IsStrayAltKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (!(modifiers & Qt::AltModifier) || (modifiers & Qt::ControlModifier))
        return false;
    // Alt with a navigation key (Alt+Down opens a list) changes no text; let it through.
    switch (event.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Insert:
        return true;
    default:
        return !event.text().isEmpty();
    }
}

} // namespace tarnwick::ui
