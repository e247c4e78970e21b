#include "platform/clock.h"
#include "resources/artwork.h"
#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/services/services.h"

#include "platform/signal_cleanup.h"
#include "platform/version.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt's own -platform option (for example -platform offscreen) names where windows go.
bool haveDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
            std::strncmp(argv[i], "-platform=", 10) == 0)
            return true;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// Qt ends the process when no platform plugin starts (a DISPLAY that does not answer, for
// one); say first, in plain words, what is missing.
QtMessageHandler previousHandler = nullptr;

void reportMissingDisplay(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type == QtFatalMsg && message.contains(QStringLiteral("platform plugin")))
        std::fprintf(stderr, "Tarnwick could not open a window: no desktop session answered.\n"
                             "Start it from one, or without a screen as: xvfb-run tarnwick\n");
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    const tarnwick::ui::CommandLine commandLine = tarnwick::ui::ParseCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    if (tarnwick::platform::SourceDateEpochMalformed()) {
        std::fprintf(stderr,
                     "tarnwick: invalid SOURCE_DATE_EPOCH '%s': use a whole number of "
                     "seconds from 0 to 253402300799\n",
                     std::getenv("SOURCE_DATE_EPOCH"));
        return 2;
    }
    if (!haveDisplay(argc, argv)) {
        std::fprintf(stderr, "Tarnwick is a desktop program and needs a desktop session.\n"
                             "Start it from one, or without a screen as: xvfb-run tarnwick\n");
        return 1;
    }
    previousHandler = qInstallMessageHandler(reportMissingDisplay);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    // Four parts, as a Windows file version has them.
    QApplication::setApplicationVersion(QString::fromLatin1(tarnwick::platform::kVersion) +
                                        QStringLiteral(".0"));
    // Ties the running window to its desktop entry, so a dock shows its icon and groups it.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.tarnwick"));
    QApplication::setWindowIcon(tarnwick::artwork::AppIcon());
    tarnwick::ui::InstallChineseQtTranslations(app);
    // SIGINT, SIGTERM and SIGHUP end the event loop, so the window closes as if the user had
    // closed it; during a conversion the signal removes its temporary file first.
    if (const int quitFd = tarnwick::platform::InstallSignalCleanupWithQuitPipe(); quitFd >= 0) {
        auto* quit = new QSocketNotifier(quitFd, QSocketNotifier::Read, &app);
        QObject::connect(quit, &QSocketNotifier::activated, &app,
                         [] { QCoreApplication::exit(0); });
    }

    tarnwick::platform::LocaleClock clock;
    tarnwick::ui::QtMessageBox messageBox;
    tarnwick::ui::QtOpenFileBackend openFile;
    tarnwick::ui::WindowRegistry windows;
    tarnwick::ui::QtProgress progress;

    auto* form1 = new tarnwick::ui::Form1({messageBox, openFile, clock, windows, progress});
    form1->setAttribute(Qt::WA_DeleteOnClose);
    form1->show();
    if (!commandLine.file.empty()) {
        // Once the window shows, so a failure's message stands over it.
        const QString file = QFile::decodeName(QByteArray::fromStdString(commandLine.file));
        QTimer::singleShot(0, form1, [form1, file] { form1->loadFile(file); });
    }
    return app.exec();
}
