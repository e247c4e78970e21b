#include "progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

namespace tarnwick::ui {

namespace {

class DialogProgress final : public Progress {
public:
    DialogProgress(QWidget* parent, const QString& label)
        : m_dialog(label, QStringLiteral("取消"), 0, kScale, parent) {
        // Titled by its task: "Tarnwick" alone names the message boxes that answer with Enter.
        m_dialog.setWindowTitle(QStringLiteral("Tarnwick ") + label);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
        m_sinceEvents.start();
    }

    bool step(std::uint64_t done, std::uint64_t total) override {
        // Events cost more than a small step of work: handle them about 60 times a second.
        if (m_sinceEvents.elapsed() < 16)
            return !m_dialog.wasCanceled();
        m_sinceEvents.restart();
        if (total == 0) {
            m_dialog.setRange(0, 0); // a busy bar until the size is known
        } else {
            m_dialog.setRange(0, kScale);
            m_dialog.setValue(static_cast<int>(std::min(done, total) * kScale / total));
        }
        // Once the dialog is up it blocks input to the window; until then input waits.
        QCoreApplication::processEvents(m_dialog.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        return !m_dialog.wasCanceled();
    }

private:
    static constexpr int kScale = 1000;
    QProgressDialog m_dialog;
    QElapsedTimer m_sinceEvents;
};

} // namespace

std::unique_ptr<Progress> QtProgress::start(QWidget* parent, const QString& label) {
    return std::make_unique<DialogProgress>(parent, label);
}

} // namespace tarnwick::ui
