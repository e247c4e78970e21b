#include "ui/widgets/text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <random>

namespace tarnwick::ui {
namespace {

QString Shown(const QString& text) {
    QString out;
    for (QChar c : text)
        out += c.unicode() < 0x20 || c.unicode() > 0x7E
                   ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'))
                   : QString(c);
    return out;
}

// Types any text, as an input method or a keyboard layout would deliver it.
void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

TEST(TextBox, EveryStringReadsBackAsSet) {
    // Rich in everything Qt's document turns into something else.
    const std::u16string alphabet = u"\r\r\r\n\n\n\u2028\u2029\u00A0\uFDD0\uFDD1\uFFFC\t a0"
                                    u"\u5B57\u6A21\xD800\xDC00\u240D\u240A\u2400\u2426";
    const std::u16string withNul(1, u'\0');
    std::mt19937 rng(4242);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size());
    std::uniform_int_distribution<int> length(0, 30);
    TextBox box;
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = length(rng); i > 0; --i) {
            const std::size_t k = pick(rng);
            text += k == alphabet.size() ? QChar(u'\0') : QChar(alphabet[k]);
        }
        box.setText(text);
        ASSERT_EQ(box.text(), text)
            << Shown(text).toStdString() << " came back as " << Shown(box.text()).toStdString();
    }
}

TEST(TextBox, EnterAndShiftEnterStoreCrLf) {
    TextBox box;
    box.setText(QStringLiteral("ab"));
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("c"));
    QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(box.text(), QStringLiteral("ab\r\nc\r\n\r\n"));
}

void UndoAll(TextBox& box) {
    while (box.document()->isUndoAvailable())
        box.undo();
}

void RedoAll(TextBox& box) {
    while (box.document()->isRedoAvailable())
        box.redo();
}

TEST(TextBox, TypingBesideMarksAndUndoRedoKeepTheRule) {
    TextBox box;
    box.setText(QStringLiteral("1\n2\r3"));
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(2); // just after the LF's glyph
    box.setTextCursor(cursor);
    Type(&box, QStringLiteral("\u240Ax"));
    const QString typed = QStringLiteral("1\n\u240Ax2\r3");
    EXPECT_EQ(box.text(), typed) << "a typed glyph is a character of its own";
    UndoAll(box);
    EXPECT_EQ(box.text(), QStringLiteral("1\n2\r3"));
    RedoAll(box);
    EXPECT_EQ(box.text(), typed);

    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.text(), QStringLiteral("1\n\u240Ax2"));
    box.undo(); // the deleted glyph comes back as the CR it stands for
    if (box.text().size() == 6)
        box.undo();
    EXPECT_EQ(box.text(), typed);
}

// An input method's commit that holds a character kept as a glyph is stored as typed, and
// still ends the composition it was showing.
TEST(TextBox, InputMethodCommitEndsThePreeditAndReplacesWhatItNames) {
    // Input methods that correct a character commit with a replacement range.
    for (const QString& committed :
         {QStringLiteral("\u5B57\uFFFC"), QStringLiteral("\u5B57\u240A")}) {
        SCOPED_TRACE(Shown(committed).toStdString());
        TextBox box;
        box.show();
        box.setText(QStringLiteral("ab"));
        box.moveCursor(QTextCursor::End);
        QInputMethodEvent compose(QStringLiteral("zi"), {});
        QApplication::sendEvent(&box, &compose);
        ASSERT_EQ(box.textCursor().block().layout()->preeditAreaText(), QStringLiteral("zi"));
        QInputMethodEvent commit;
        commit.setCommitString(committed, -1, 1);
        QApplication::sendEvent(&box, &commit);
        EXPECT_EQ(box.textCursor().block().layout()->preeditAreaText(), QString());
        // A glyph the input method sends is a character of its own, as when typed.
        EXPECT_EQ(Shown(box.text()).toStdString(), Shown(u'a' + committed).toStdString());
    }
}

TEST(TextBox, LiteralGlyphsInTheTextStayLiteral) {
    TextBox box;
    const QString text = QStringLiteral("\u240A\n\u240D\r\n\u2400");
    box.setText(text);
    EXPECT_EQ(box.text(), text);
    box.moveCursor(QTextCursor::End);
    Type(&box, QStringLiteral("y"));
    EXPECT_EQ(box.text(), text + u'y');
}

TEST(TextBox, PasteStoresLineBreaksAsCrLfAndKeepsOtherCharacters) {
    TextBox box;
    box.setText(QString());
    auto* data = new QMimeData; // the clipboard takes it over
    data->setText(QStringLiteral("a\nb\rc\r\nd\u2029e\u00A0\uFDD0"));
    QApplication::clipboard()->setMimeData(data);
    box.paste();
    QApplication::clipboard()->clear();
    EXPECT_EQ(box.text(), QStringLiteral("a\r\nb\r\nc\r\nd\u2029e\u00A0\uFDD0"));
}

