#include "info/info_texts.h"
#include "info/info_windows.h"
#include "resources/sample_input.h"
#include "support/fake_services.h"
#include "ui/form1.h"
#include "ui/widgets/text_box.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarnwick::info {
namespace {

QStringList Lines(const QString& text) {
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n"))) << "the last line ends with CR LF too";
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

struct TextCase {
    const char* name;
    InfoWindow window;
    int lines;
    int separators;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class InfoTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(InfoTextTest, HasItsLineAndSeparatorCounts) {
    const QStringList lines = Lines(WindowText(GetParam().window));
    EXPECT_EQ(lines.size(), GetParam().lines);
    EXPECT_EQ(lines.count(kSeparator.toString()), GetParam().separators);
    EXPECT_EQ(lines.first(), kSeparator);
    EXPECT_EQ(kSeparator.size(), 64);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n'));
        if (line.contains(u'*') && line.count(u'*') > 8) {
            EXPECT_EQ(line, kSeparator) << "a line of asterisks is a separator";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, InfoTextTest,
                         testing::Values(TextCase{"Help", InfoWindow::Help, 74, 11},
                                         TextCase{"About", InfoWindow::About, 18, 2},
                                         TextCase{"Format", InfoWindow::Format, 47, 7},
                                         TextCase{"Download", InfoWindow::Download, 29, 7}),
                         [](const testing::TestParamInfo<TextCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(InfoTexts, HelpAndFormatShowTheMainWindowSample) {
    const QStringList sample = Lines(kSampleInput.toString());
    ASSERT_EQ(sample.size(), 16);
    for (InfoWindow window : {InfoWindow::Help, InfoWindow::Format}) {
        const QStringList lines = Lines(WindowText(window));
        const qsizetype at = lines.indexOf(sample.first());
        ASSERT_GE(at, 2);
        EXPECT_EQ(lines.mid(at, 16), sample);
        EXPECT_EQ(lines[at - 1], QString());
        EXPECT_EQ(lines[at - 2], QStringLiteral("Tarnwick软件在编辑窗口已经默认输入了各种支持格式的"
                                                "内容，方便初次试用者调试以熟悉软件"));
        EXPECT_EQ(lines[at + 16], QString());
    }
}

TEST(InfoTexts, QuotedLinesStandExactly) {
    const QStringList help = Lines(HelpText());
    EXPECT_EQ(help[1], QStringLiteral("Tarnwick v" TARNWICK_VERSION_SHORT));
    EXPECT_TRUE(help.contains(QStringLiteral("Tarnwick + 字模提取软件------完美结合。")));
    EXPECT_TRUE(
        help.contains(QStringLiteral("（3）软件已经通过识别转换，可以在任意位置包含逗号“;”")));
    EXPECT_TRUE(help.contains(QStringLiteral(
        "（2）字模提取软件的搭配使用，用Tarnwick的文件打开功能，来读取txt的数据。")));
    EXPECT_TRUE(
        help.contains(QStringLiteral("本软件允许\"16进制\"格式或者\"二进制\"格式的数据或者文本的输"
                                     "入，通过软件的选择，输出用户需求的位数的Mif文件。")));
    const auto rule8 = std::find_if(help.begin(), help.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("（8）"));
    });
    ASSERT_NE(rule8, help.end());
    EXPECT_TRUE(rule8->contains(
        QStringLiteral("软件会自动进行选择性提取。除以上七种字符以外，任何有效数据以外的字符，都需"
                       "要手动删除，软件无法做到如此的智能，因此某些字模提取软件中生成的 "
                       "“/*\"静\"*/”、“const char Hzk[][24]=”，  此类信息需要手动删除。")));
    EXPECT_EQ(rule8[1], QString());
    EXPECT_EQ(rule8[2], QString());

    const QStringList about = Lines(AboutText());
    EXPECT_EQ(about[1], QStringLiteral("* Tarnwick，感谢您的使用"));
    EXPECT_TRUE(about[9].startsWith(u'\t'));
    EXPECT_EQ(about[14], QStringLiteral("* 软件版本：\tREV 1.0"));
    EXPECT_EQ(about[15], QStringLiteral("* 原创日期：\t2011-08-05"));
    EXPECT_EQ(about[16], QStringLiteral("* 修改日期：\tXXXX-XX-XX"));
    for (int i = 1; i < 17; ++i)
        if (!about[i].isEmpty() && i != 9) {
            EXPECT_TRUE(about[i].startsWith(QStringLiteral("* "))) << i;
        }

    const QStringList format = Lines(FormatText());
    EXPECT_EQ(format.last(),
              QStringLiteral("当数据输入完毕，点击“Tarnwick一键转换”，便可在桌面看到生成的\"Vetrask"
                             ".Mif\"。由于软件没有加入文件名识别程序，因此请及时处理桌面生成的\"Vet"
                             "rask.Mif\"，否则软件会自动覆盖。"));
    EXPECT_EQ(Lines(DownloadText()).last(),
              QStringLiteral("鄙人雅作于此，仅希望对同道中人有助，谢谢！"));
}

TEST(InfoTexts, AddressesAreOurOwn) {
    for (InfoWindow window :
         {InfoWindow::Help, InfoWindow::About, InfoWindow::Format, InfoWindow::Download}) {
        const QString text = WindowText(window);
        for (qsizetype at = text.indexOf(QStringLiteral("://")); at >= 0;
             at = text.indexOf(QStringLiteral("://"), at + 3)) {
            const QString host = text.mid(at + 3).section(u'/', 0, 0).section(u'\r', 0, 0);
            EXPECT_TRUE(host.endsWith(QStringLiteral("example.com"))) << host.toStdString();
        }
    }
}

class InfoWindowTest : public testing::Test, protected test::FakeServices {
protected:
    InfoWindowTest() {
        m_form = new ui::Form1(services());
        m_form->setAttribute(Qt::WA_DeleteOnClose);
        m_form->show();
    }
    ~InfoWindowTest() override {
        for (const char* name : {"Form2", "Form3", "Form4", "Form5"})
            if (QWidget* window = m_windows.find(QString::fromLatin1(name)))
                delete window;
        delete m_form.data();
    }
    int OpenInfoWindows() const {
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += w->isVisible() && w->objectName().startsWith(QStringLiteral("Form")) &&
                    w->objectName() != QStringLiteral("Form1");
        return open;
    }

    QPointer<ui::Form1> m_form;
};

TEST_F(InfoWindowTest, EachWindowHasItsDesign) {
    struct Expected {
        QAction* action;
        const char* name;
        QString caption;
        QSize client;
        const char* box;
        bool scrollBar;
    };
    const QString notice = QStringLiteral(" Vetrask 版权所有");
    for (const Expected& e : {Expected{m_form->Help,
                                       "Form2",
                                       QStringLiteral("Tarnwick 帮助信息") + notice,
                                       {488, 305},
                                       "txtEdit",
                                       true},
                              Expected{m_form->About,
                                       "Form3",
                                       QStringLiteral("Tarnwick 软件关于") + notice,
                                       {488, 305},
                                       "txtAbout",
                                       false},
                              Expected{m_form->Format,
                                       "Form4",
                                       QStringLiteral("Tarnwick 格式配置") + notice,
                                       {487, 305},
                                       "txtAbout",
                                       true},
                              Expected{m_form->Dload,
                                       "Form5",
                                       QStringLiteral("Tarnwick 相关下载") + notice,
                                       {488, 307},
                                       "txtAbout",
                                       true}}) {
        e.action->trigger();
        QWidget* window = m_windows.find(QString::fromLatin1(e.name));
        ASSERT_NE(window, nullptr) << e.name;
        EXPECT_EQ(window->parentWidget(), nullptr) << "no owner";
        EXPECT_EQ(window->windowTitle(), e.caption);
        EXPECT_EQ(window->size(), e.client);
        EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed frame";
        EXPECT_FALSE(window->windowFlags() &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        auto* box = window->findChild<ui::TextBox*>(QString::fromLatin1(e.box));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->geometry(), QRect(0, 56, 489, 249));
        EXPECT_EQ(box->verticalScrollBarPolicy(),
                  e.scrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(box->textCursor().position(), 0);
        EXPECT_EQ(box->verticalScrollBar()->value(), 0);
        auto* banner = window->findChild<QLabel*>(QStringLiteral("Label1"));
        ASSERT_NE(banner, nullptr);
        EXPECT_EQ(banner->geometry(), QRect(112, 8, 257, 49));
        EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Image1_1"))->geometry(),
                  QRect(0, 0, 64, 55));
        EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Image1_0"))->geometry(),
                  QRect(424, 0, 64, 55));
    }
    EXPECT_EQ(OpenInfoWindows(), 4);
}

TEST_F(InfoWindowTest, OneWindowOfEachKindAndAFreshTextAfterClose) {
    m_form->Help_Click();
    QWidget* help = m_windows.find(QStringLiteral("Form2"));
    auto* box = help->findChild<ui::TextBox*>(QStringLiteral("txtEdit"));
    box->setText(QStringLiteral("changed"));
    m_form->Help_Click();
    EXPECT_EQ(m_windows.find(QStringLiteral("Form2")), help);
    EXPECT_EQ(box->text(), QStringLiteral("changed")) << "the open window is shown as it is";
    EXPECT_EQ(OpenInfoWindows(), 1);

    QPointer<QWidget> closed = help;
    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "closing destroys the window";
    m_form->Help_Click();
    QWidget* fresh = m_windows.find(QStringLiteral("Form2"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->findChild<ui::TextBox*>(QStringLiteral("txtEdit"))->text(), HelpText());
}

TEST_F(InfoWindowTest, MainWindowKeepsConvertingWhileInformationWindowsAreOpen) {
    m_form->Help_Click();
    m_form->About_Click();
    EXPECT_EQ(OpenInfoWindows(), 2);
    QTest::mouseClick(m_form->Command4, Qt::LeftButton);
    EXPECT_EQ(m_messages.messages.size(), 1);
    EXPECT_TRUE(QFile::exists(m_form->outputPath()));
}

TEST_F(InfoWindowTest, ProgramEndsOnlyWhenTheLastWindowCloses) {
    m_form->About_Click();
    QPointer<QWidget> about = m_windows.find(QStringLiteral("Form3"));
    bool aboutOutlivedMain = false;
    // Inside the event loop, as a user would: close the main window, then the about window.
    QTimer::singleShot(0, qApp, [this] { m_form->close(); });
    QTimer::singleShot(100, qApp, [&] {
        aboutOutlivedMain = m_form.isNull() && about && about->isVisible();
        if (about)
            about->close();
    });
    QTimer::singleShot(5000, qApp, [] { QApplication::exit(2); });
    EXPECT_EQ(QApplication::exec(), 0) << "the program ends when the last window closes";
    EXPECT_TRUE(aboutOutlivedMain);
}

} // namespace
} // namespace tarnwick::info
