// Runs GoogleTest cases inside a QApplication, on the offscreen platform unless told
// otherwise, so widget tests need no display.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
