// Saves the whole X screen as a PNG, from outside the program under test:
//   grab_screen OUTPUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: grab_screen OUTPUT.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
