#include "window_registry.h"

namespace tarnwick::ui {

QWidget* WindowRegistry::find(const QString& name) const {
    return m_windows.value(name).data();
}

QWidget* WindowRegistry::load(const QString& name, const Factory& factory) {
    if (QWidget* loaded = find(name))
        return loaded;
    QWidget* window = factory();
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_windows.insert(name, window);
    return window;
}

QWidget* WindowRegistry::show(const QString& name, const Factory& factory) {
    QWidget* window = load(name, factory);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace tarnwick::ui
