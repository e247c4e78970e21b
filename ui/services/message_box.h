#pragma once

#include <QString>

class QWidget;

namespace tarnwick::ui {

/// Shows a message to the user and waits until it is closed.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    /// `text` may hold CR LF line breaks and leading blanks; both are shown as they are.
    virtual void show(QWidget* parent, const QString& text) = 0;
};

/// A modal message box with an OK button only, no icon, captioned "Tarnwick".
class QtMessageBox final : public MessageBoxService {
public:
    void show(QWidget* parent, const QString& text) override;
};

} // namespace tarnwick::ui
