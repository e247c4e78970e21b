#include "ui/services/common_dialog.h"
#include "ui/services/message_box.h"
#include "ui/services/progress.h"
#include "ui/services/translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QProxyStyle>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace tarnwick::ui {
namespace {

// The real box, shown offscreen and answered from inside its own event loop.
TEST(QtMessageBox, ShowsCaptionTextAndOneOkButtonAsTheUserSeesThem) {
    InstallChineseQtTranslations(*QCoreApplication::instance());
    QMessageBox* seen = nullptr;
    QString label;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!seen)
            return;
        for (QLabel* l : seen->findChildren<QLabel*>())
            if (l->objectName() == QStringLiteral("qt_msgbox_label")) {
                label = l->text();
                format = l->textFormat(); // a file's name may hold '<'
            }
        for (QAbstractButton* b : seen->findChildren<QAbstractButton*>())
            buttons << b->text();
        EXPECT_EQ(seen->windowTitle(), QStringLiteral("Tarnwick"));
        EXPECT_EQ(seen->icon(), QMessageBox::NoIcon);
        EXPECT_TRUE(seen->iconPixmap().isNull());
        seen->button(QMessageBox::Ok)->click();
    });
    QtMessageBox().show(nullptr, QStringLiteral("    非法操作，不能操作空字符串！\r\n"
                                                "请选择文件或者输入需要转换的数据！\r\n"
                                                "               谢谢！"));
    ASSERT_NE(seen, nullptr) << "no modal message box appeared";
    EXPECT_EQ(label, QStringLiteral("    非法操作，不能操作空字符串！\n"
                                    "请选择文件或者输入需要转换的数据！\n"
                                    "               谢谢！"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, QStringList{QStringLiteral("确定")});
}

// Some desktops' styles put an icon on every dialog button: this OK stays a plain one.
TEST(QtMessageBox, OkStaysPlainWhereTheStyleGivesButtonsIcons) {
    class ButtonsWithIcons final : public QProxyStyle {
    public:
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* data) const override {
            return hint == SH_DialogButtonBox_ButtonsHaveIcons
                       ? 1
                       : QProxyStyle::styleHint(hint, option, widget, data);
        }
    };
    const QString before = QApplication::style()->name();
    QApplication::setStyle(new ButtonsWithIcons);
    std::optional<bool> plain;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            plain = box->button(QMessageBox::Ok)->icon().isNull();
            box->button(QMessageBox::Ok)->click();
        }
    });
    QtMessageBox().show(nullptr, QStringLiteral("x"));
    QApplication::setStyle(before);
    ASSERT_TRUE(plain.has_value()) << "no modal message box appeared";
    EXPECT_TRUE(*plain);
}

// The real open dialog: the next one opens in the folder of the file chosen last.
TEST(QtOpenFileBackend, OpensWhereTheLastFileWasChosen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("font.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    QtOpenFileBackend backend;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    EXPECT_EQ(backend.getOpenFileName(nullptr, QStringLiteral("打开"), {}), file);
    QString opened;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            opened = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    EXPECT_EQ(backend.getOpenFileName(nullptr, QStringLiteral("打开"), {}), QString());
    EXPECT_EQ(opened, QDir(dir.path()).absolutePath());
}

// The real dialog, as a long load shows it: it comes up by itself, and its button stops the
// task at the next step.
TEST(QtProgress, ComesUpDuringALongTaskAndItsCancelButtonStopsIt) {
    QWidget window;
    window.show();
    auto progress = QtProgress().start(&window, QStringLiteral("正在载入…"));
    auto* dialog = window.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    QElapsedTimer since;
    since.start();
    for (std::uint64_t done = 0; !dialog->isVisible() && since.elapsed() < 10'000; ++done) {
        ASSERT_TRUE(progress->step(done % 100, 100));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(dialog->isVisible()) << "no dialog after " << since.elapsed() << " ms";
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tarnwick 正在载入…"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(progress->step(25, 100));
    EXPECT_EQ(dialog->value() * 4, dialog->maximum()); // the bar shows a quarter done
    QPushButton* cancel = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("取消"))
            cancel = button;
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(progress->step(50, 100));
    // It stays cancelled, even once the bar is full, and goes with the task.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(progress->step(100, 100));
    progress.reset();
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
}

TEST(CommonDialog, FilterBecomesQtNameFiltersWithEveryFileForStarDotStar) {
    EXPECT_EQ(CommonDialog::NameFilters(QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*")),
              (QStringList{QStringLiteral("文本文件(*.txt) (*.txt)"),
                           QStringLiteral("所有文件(*.*) (*)")}));
    EXPECT_EQ(CommonDialog::NameFilters(QStringLiteral("C|*.c;*.h")),
              QStringList{QStringLiteral("C (*.c *.h)")});
    EXPECT_TRUE(CommonDialog::NameFilters(QString()).isEmpty());
}

} // namespace
} // namespace tarnwick::ui
