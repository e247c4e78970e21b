#pragma once

class QCoreApplication;

namespace tarnwick::ui {

/// Installs Qt's own Simplified Chinese strings (the file dialog's "Look in:", the OK and
/// Cancel buttons) whatever the user's locale, so every word the program shows is Chinese.
/// False when the translation files are missing; Qt then shows its English strings.
bool InstallChineseQtTranslations(QCoreApplication& app);

} // namespace tarnwick::ui
