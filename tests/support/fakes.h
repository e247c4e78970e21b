#pragma once

#include "platform/qt/common_dialog.h"
#include "platform/qt/message_box.h"

#include <QStringList>

namespace tarnwick::test {

/// Records messages instead of showing them; never blocks.
class FakeMessageBox final : public platform::MessageBoxService {
public:
    void show(QWidget*, const QString& text) override { messages << text; }
    QStringList messages;
};

/// Answers the next file name (empty means cancel) and records how it was asked.
class FakeOpenFile final : public platform::OpenFileBackend {
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

} // namespace tarnwick::test
