#pragma once

// The windowing services the main window and the information windows call. Each sits
// behind a small interface of its own so tests can substitute fakes:
//   MessageBoxService  <- handlers report outcomes through it (modal, OK only, no icon)
//   CommonDialog       -> OpenFileBackend (the Qt file dialog, or a fake) -> FileName
//   ProgressService    <- long loads and conversions report through it, and stop on 取消
//   WindowRegistry     <- menu handlers load and show one window of each kind
//   SongFont, DesktopFolder: fonts and paths of the desktop session.
//   InstallChineseQtTranslations: Qt's own strings in Chinese, whatever the locale.
// The controls whose rules Qt's own widgets do not keep are beside them, in ui/widgets/.

#include "common_dialog.h"
#include "desktop.h"
#include "fonts.h"
#include "message_box.h"
#include "progress.h"
#include "translations.h"
#include "window_registry.h"
