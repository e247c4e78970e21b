#pragma once

#include "ui/services/common_dialog.h"
#include "ui/services/message_box.h"
#include "ui/services/progress.h"

#include <QStringList>

#include <functional>

namespace tarnwick::test {

/// Records messages instead of showing them; never blocks. With `progressOpen` set, a
/// message shown while a progress dialog is still open is also kept in `overProgress`: it
/// would stand beside the dialog, which stays until the message is answered.
class FakeMessageBox final : public ui::MessageBoxService {
public:
    void show(QWidget*, const QString& text) override {
        if (progressOpen && *progressOpen > 0)
            overProgress << text;
        messages << text;
    }
    QStringList messages;
    QStringList overProgress;
    const int* progressOpen = nullptr;
};

/// Answers the next file name (empty means cancel) and records how it was asked.
class FakeOpenFile final : public ui::OpenFileBackend {
public:
    QString getOpenFileName(QWidget*, const QString& title,
                            const QStringList& nameFilters) override {
        ++calls;
        lastTitle = title;
        lastFilters = nameFilters;
        return answer;
    }
    QString answer;
    int calls = 0;
    QString lastTitle;
    QStringList lastFilters;
};

/// Records each task's label; `answer(done, total)` says whether to go on (always, unless
/// a test sets it).
class FakeProgress final : public ui::ProgressService {
public:
    using Answer = std::function<bool(std::uint64_t done, std::uint64_t total)>;
    std::unique_ptr<ui::Progress> start(QWidget*, const QString& label) override {
        labels << label;
        return std::make_unique<Task>(answer, open);
    }
    QStringList labels;
    Answer answer = [](std::uint64_t, std::uint64_t) { return true; };
    int open = 0; ///< tasks started and not yet ended

private:
    struct Task final : ui::Progress {
        Task(Answer answer, int& open) : m_answer(std::move(answer)), m_open(open) { ++m_open; }
        ~Task() override { --m_open; }
        bool step(std::uint64_t done, std::uint64_t total) override {
            return m_answer(done, total);
        }
        Answer m_answer;
        int& m_open;
    };
};

} // namespace tarnwick::test
