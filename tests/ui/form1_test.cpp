#include "resources/sample_input.h"
#include "support/fake_services.h"
#include "ui/form1.h"
#include "ui/services/fonts.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace tarnwick::ui {
namespace {

const QString kSuccess = QStringLiteral(
    "成功生成Mif文件，请于桌面查看“Vetrask.mif”！\r\n                谢谢使用本款软件！");
const QString kEmpty =
    QStringLiteral("    非法操作，不能操作空字符串！\r\n请选择文件或者输入需要转换的数据！\r\n     "
                   "          谢谢！");

class Form1Test : public testing::Test, protected test::FakeServices {
protected:
    Form1Test() : m_form(services()) {}
    // The window closes its progress dialog before it says anything.
    void TearDown() override { EXPECT_EQ(m_messages.overProgress, QStringList()); }

    std::string OutputBytes() const { return test::ReadBytes(m_form.outputPath().toStdString()); }
    bool OutputExists() const { return QFile::exists(m_form.outputPath()); }
    std::vector<std::string> OutputLines() const {
        std::vector<std::string> lines;
        const std::string bytes = OutputBytes();
        for (std::size_t start = 0, at; (at = bytes.find("\r\n", start)) != std::string::npos;
             start = at + 2)
            lines.push_back(bytes.substr(start, at - start));
        return lines;
    }

    Form1 m_form;
};

TEST_F(Form1Test, StartsWithTheDesignedWindow) {
    m_form.show();
    QApplication::processEvents();
    EXPECT_EQ(m_form.windowTitle(),
              QStringLiteral("Tarnwick v" TARNWICK_VERSION_SHORT " 转换软件 Vetrask 版权所有"));
    EXPECT_EQ(m_form.centralWidget()->size(), QSize(529, 291));
    EXPECT_FALSE(m_form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(m_form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(m_form.CInput->geometry(), QRect(0, 0, 377, 289));
    EXPECT_EQ(m_form.Option1[0]->geometry(), QRect(384, 136, 73, 41));
    EXPECT_EQ(m_form.Option1[1]->geometry(), QRect(456, 136, 73, 41));
    EXPECT_EQ(m_form.Combo1->geometry(), QRect(392, 184, 121, 22));
    EXPECT_EQ(m_form.Command4->geometry(), QRect(384, 216, 137, 65));
    EXPECT_EQ(m_form.Image1->geometry(), QRect(384, 8, 140, 120));
    EXPECT_EQ(m_form.Image1->pixmap().deviceIndependentSize(), QSizeF(140, 120));
    EXPECT_EQ(m_form.CInput->text(), kSampleInput.toString());
    EXPECT_EQ(kSampleInput.size(), 276);
    EXPECT_EQ(m_form.CInput->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(m_form.CInput->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    QStringList captions;
    for (QAction* action : m_form.menuBar()->actions()) {
        captions << action->text();
        EXPECT_EQ(action->menu(), nullptr);
    }
    EXPECT_EQ(captions, (QStringList{QStringLiteral("打开(&O)"), QStringLiteral("格式(&F)"),
                                     QStringLiteral("帮助(&H)"), QStringLiteral("下载(&D)"),
                                     QStringLiteral("关于(A)")}));
}

// Debian's AR PL SungtiL GB (fonts-arphic-gbsn00lp) is the Song face the tests install; the
// window must take it, not the desktop's sans face, at the designed sizes.
TEST_F(Form1Test, TextIsSetInTheInstalledSongFace) {
    const QString song = QStringLiteral("AR PL SungtiL GB");
    ASSERT_TRUE(QFontDatabase::families().contains(song)) << "install fonts-arphic-gbsn00lp";
    const std::pair<QWidget*, qreal> designed[] = {
        {&m_form, 10.5}, {m_form.CInput, 9}, {m_form.Command4, 12}};
    for (const auto& [widget, points] : designed) {
        EXPECT_EQ(QFontInfo(widget->font()).family().toStdString(), song.toStdString())
            << widget->objectName().toStdString();
        EXPECT_EQ(widget->font().pointSizeF(), points) << widget->objectName().toStdString();
    }
    // A desktop whose own font is bold, italic, underlined and struck out: the face stays plain.
    const QFont desktop = QApplication::font();
    QFont styled = desktop;
    styled.setBold(true);
    styled.setItalic(true);
    styled.setUnderline(true);
    styled.setStrikeOut(true);
    QApplication::setFont(styled);
    const QFont plain = SongFont(9);
    QApplication::setFont(desktop);
    EXPECT_EQ(plain.weight(), QFont::Normal);
    EXPECT_FALSE(plain.italic() || plain.underline() || plain.strikeOut());
}

TEST_F(Form1Test, EveryControlHasAnAccessibleName) {
    m_form.show();
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_form.CInput, m_form.Option1[0], m_form.Option1[1],
                                         m_form.Combo1, m_form.Command4, m_form.Image1}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << control->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(m_form.Command4)->text(QAccessible::Name),
              QStringLiteral("Tarnwick一键转换"));
}

TEST_F(Form1Test, ReadOnlyMifAlreadyThereIsKeptAndReported) {
    QDir().mkpath(m_desktop);
    test::WriteBytes(m_form.outputPath().toStdString(), "earlier");
    QFile::setPermissions(m_form.outputPath(), QFileDevice::ReadOwner);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    ASSERT_EQ(m_messages.messages.size(), 1);
    EXPECT_TRUE(m_messages.messages[0].startsWith(QStringLiteral("无法生成Mif文件：") +
                                                  m_form.outputPath()));
    EXPECT_EQ(OutputBytes(), "earlier");
}

TEST_F(Form1Test, ResizingMovesNothing) {
    m_form.show();
    m_form.resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(m_form.CInput->geometry(), QRect(0, 0, 377, 289));
    EXPECT_EQ(m_form.Command4->geometry(), QRect(384, 216, 137, 65));
}

TEST_F(Form1Test, FocusStartsInTheInputBoxAndTabFollowsTheDesign) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), m_form.CInput);
    EXPECT_EQ(m_form.CInput->textCursor().position(), 0);
    QList<QWidget*> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        visited << (focus && focus->parentWidget() == m_form.Combo1 ? m_form.Combo1 : focus);
    }
    // The option group is one Tab stop at its selected button, as on the desktop at large;
    // the arrow keys move within the group.
    EXPECT_EQ(visited,
              (QList<QWidget*>{m_form.Command4, m_form.Option1[0], m_form.Combo1, m_form.CInput}));
}