TEST(TextBox, CopyGivesTheStoredCharacters) {
    TextBox box;
    box.setText(QStringLiteral("x\ny\r\nz"));
    box.selectAll();
    box.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("x\ny\r\nz"));
}

TEST(TextBox, CrLfIsALineBreakAndLoneEndsStayInTheirLine) {
    TextBox box;
    box.setText(QStringLiteral("12\r\n34\n56\r78\r\n"));
    EXPECT_EQ(box.document()->blockCount(), 3);
    EXPECT_EQ(box.document()->findBlockByNumber(1).text(), QStringLiteral("34\u240A56\u240D78"));
}

TEST(TextBox, ALongLineEditsAsOneLineAndIsNeverLaidOutWhole) {
    TextBox box;
    box.resize(377, 289);
    box.show();
    QString line;
    for (int i = 0; i < 20000; ++i)
        line += QChar(u"0123456789abcdef"[(i * 7 + i / 16) % 16]);
    // No block may approach the line's length: Qt lays a block out whole on every edit.
    auto longestBlock = [&box] {
        int longest = 0;
        for (QTextBlock b = box.document()->firstBlock(); b.isValid(); b = b.next())
            longest = std::max(longest, b.length() - 1);
        return longest;
    };
    // Keys at the end of one segment or the start of the next act on the one line.
    const qsizetype end = [&] {
        box.setText(line);
        return qsizetype{box.document()->firstBlock().length()} - 1;
    }();
    ASSERT_LT(end, line.size());
    box.setText(line + QStringLiteral("\r\n12"));
    EXPECT_LE(longestBlock(), 8192) << "a long line before a short last one";
    struct Case {
        const char* name;
        bool atNextSegment;
        QList<int> keys;
        QString expected;
    };
    const QList<Case> cases = {
        {"backspace at the end", false, {Qt::Key_Backspace}, QString(line).remove(end - 1, 1)},
        {"backspace at the start", true, {Qt::Key_Backspace}, QString(line).remove(end - 1, 1)},
        {"delete at the end", false, {Qt::Key_Delete}, QString(line).remove(end, 1)},
        {"delete at the start", true, {Qt::Key_Delete}, QString(line).remove(end, 1)},
        {"right at the end",
         false,
         {Qt::Key_Right, Qt::Key_X},
         QString(line).insert(end + 1, u'x')},
        {"left at the start", true, {Qt::Key_Left, Qt::Key_X}, QString(line).insert(end - 1, u'x')},
        {"enter at the end", false, {Qt::Key_Return}, QString(line).insert(end, u"\r\n")},
        {"enter at the start", true, {Qt::Key_Return}, QString(line).insert(end, u"\r\n")},
    };
    for (const Case& c : cases) {
        box.setText(line);
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(static_cast<int>(end) + (c.atNextSegment ? 1 : 0));
        box.setTextCursor(cursor);
        for (int key : c.keys)
            QTest::keyClick(&box, static_cast<Qt::Key>(key));
        EXPECT_EQ(box.text(), c.expected) << c.name;
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(box.text(), line) << c.name << ", undone";
    }

    // Selecting with Shift+Right at a segment's end takes the next stored character.
    box.setText(line);
    {
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(static_cast<int>(end));
        box.setTextCursor(cursor);
    }
    QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_X);
    EXPECT_EQ(box.text(), QString(line).replace(end, 1, u'x')) << "shift+right at the end";

    // Copy across a segment's end, paste a long line into the middle, select by stored index.
    box.setText(line);
    box.selectStored(end - 2, 4);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), line.mid(end - 2, 4));
    const QString pasted = line.repeated(3);
    QApplication::clipboard()->setText(pasted);
    box.selectStored(100, 0);
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box.text(), QString(line).insert(100, pasted));
    EXPECT_LE(longestBlock(), 8192);
    QInputMethodEvent commit;
    commit.setCommitString(QString(9000, u'7'));
    QApplication::sendEvent(&box, &commit);
    EXPECT_EQ(box.text(), QString(line).insert(100, pasted + QString(9000, u'7')));
    EXPECT_LE(longestBlock(), 8192);
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.text(), line);
}
// What the display shows of a long line: its segments are cut between whole characters, so
// none shows half a pair, and segments that shrink join again instead of showing as stubs.
TEST(TextBox, ALongLineIsCutBetweenWholeCharactersAndShortenedSegmentsJoin) {
    TextBox box;
    box.resize(377, 289);
    box.show();
    // Characters beyond U+FFFF with nothing to cut at, a code unit out of step with the cuts.
    QString wide = QStringLiteral("x");
    for (char32_t i = 0; i < 10000; ++i)
        wide += QString::fromUcs4(std::u32string(1, U'\U00020000' + i % 64).c_str(), 1);
    auto cutsAreWhole = [&box] {
        for (QTextBlock b = box.document()->firstBlock(); b.isValid(); b = b.next()) {
            const QString text = b.text();
            if (text.isEmpty() || text.front().isLowSurrogate() || text.back().isHighSurrogate())
                return false;
        }
        return true;
    };
    box.setText(wide);
    EXPECT_GT(box.document()->blockCount(), 2);
    EXPECT_TRUE(cutsAreWhole());
    QApplication::clipboard()->setText(wide);
    box.selectStored(1, 0);
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box.text(), QString(wide).insert(1, wide));
    EXPECT_TRUE(cutsAreWhole());

    const QString line = QString(9000, u'a');
    box.setText(line);
    ASSERT_EQ(box.document()->blockCount(), 2);
    const qsizetype second = box.document()->lastBlock().position() - 1;
    // Shortened to exactly one segment's 4096 characters at the second segment, by typing
    // over it, once the first has shrunk...
    box.selectStored(10, 1000);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.document()->blockCount(), 2);
    box.selectStored(second - 1000 + 100, 3905);
    QTest::keyClick(&box, Qt::Key_B);
    EXPECT_EQ(box.document()->blockCount(), 1);
    EXPECT_EQ(box.text(), QString(4095, u'a').insert(second - 1000 + 100, u'b'));
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.text(), line);
    // ...and at the first, by deleting, once the second has.
    box.selectStored(second + 100, 4000);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.document()->blockCount(), 2);
    box.selectStored(10, 904);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.document()->blockCount(), 1);
    EXPECT_EQ(box.text(), QString(4096, u'a'));
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.text(), line);

    // Three segments, the outer two shrunk: the middle one shrinking joins all three.
    box.setText(QString(13000, u'a'));
    ASSERT_EQ(box.document()->blockCount(), 3);
    auto lengthOf = [&box](int n) {
        return qsizetype{box.document()->findBlockByNumber(n).length()} - 1;
    };
    box.selectStored(10, lengthOf(0) - 1010);
    QTest::keyClick(&box, Qt::Key_Delete);
    box.selectStored(lengthOf(0) + lengthOf(1) + 10, lengthOf(2) - 1010);
    QTest::keyClick(&box, Qt::Key_Delete);
    ASSERT_EQ(box.document()->blockCount(), 3);
    box.selectStored(lengthOf(0) + 10, lengthOf(1) - 1010);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.document()->blockCount(), 1);
    EXPECT_EQ(box.text(), QString(3030, u'a'));

    // A C array with no blank is cut after its commas, so no value shows split in two.
    box.setText(QStringLiteral("0x12,").repeated(2000));
    ASSERT_GT(box.document()->blockCount(), 1);
    for (QTextBlock b = box.document()->firstBlock(); b.next().isValid(); b = b.next())
        EXPECT_TRUE(b.text().endsWith(u',')) << b.blockNumber();
}

