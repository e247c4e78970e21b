#pragma once

class QKeyEvent;

namespace tarnwick::ui {

/// True for a key pressed with Alt (and without Ctrl) that no menu access key took: the
/// user meant a command, so an edit box must not type the letter or act on it. Ctrl+Alt
/// stays free for AltGr layouts that report it so; X11's AltGr does not set Alt at all.
bool IsStrayAltKey(const QKeyEvent& event);

} // namespace tarnwick::ui