TEST_F(Form1Test, StartUpSelectsHexadecimalAndEightBits) {
    EXPECT_TRUE(m_form.Option1[0]->isChecked());
    EXPECT_FALSE(m_form.Option1[1]->isChecked());
    ASSERT_EQ(m_form.Combo1->count(), 64);
    EXPECT_EQ(m_form.Combo1->listIndex(), 1);
    EXPECT_EQ(m_form.Combo1->currentText(), QStringLiteral("8   Bits Data"));
    EXPECT_EQ(m_form.Combo1->itemText(0), QStringLiteral("4   Bits Data"));
    EXPECT_EQ(m_form.Combo1->itemText(2), QStringLiteral("12  Bits Data"));
    EXPECT_EQ(m_form.Combo1->itemText(24), QStringLiteral("100 Bits Data"));
    EXPECT_EQ(m_form.Combo1->itemText(63), QStringLiteral("256 Bits Data"));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(m_form.Combo1->itemText(i).size(), 13);
}

TEST_F(Form1Test, SwitchingRadixRebuildsTheListWithItsDefault) {
    m_form.Combo1->selectIndex(31); // 128 bits
    QTest::mouseClick(m_form.Option1[1], Qt::LeftButton);
    ASSERT_TRUE(m_form.Option1[1]->isChecked());
    ASSERT_EQ(m_form.Combo1->count(), 64);
    EXPECT_EQ(m_form.Combo1->listIndex(), 7);
    EXPECT_EQ(m_form.Combo1->itemText(0), QStringLiteral("1   Bits Data"));
    EXPECT_EQ(m_form.Combo1->itemText(63), QStringLiteral("64  Bits Data"));
    EXPECT_EQ(m_form.Combo1->currentText(), QStringLiteral("8   Bits Data"));

    m_form.Combo1->selectIndex(63);
    for (int i = 0; i < 5; ++i) {
        QTest::mouseClick(m_form.Option1[i % 2], Qt::LeftButton);
        EXPECT_EQ(m_form.Combo1->count(), 64);
    }
    EXPECT_TRUE(m_form.Option1[0]->isChecked());
    EXPECT_EQ(m_form.Combo1->listIndex(), 1);
}

