#pragma once

#include <QString>

#include <cstdint>
#include <memory>

class QWidget;

namespace tarnwick::ui {

/// One long task's progress as the user sees it. The task ends when the object is destroyed.
class Progress {
public:
    virtual ~Progress() = default;
    /// Reports `done` of `total` units (a `total` of 0: not known yet) and lets the windows
    /// repaint. Returns false once the user has asked to stop.
    virtual bool step(std::uint64_t done, std::uint64_t total) = 0;
};

/// Starts showing the progress of long tasks; tests substitute a fake.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual std::unique_ptr<Progress> start(QWidget* parent, const QString& label) = 0;
};

/// A window-modal progress dialog with a "取消" button, shown once a task has lasted about
/// half a second. Until then user input waits, so nothing can start a second task.
class QtProgress final : public ProgressService {
public:
    std::unique_ptr<Progress> start(QWidget* parent, const QString& label) override;
};

} // namespace tarnwick::ui
