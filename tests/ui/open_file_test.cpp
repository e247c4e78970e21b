#include "resources/sample_input.h"
#include "support/fake_services.h"
#include "text/cp936.h"
#include "ui/form1.h"

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace tarnwick::ui {
namespace {

using namespace std::string_literals;

class OpenFileTest : public testing::Test, protected test::FakeServices {
protected:
    OpenFileTest() : m_form(services()) {}
    // The window closes its progress dialog before it says anything.
    void TearDown() override { EXPECT_EQ(m_messages.overProgress, QStringList()); }

    QString File(const QString& name, const std::string& bytes) {
        const QString path = m_dir.filePath(name);
        test::WriteBytes(path.toStdString(), bytes);
        return path;
    }
    void Open(const QString& path) {
        m_openFile.answer = path;
        m_form.Op->trigger();
    }
    // Drags `data` over the input box and drops it there, as a file manager does.
    void Drop(QMimeData* data) {
        QWidget* target = m_form.CInput->viewport();
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QApplication::processEvents();
    }
    std::string Output() const { return test::ReadBytes(m_form.outputPath().toStdString()); }

    QTemporaryDir m_dir;
    Form1 m_form;
};

TEST_F(OpenFileTest, AsksWithTitleAndFilterEveryTime) {
    Open(QString());
    Open(QString());
    EXPECT_EQ(m_openFile.calls, 2);
    EXPECT_EQ(m_openFile.lastTitle, QStringLiteral("打开文件"));
    EXPECT_EQ(m_form.CommonDialog1.Filter,
              QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"));
    EXPECT_EQ(m_openFile.lastFilters.first(), QStringLiteral("文本文件(*.txt) (*.txt)"));
}

TEST_F(OpenFileTest, CancelChangesNothingNotEvenTypedText) {
    m_form.CInput->setText(QStringLiteral("typed by hand\n"));
    Open(QString());
    EXPECT_EQ(m_form.CommonDialog1.FileName, QString());
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("typed by hand\n"));
    EXPECT_TRUE(m_messages.messages.isEmpty());
}

TEST_F(OpenFileTest, LinuxAndOldMacLineEndsLoadAsLinesAndConvertLikeTheDosFile) {
    const std::string dos = "00 11 22 33\r\n44 55 66 77\r\n88 99 aa bb\r\n";
    Open(File(QStringLiteral("dos.txt"), dos));
    ASSERT_EQ(m_form.CInput->text().toStdString(), dos);
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    const std::string expected = test::ReadBytes(m_form.outputPath().toStdString());
    ASSERT_NE(expected.find("DEPTH = 12;"), std::string::npos);

    const struct {
        const char* name;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"lf.txt", "00 11 22 33\n44 55 66 77\n88 99 aa bb\n", dos},
        {"cr.txt", "00 11 22 33\r44 55 66 77\r88 99 aa bb\r", dos},
        {"mixed.txt", "00 11 22 33\n44 55 66 77\r\n88 99 aa bb\r", dos},
        {"cr-cr-lf.txt", "00 11 22 33\r\r\n44 55 66 77\n\n88 99 aa bb",
         "00 11 22 33\r\n\r\n44 55 66 77\r\n\r\n88 99 aa bb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(File(QString::fromLatin1(c.name), c.bytes));
        EXPECT_EQ(m_form.CInput->text().toStdString(), c.shown);
        QTest::mouseClick(m_form.Command4, Qt::LeftButton);
        EXPECT_EQ(test::ReadBytes(m_form.outputPath().toStdString()), expected);
    }
    Open(File(QStringLiteral("empty.txt"), ""));
    EXPECT_EQ(m_form.CInput->text(), QString());
}

TEST_F(OpenFileTest, GbkCommentWithLinuxLineEndsShowsAsChinese) {
    Open(File(QStringLiteral("font.txt"), "/*\xBE\xB2*/\n0x0F,\n"));
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("/*静*/\r\n0x0F,\r\n"));
}

TEST_F(OpenFileTest, ChineseCommentsAreNamedAndCountedAsCharactersNotBytes) {
    const std::string comment = "/*\xBE\xB2 \xD7\xD6\xC4\xA3*/"; // "静 字模" in CP936
    Open(File(QStringLiteral("font.txt"), comment + "\r\n0x0F,0xF0,\r\n"));
    EXPECT_TRUE(m_form.CInput->text().startsWith(QStringLiteral("/*静 字模*/\r\n")));
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.last(),
              QStringLiteral("第1行第1列的“/”不是16进制数字，未生成Mif文件！\r\n"
                             "共有7个这样的字符，请删去注释、声明等非数据内容。"));
    EXPECT_FALSE(QFile::exists(m_form.outputPath()));
}

