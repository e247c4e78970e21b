#pragma once

#include "support/fakes.h"
#include "support/test_support.h"
#include "ui/form1.h"

#include <QTemporaryDir>

namespace tarnwick::test {

/// Everything the main window needs from outside, faked: messages are recorded, the file
/// dialog answers what it is told, the clock is fixed and the desktop is a fresh folder.
/// Test fixtures derive from it before constructing their Form1 from services().
struct FakeServices {
    FakeServices() { m_messages.progressOpen = &m_progress.open; }

    ui::Form1Services services() {
        return {m_messages, m_openFile, m_clock,
                m_windows,  m_progress, [this] { return m_desktop; }};
    }

    QTemporaryDir m_tempDir;
    QString m_desktop = m_tempDir.path() + QStringLiteral("/桌面");
    FakeMessageBox m_messages;
    FakeOpenFile m_openFile;
    FixedClock m_clock;
    ui::WindowRegistry m_windows;
    FakeProgress m_progress;
};

} // namespace tarnwick::test
