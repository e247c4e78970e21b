#pragma once

// The four information windows: fixed texts, no behaviour of their own. A menu handler
// asks ShowInfoWindow for one; the window registry loads it from CreateInfoWindow if it is
// not open, or shows the open one. Closing a window destroys it and its edits.

#include "ui/services/window_registry.h"

#include <QWidget>

namespace tarnwick::info {

enum class InfoWindow { Help, About, Format, Download };

/// The window's design name: Form2 (help), Form3 (about), Form4 (format), Form5 (download).
QString WindowName(InfoWindow which);
/// The window's text (see info_texts.h).
QString WindowText(InfoWindow which);

/// Builds a window afresh: caption, fixed frame, logos, banner and its text box holding the
/// full text with the caret at the start and the keyboard focus in it.
QWidget* CreateInfoWindow(InfoWindow which);

/// Loads the window if it is not loaded and shows it modeless, with no owner.
QWidget* ShowInfoWindow(ui::WindowRegistry& windows, InfoWindow which);

} // namespace tarnwick::info
