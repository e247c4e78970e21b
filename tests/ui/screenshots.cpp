// Saves PNG pictures of the main window and the four information windows, for looking at:
//   tarnwick_screenshots OUTPUT_DIR
#include "info/info_windows.h"
#include "support/fake_services.h"
#include "ui/form1.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnwick_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    using namespace tarnwick;
    test::FakeServices fakes;
    ui::Form1 form(fakes.services());
    form.show();
    QApplication::processEvents();
    bool ok = form.grab().save(out.filePath(QStringLiteral("form1.png")));

    for (auto which : {info::InfoWindow::Help, info::InfoWindow::About, info::InfoWindow::Format,
                       info::InfoWindow::Download}) {
        QWidget* window = info::ShowInfoWindow(fakes.m_windows, which);
        QApplication::processEvents();
        ok &= window->grab().save(out.filePath(info::WindowName(which).toLower() + ".png"));
        window->close();
    }
    return ok ? 0 : 1;
}