TEST_F(Form1Test, ConvertsTheSampleAtStartUp) {
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages, QStringList{kSuccess});
    EXPECT_EQ(OutputBytes(), test::ReadBytes(test::GoldenDir() / "sample_hex8.mif"));
}

// The progress dialog runs the event loop: a click or an Open that arrives during the
// conversion must wait, not start another conversion or replace the text being written.
TEST_F(Form1Test, ConvertAndOpenDuringAConversionDoNothing) {
    const QString other = m_tempDir.path() + QStringLiteral("/other.txt");
    test::WriteBytes(other.toStdString(), "0x55");
    m_openFile.answer = other;
    int steps = 0;
    m_progress.answer = [&](std::uint64_t, std::uint64_t) {
        if (steps++ == 0) {
            m_form.Command4->click();
            m_form.Op->trigger();
        }
        return true;
    };
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_GT(steps, 0);
    EXPECT_EQ(m_messages.messages, QStringList{kSuccess});
    EXPECT_EQ(m_form.CInput->text(), kSampleInput.toString());
    EXPECT_EQ(OutputBytes(), test::ReadBytes(test::GoldenDir() / "sample_hex8.mif"));
}

TEST_F(Form1Test, AStrayDeepInALongLineIsNamedSelectedAndDeleted) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    QString line(1'000'001, u'5');
    line[777'777] = u'g';
    m_form.CInput->setText(QStringLiteral("00\r\n") + line);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_TRUE(m_messages.messages.last().startsWith(
        QStringLiteral("第2行第777778列的“g”不是16进制数字，未生成Mif文件！")));
    const QTextCursor cursor = m_form.CInput->textCursor();
    EXPECT_EQ(m_form.CInput->storedText(cursor.selectionStart(), cursor.selectionEnd()),
              QStringLiteral("g"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_TRUE(m_form.CInput->text() == QStringLiteral("00\r\n") + line.remove(777'777, 1));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(), kSuccess);
}

TEST_F(Form1Test, NotADigitIsNamedSelectedAndOneDeleteRemovesIt) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    const std::string earlier = OutputBytes();
    m_form.CInput->setText(QStringLiteral("0x12,\r\n0x34, 0xzz\r\n"));
    m_form.Command4->setFocus();
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(),
              QStringLiteral("第2行第9列的“z”不是16进制数字，未生成Mif文件！\r\n"
                             "共有2个这样的字符，请删去注释、声明等非数据内容。"));
    EXPECT_EQ(OutputBytes(), earlier);
    ASSERT_EQ(QApplication::focusWidget(), m_form.CInput);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("0x12,\r\n0x34, 0xz\r\n"));

    // A character that does not show is named by its code; binary takes only 0 and 1.
    m_form.CInput->setText(QStringLiteral("10\u300001"));
    QTest::mouseClick(m_form.Option1[1], Qt::LeftButton);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_TRUE(m_messages.messages.last().startsWith(
        QStringLiteral("第1行第3列的U+3000不是二进制数字，未生成Mif文件！")));
    EXPECT_EQ(OutputBytes(), earlier);
    // One Delete removes a whole character, the last of the first plane and one beyond it.
    for (const QString& stray : {QStringLiteral("\uFFFF"), QStringLiteral("\U00020000")}) {
        m_form.CInput->setText(QStringLiteral("10") + stray + QStringLiteral("1"));
        QTest::mouseClick(m_form.Command4, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        EXPECT_EQ(m_form.CInput->text(), QStringLiteral("101"));
    }

    // Digits between NULs: UTF-16 read without its mark. The message says so.
    const char16_t utf16AsBytes[] = {u'1', 0, u'0', 0, u'1', 0, u'1', 0};
    m_form.CInput->setText(QString::fromUtf16(utf16AsBytes, 8));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_TRUE(m_messages.messages.last().startsWith(QStringLiteral("第1行第2列的U+0000")));
    EXPECT_TRUE(m_messages.messages.last().endsWith(
        QStringLiteral("（是否为不带字节顺序标记的UTF-16文件？请另存为带标记的Unicode文件。）")));
}

// A digit the layout would round away is never lost: nothing is written, the message says
// where the dropped digits start, and they are selected so typing replaces them.
TEST_F(Form1Test, DroppedDigitsAreRefusedAndSelectedForTheNextKey) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    const std::string earlier = OutputBytes();
    m_form.CInput->setText(QString());
    m_form.CInput->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("34 5"));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(),
              QStringLiteral("第2行第4列起的最后1个数字不足一个数据字，未生成Mif文件！\r\n"
                             "每个数据字2个数字，请补足或删去这些数字。"));
    EXPECT_EQ(OutputBytes(), earlier);
    ASSERT_EQ(QApplication::focusWidget(), m_form.CInput);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("56"));
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("12\r\n34 56"));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(), kSuccess);
    EXPECT_NE(OutputBytes().find("DEPTH = 3;\r\n"), std::string::npos);

    // One digit alone makes no word, never a file of depth 0.
    m_form.CInput->setText(QStringLiteral("1"));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_TRUE(m_messages.messages.last().startsWith(QStringLiteral("第1行第1列起的最后1个数字")));
    EXPECT_EQ(OutputLines().at(9), "DEPTH = 3;");
}