// What Windows and Linux editors save: a byte-order mark decides, then valid UTF-8, then GBK.
TEST_F(OpenFileTest, EncodingsAsEditorsSaveThem) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"utf8-bom.txt", "\xEF\xBB\xBF/*\xE9\x9D\x99*/\r\n0x0F,\r\n"},
        {"utf8.txt", "/*\xE9\x9D\x99*/\n0x0F,\n"},
        {"gbk.txt", "/*\xBE\xB2*/\n0x0F,\n"},
        {"utf16le-bom.txt", "\xFF\xFE/\0*\0\x59\x97*\0/\0\r\0\n\0"
                            "0\0x\0"
                            "0\0F\0,\0\r\0\n\0"s},
        {"utf16be-bom.txt", "\xFE\xFF\0/\0*\x97\x59\0*\0/\0\n\0"
                            "0\0x\0"
                            "0\0F\0,\0\n"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(File(QString::fromLatin1(c.name), c.bytes));
        EXPECT_EQ(m_form.CInput->text(), QStringLiteral("/*静*/\r\n0x0F,\r\n"));
    }
}

// A file manager drags a file as a URL list, often with the URL as text too.
TEST_F(OpenFileTest, DroppedFileLoadsAsOpenDoesAndDroppedTextIsInserted) {
    m_form.show();
    const QString path = File(QStringLiteral("dropped.txt"), "0x01,\n0x02,\n");
    auto drop = [this](QMimeData* data) { Drop(data); };
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(path)});
    file.setText(QUrl::fromLocalFile(path).toString());
    drop(&file);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("0x01,\r\n0x02,\r\n"));

    m_form.CInput->setText(QStringLiteral("keep me"));
    QMimeData missing;
    missing.setUrls({QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("gone.txt")))});
    drop(&missing);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("keep me"));
    ASSERT_EQ(m_messages.messages.size(), 1);
    EXPECT_TRUE(m_messages.messages[0].startsWith(QStringLiteral("无法打开文件：")));

    // Several at once: the first local file is loaded, once; a web address is passed over.
    const QString second = File(QStringLiteral("second.txt"), "0x0c,\n");
    m_messages.messages.clear();
    QMimeData several;
    several.setUrls({QUrl(QStringLiteral("https://example.com/a.txt")), QUrl::fromLocalFile(second),
                     QUrl::fromLocalFile(path)});
    drop(&several);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("0x0c,\r\n"));
    EXPECT_TRUE(m_messages.messages.isEmpty());

    m_form.CInput->setText(QString());
    QMimeData text;
    text.setText(QStringLiteral("0a\n0b\n"));
    drop(&text);
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("0a\r\n0b\r\n"));
}

TEST_F(OpenFileTest, InvalidBytesAndNulsBecomeReplacementsAndNul) {
    Open(
        File(QStringLiteral("bad.bin"), "a\x81\0c\xD7"s)); // a lead byte before NUL, one at the end
    EXPECT_EQ(m_form.CInput->text(), QString::fromStdU16String(u"a\uFFFD\0c\uFFFD"s));
    // An ASCII file is widened, not decoded: its NUL must still show as a glyph.
    Open(File(QStringLiteral("nul.txt"), "0a\0 0b\n"s));
    EXPECT_EQ(m_form.CInput->text(), QString::fromStdU16String(u"0a\0 0b\r\n"s));
    EXPECT_EQ(m_form.CInput->toPlainText(), QStringLiteral("0a\u2400 0b\n"));
}

TEST_F(OpenFileTest, UnreadableFileShowsWhyAndKeepsTheBox) {
    m_form.CInput->setText(QStringLiteral("keep me"));
    const QString missing = m_dir.filePath(QStringLiteral("gone.txt"));
    Open(missing);
    ASSERT_EQ(m_messages.messages.size(), 1);
    EXPECT_TRUE(
        m_messages.messages[0].startsWith(QStringLiteral("无法打开文件：") + missing + "\r\n"));
    Open(m_dir.path()); // a folder
    EXPECT_EQ(m_messages.messages.size(), 2);
    const QString fifo = m_dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Open(fifo); // refused at once: nothing writes to it, and the window must not wait
    ASSERT_EQ(m_messages.messages.size(), 3);
    EXPECT_EQ(m_messages.messages[2], QStringLiteral("无法打开文件：") + fifo +
                                          QStringLiteral("\r\n这不是普通文件（管道或套接字）"));
    EXPECT_EQ(m_form.CInput->text(), QStringLiteral("keep me"));
}

TEST_F(OpenFileTest, FilesOfTheLimitAreReadAndLargerOnesRefusedUnread) {
    m_form.CInput->setText(QStringLiteral("keep me"));
    // Filling the box with 64 Mi characters costs seconds: it is cancelled once the read is
    // done, which only a file within the limit reaches.
    m_progress.answer = [](std::uint64_t, std::uint64_t total) { return total == 0; };
    // The limit README promises, as a number: a constant that drifted would go unnoticed.
    for (qint64 size : {qint64{64} << 20, (qint64{64} << 20) + 1, qint64{1} << 30}) {
        const QString path = m_dir.filePath(QStringLiteral("huge-%1.txt").arg(size));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_TRUE(file.resize(size)); // sparse: costs no disk
        }
        m_messages.messages.clear();
        Open(path);
        if (size == qint64{64} << 20)
            EXPECT_EQ(m_messages.messages, QStringList()) << "a file of the limit is read";
        else
            EXPECT_EQ(m_messages.messages,
                      QStringList{QStringLiteral("文件过大，无法载入：") + path});
        EXPECT_EQ(m_form.CInput->text(), QStringLiteral("keep me"));
    }
}

