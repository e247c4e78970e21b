// Times what a user waits for in the main window, on the offscreen platform:
//   ui_bench startup               the wall-clock time (seconds since the epoch) at which the
//                                  main window is shown; bench/run-ui subtracts the launch time
//   ui_bench convert-text MIB      set MIB MiB of C-array text, click convert: click to message
//   ui_bench load-convert FILE     Open FILE (a fake dialog answers it), repaint, then convert
//   ui_bench long-line FILE        Open a file of one long line, keys through it, paste 4 MB
// Prints one "name seconds" line per measurement.

#include "support/fake_services.h"
#include "ui/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <ctime>

#include <cstdio>

namespace {

QString cArrayText(qsizetype bytes) {
    QString text;
    text.reserve(bytes * 5 + bytes / 8);
    static const char hex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < bytes; ++i) {
        const unsigned value = static_cast<unsigned>(i * 2654435761u) >> 24;
        text += QStringLiteral("0x");
        text += QChar(hex[value >> 4]);
        text += QChar(hex[value & 15]);
        text += u',';
        if (i % 16 == 15)
            text += QStringLiteral("\r\n");
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace tarnwick;
    test::FakeServices fakes;
    test::FakeMessageBox& messages = fakes.m_messages;
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    ui::Form1 form(fakes.services());
    form.show();
    QApplication::processEvents();
    if (mode == u"startup") {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("%ld.%09ld\n", static_cast<long>(now.tv_sec), now.tv_nsec);
        return 0;
    }

    // Seconds that `step` takes, until the window has painted the result.
    auto timed = [&form](auto step) {
        QElapsedTimer clock;
        clock.start();
        step();
        form.repaint();
        QApplication::processEvents();
        return clock.nsecsElapsed() / 1e9;
    };
    QElapsedTimer timer;
    if (mode == u"convert-text" && argc == 3) {
        const qsizetype mib = QString::fromLocal8Bit(argv[2]).toLongLong();
        form.CInput->setText(cArrayText(mib * 1024 * 1024 / 5));
        QApplication::processEvents();
        timer.start();
        form.Command4->click();
        std::printf("convert-text %.4f %s\n", timer.nsecsElapsed() / 1e9,
                    messages.messages.value(0).left(8).toUtf8().constData());
        return 0;
    }
    if (mode == u"load-convert" && argc == 3) {
        fakes.m_openFile.answer = QString::fromLocal8Bit(argv[2]);
        const double load = timed([&] { form.Op->trigger(); });
        const double paint = timed([] {});
        // One keystroke in the middle of the text.
        QTextCursor middle = form.CInput->textCursor();
        middle.setPosition(form.CInput->document()->characterCount() / 2);
        form.CInput->setTextCursor(middle);
        const double keystroke = timed([&] {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(form.CInput, &key);
        });
        const double convert = timed([&] { form.Command4->click(); });
        const double repaint = timed([] {});
        std::printf("load %.4f\nfirst-paint %.4f\nkeystroke %.4f\nconvert %.4f\nrepaint %.4f\n"
                    "messages %lld\n",
                    load, paint, keystroke, convert, repaint,
                    static_cast<long long>(messages.messages.size()));
        return messages.messages.size() == 1 ? 0 : 1;
    }
    if (mode == u"long-line" && argc == 3) {
        // A file of one long line: open it, then keys at its end and through it, then paste
        // a 4 MB line into a fresh box. Each step is timed until the window has repainted.
        fakes.m_openFile.answer = QString::fromLocal8Bit(argv[2]);
        auto key = [&form](Qt::Key code, Qt::KeyboardModifiers modifiers, const QString& text) {
            QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
            QApplication::sendEvent(form.CInput, &press);
        };
        std::printf("open %.4f\n", timed([&] { form.Op->trigger(); }));
        std::printf("ctrl-end %.4f\n", timed([&] { key(Qt::Key_End, Qt::ControlModifier, {}); }));
        std::printf("key-at-end %.4f\n", timed([&] { key(Qt::Key_A, Qt::NoModifier, "a"); }));
        std::printf("ctrl-home %.4f\n", timed([&] { key(Qt::Key_Home, Qt::ControlModifier, {}); }));
        double worst = 0;
        for (int i = 0; i < 20; ++i)
            worst = std::max(worst, timed([&] { key(Qt::Key_PageDown, Qt::NoModifier, {}); }));
        std::printf("page-down %.4f\n", worst);
        std::printf("end %.4f\n", timed([&] { key(Qt::Key_End, Qt::NoModifier, {}); }));
        std::printf("key-in-middle %.4f\n", timed([&] { key(Qt::Key_B, Qt::NoModifier, "b"); }));
        const QString line = form.CInput->text().left(4'000'000);
        form.CInput->setText(QStringLiteral("x"));
        QApplication::clipboard()->setText(line);
        std::printf("paste-4mb %.4f\n", timed([&] { key(Qt::Key_V, Qt::ControlModifier, {}); }));
        std::printf("messages %lld\n", static_cast<long long>(messages.messages.size()));
        return form.CInput->text().size() == line.size() + 1 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: ui_bench startup | convert-text MIB | load-convert FILE | "
                         "long-line FILE\n");
    return 2;
}