// What a refusal selects is exactly what must go: the stray (both halves of a character
// beyond U+FFFF) after any number of line breaks, or the tail from its first digit.
TEST_F(Form1Test, RefusalsSelectExactlyTheCharactersToRemove) {
    const struct {
        const char* name;
        QString text;
        int widthIndex;
        QString selected;
    } cases[] = {
        {"StrayAfterTwoLineBreaks", QStringLiteral("0x12,\r\n0x34,\r\n 0xzz"), 1,
         QStringLiteral("z")},
        {"StrayBeyondUffff", QStringLiteral("12\r\n3\U0001F6004"), 1, QStringLiteral("\U0001F600")},
        {"TailOfOneDigit", QStringLiteral("12\r\n34\r\n5"), 1, QStringLiteral("5")},
        {"TailAcrossDelimiters", QStringLiteral("abcd\r\nefab c,d"), 3, QStringLiteral("c,d")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_form.CInput->setText(c.text);
        m_form.Combo1->selectIndex(c.widthIndex);
        QTest::mouseClick(m_form.Command4, Qt::LeftButton);
        const QTextCursor cursor = m_form.CInput->textCursor();
        EXPECT_EQ(m_form.CInput->storedText(cursor.selectionStart(), cursor.selectionEnd()),
                  c.selected);
        EXPECT_FALSE(OutputExists());
    }
}

TEST_F(Form1Test, EmptyOrDelimiterOnlyInputShowsTheMessageAndKeepsTheEarlierFile) {
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    const std::string earlier = OutputBytes();
    for (const QString& text : {QString(), QStringLiteral(" ,;{}\r\n0x0x")}) {
        m_form.CInput->setText(text);
        QTest::mouseClick(m_form.Command4, Qt::LeftButton);
        EXPECT_EQ(m_messages.messages.last(), kEmpty);
        EXPECT_EQ(OutputBytes(), earlier);
    }
}

TEST_F(Form1Test, TypedWidthNeverPicksAnEntryOnlyTheListDoes) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    const QString noWidth = QStringLiteral("请先在列表中选择数据宽度！");
    for (const char* typed : {"3", "16", "8", "8   Bits Data\n"}) {
        SCOPED_TRACE(typed);
        m_messages.messages.clear();
        m_form.Combo1->setFocus();
        // Alternately through the combo box and straight into its line edit.
        QWidget* field = typed[0] == '1' ? static_cast<QWidget*>(m_form.Combo1->lineEdit())
                                         : QApplication::focusWidget();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QString text = QString::fromLatin1(typed);
        const bool enter = text.endsWith(u'\n');
        text.chop(enter ? 1 : 0);
        QTest::keyClicks(field, text);
        if (enter)
            QTest::keyClick(field, Qt::Key_Return);
        m_form.Command4->setFocus(); // leaving the field chooses nothing either
        QTest::mouseClick(m_form.Command4, Qt::LeftButton);
        EXPECT_EQ(m_messages.messages, QStringList{noWidth});
        EXPECT_FALSE(OutputExists());
    }

    // Chosen in the open list with the keyboard: from "8" down two entries to "16".
    m_form.Combo1->showPopup();
    QAbstractItemView* list = m_form.Combo1->view();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(m_form.Combo1->listIndex(), 3);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(), kSuccess);
    EXPECT_NE(OutputBytes().find("WIDTH = 16;"), std::string::npos);
}