// The file's bytes without the sixth line, which holds the date and time of the conversion.
std::string WithoutDateLine(std::string bytes) {
    std::size_t at = 0;
    for (int line = 0; line < 5; ++line)
        at = bytes.find("\r\n", at) + 2;
    return bytes.erase(at, bytes.find("\r\n", at) + 2 - at);
}

TEST_F(OpenFileTest, AFourMegabyteLineRoundTripsThroughOpenEditsDropAndPaste) {
    // As `xxd -p | tr -d '\n'` gives a binary file: one line, no end.
    std::string digits(4'000'000, '0');
    std::mt19937 random(23);
    for (char& c : digits)
        c = "0123456789abcdef"[random() % 16];
    const QString path = File(QStringLiteral("line.txt"), digits);
    const QString output = m_dir.filePath(QStringLiteral("cli.mif"));
    QProcess cli;
    cli.start(QStringLiteral(TARNWICK_CONVERT),
              {QStringLiteral("-q"), QStringLiteral("-o"), output, path});
    ASSERT_TRUE(cli.waitForFinished(60'000));
    ASSERT_EQ(cli.exitCode(), 0);
    const std::string expected = WithoutDateLine(test::ReadBytes(output.toStdString()));
    const QString text = QString::fromLatin1(digits);
    auto convertsAsTheCommandLine = [this, &expected] {
        m_messages.messages.clear();
        m_form.Command4->click();
        return m_messages.messages.size() == 1 && WithoutDateLine(Output()) == expected;
    };

    m_form.show();
    Open(path);
    EXPECT_TRUE(m_form.CInput->text() == text);
    EXPECT_TRUE(convertsAsTheCommandLine());
    // Keys at the end of the line, sent where the user types.
    m_form.CInput->setFocus();
    QTest::keyClick(m_form.CInput, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(m_form.CInput, QStringLiteral("ab"));
    QTest::keyClick(m_form.CInput, Qt::Key_Backspace);
    QTest::keyClick(m_form.CInput, Qt::Key_Backspace);
    EXPECT_TRUE(m_form.CInput->text() == text);
    EXPECT_TRUE(convertsAsTheCommandLine());

    m_form.CInput->setText(QStringLiteral("keep me"));
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(path)});
    Drop(&file);
    EXPECT_TRUE(m_form.CInput->text() == text);
    EXPECT_TRUE(convertsAsTheCommandLine());

    m_form.CInput->setText(QString());
    QApplication::clipboard()->setText(text);
    QTest::keyClick(m_form.CInput, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(m_form.CInput->text() == text);
    EXPECT_TRUE(convertsAsTheCommandLine());
}

TEST_F(OpenFileTest, CancelledLoadsAndConversionsChangeNothing) {
    m_form.show();
    m_form.Command4->click();
    const std::string earlier = Output();
    m_form.CInput->setFocus();
    QTest::keyClicks(m_form.CInput, QStringLiteral("typed "));
    const QString typed = m_form.CInput->text();
    const QString path = File(QStringLiteral("big.txt"), std::string(3'000'000, 'a') + "\n12\n");

    // Cancelled while the file is read, then half-way through filling the box.
    const test::FakeProgress::Answer cancels[] = {
        [](std::uint64_t, std::uint64_t) { return false; },
        [](std::uint64_t done, std::uint64_t total) { return total == 0 || done < total / 2; },
    };
    for (const auto& cancel : cancels) {
        m_progress.answer = cancel;
        Open(path);
        EXPECT_EQ(m_form.CInput->text(), typed);
        EXPECT_EQ(m_progress.labels.last(), QStringLiteral("正在载入…"));
        QTest::keyClick(m_form.CInput, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(m_form.CInput->text(), kSampleInput.toString());
        QTest::keyClick(m_form.CInput, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // Cancelled while the file is written: the earlier file stays, nothing is left beside it.
    m_progress.answer = [](std::uint64_t done, std::uint64_t total) {
        return done < total * 3 / 4;
    };
    m_form.CInput->setText(QString(3'000'000, u'b'));
    m_form.Command4->click();
    EXPECT_EQ(m_progress.labels.last(), QStringLiteral("正在转换…"));
    EXPECT_EQ(Output(), earlier);
    EXPECT_EQ(QDir(m_desktop).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("Vetrask.mif")});
    EXPECT_EQ(m_messages.messages.size(), 1);
}

TEST_F(OpenFileTest, RadixAndWidthStayAsTheyWere) {
    QTest::mouseClick(m_form.Option1[1], Qt::LeftButton);
    m_form.Combo1->selectIndex(15);
    Open(File(QStringLiteral("data.txt"), "1010"));
    EXPECT_TRUE(m_form.Option1[1]->isChecked());
    EXPECT_EQ(m_form.Combo1->listIndex(), 15);
}

} // namespace
} // namespace tarnwick::ui