// A long load stopped part-way: the box shows its earlier text where it was scrolled to,
// even with the caret out of view.
TEST(TextBox, AStoppedLoadLeavesTheBoxWhereItWasAndAFinishedOneTakesUndo) {
    TextBox box;
    box.resize(377, 289);
    box.show();
    QString lines;
    for (int i = 0; i < 300; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i);
    box.setText(lines);
    box.moveCursor(QTextCursor::Start);
    box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
    const int scrolled = box.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    int steps = 0;
    EXPECT_FALSE(box.loadText(QString(600'000, u'b'), true,
                              [&steps](qint64, qint64) { return ++steps < 2; }));
    EXPECT_EQ(box.text(), lines);
    EXPECT_EQ(box.textCursor().position(), 0);
    EXPECT_EQ(box.verticalScrollBar()->value(), scrolled);

    // A load that runs to its end, its lines crossing the slices it is inserted in, holds
    // every line, and is edited as typed text: typing after it can be undone.
    const QString file = QStringLiteral("0x12, 0x34,\r\n").repeated(30000);
    ASSERT_TRUE(box.loadText(file, true, [](qint64, qint64) { return true; }));
    EXPECT_EQ(box.text(), file);
    EXPECT_EQ(box.document()->blockCount(), 30001);
    box.moveCursor(QTextCursor::End);
    Type(&box, QStringLiteral("x"));
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.text(), file);
}

} // namespace
} // namespace tarnwick::ui
