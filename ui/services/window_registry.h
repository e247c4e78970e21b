#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace tarnwick::ui {

/// Knows which top-level windows are loaded, one of each name. A window is loaded by its
/// factory on first use, destroyed when closed, and loaded afresh the next time.
class WindowRegistry {
public:
    using Factory = std::function<QWidget*()>;

    /// The loaded window of that name, or nullptr.
    QWidget* find(const QString& name) const;
    /// Loads the window if it is not loaded; returns it.
    QWidget* load(const QString& name, const Factory& factory);
    /// Loads the window if needed and shows it modeless, raised and active.
    QWidget* show(const QString& name, const Factory& factory);

private:
    QHash<QString, QPointer<QWidget>> m_windows;
};

} // namespace tarnwick::ui