TEST_F(Form1Test, UnwritableDesktopShowsTheFailureAndKeepsRunning) {
    // A desktop "folder" that is a file cannot hold the output.
    m_desktop = m_tempDir.path() + QStringLiteral("/not-a-folder");
    test::WriteBytes(m_desktop.toStdString(), "x");
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    ASSERT_EQ(m_messages.messages.size(), 1);
    EXPECT_TRUE(m_messages.messages[0].startsWith(QStringLiteral("无法生成Mif文件：") + m_desktop))
        << m_messages.messages[0].toStdString();
    EXPECT_TRUE(m_messages.messages[0].contains(QStringLiteral("\r\n")));

    m_desktop = m_tempDir.path() + QStringLiteral("/桌面");
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(), kSuccess);
}

TEST_F(Form1Test, EnterInTheInputBoxInsertsCrLfAndEnterOrEscNeverConvert) {
    m_form.show();
    m_form.CInput->setText(QStringLiteral("ab"));
    m_form.CInput->moveCursor(QTextCursor::End);
    QTest::keyClick(m_form.CInput, Qt::Key_Return);
    QTest::keyClick(m_form.CInput, Qt::Key_Escape);
    QTest::keyClick(&m_form, Qt::Key_Return);
    QTest::keyClick(&m_form, Qt::Key_Escape);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("ab\r\n"));
    EXPECT_TRUE(m_messages.messages.isEmpty());
    EXPECT_FALSE(OutputExists());
}

TEST_F(Form1Test, AltKeysAtTheFocusedBoxRunMenuCommandsAndNeverType) {
    m_form.show();
    QApplication::setActiveWindow(&m_form);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), m_form.CInput);
    for (Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_C, Qt::Key_E, Qt::Key_Backspace})
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    EXPECT_EQ(m_form.CInput->text(), kSampleInput.toString());
    EXPECT_EQ(m_windows.find(QStringLiteral("Form3")), nullptr);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(m_openFile.calls, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
    QWidget* help = m_windows.find(QStringLiteral("Form2"));
    ASSERT_NE(help, nullptr);

    m_form.Combo1->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(m_form.Combo1->currentText(), QStringLiteral("8   Bits Data"));
    EXPECT_EQ(m_form.Combo1->listIndex(), 1);

    auto* helpText = help->findChild<ui::TextBox*>();
    const QString before = helpText->text();
    QTest::keyClick(helpText, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(helpText->text(), before);
    help->close();

    // A character typed with AltGr arrives without Alt and is typed as usual.
    m_form.CInput->setFocus();
    QKeyEvent altGr(QEvent::KeyPress, Qt::Key_E, Qt::GroupSwitchModifier, QStringLiteral("€"));
    QApplication::sendEvent(QApplication::focusWidget(), &altGr);
    EXPECT_TRUE(m_form.CInput->text().startsWith(QStringLiteral("€")));
    // Where AltGr arrives as Ctrl+Alt (some layouts and remote desktops), it types too.
    QKeyEvent ctrlAlt(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier,
                      QStringLiteral("ą"));
    QApplication::sendEvent(QApplication::focusWidget(), &ctrlAlt);
    EXPECT_TRUE(m_form.CInput->text().startsWith(QStringLiteral("€ą")));
}

} // namespace
} // namespace tarnwick::ui
