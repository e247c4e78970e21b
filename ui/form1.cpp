#include "form1.h"

#include "engine/convert.h"
#include "engine/text_source.h"
#include "info/info_texts.h"
#include "info/info_windows.h"
#include "resources/artwork.h"
#include "resources/sample_input.h"

#include "platform/atomic_file.h"
#include "platform/memory.h"
#include "text/text_file.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <atomic>
#include <chrono>
#include <thread>

namespace tarnwick::ui {

namespace {

constexpr QSize kClientSize{529, 291};

const QString kEmptyInputMessage =
    QStringLiteral("    非法操作，不能操作空字符串！\r\n请选择文件或者输入需要转换的数据！\r\n     "
                   "          谢谢！");
const QString kSuccessMessage = QStringLiteral(
    "成功生成Mif文件，请于桌面查看“Vetrask.mif”！\r\n                谢谢使用本款软件！");
const QString kNoWidthMessage = QStringLiteral("请先在列表中选择数据宽度！");
const QString kTooManyDigitsMessage = QStringLiteral("数据过多，无法生成Mif文件！");
const QString kWriteFailedMessage = QStringLiteral("无法生成Mif文件：");
const QString kOpenFailedMessage = QStringLiteral("无法打开文件：");
const QString kTooLargeMessage = QStringLiteral("文件过大，无法载入：");
const QString kNotAFileReason = QStringLiteral("这不是普通文件（管道或套接字）");
const QString kLoadingLabel = QStringLiteral("正在载入…");
const QString kConvertingLabel = QStringLiteral("正在转换…");

// A character that shows on screen is quoted; one that does not (a control character, a
// blank, a byte-order mark, a private or unassigned code) is named by its code.
QString characterName(char32_t c) {
    const QString code =
        QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0')).toUpper();
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
        return code;
    default:
        break;
    }
    if (c == 0xFFFD)
        return code;
    return QStringLiteral("“") + QString::fromUcs4(&c, 1) + QStringLiteral("”");
}

QString notADigitMessage(const StrayCharacters& strays, RadixMode radix) {
    QString text = QStringLiteral("第%1行第%2列的%3不是%4数字，未生成Mif文件！\r\n"
                                  "共有%5个这样的字符，请删去注释、声明等非数据内容。")
                       .arg(strays.at.line)
                       .arg(strays.at.column)
                       .arg(characterName(strays.first))
                       .arg(radix == RadixMode::Hexadecimal ? QStringLiteral("16进制")
                                                            : QStringLiteral("二进制"))
                       .arg(strays.count);
    // Text between NULs: a UTF-16 file without its byte-order mark, read as GBK.
    if (strays.mostlyNul())
        text += QStringLiteral(
            "\r\n（是否为不带字节顺序标记的UTF-16文件？请另存为带标记的Unicode文件。）");
    return text;
}

QString droppedMessage(const DroppedDigits& dropped) {
    return QStringLiteral("第%1行第%2列起的最后%3个数字不足一个数据字，未生成Mif文件！\r\n"
                          "每个数据字%4个数字，请补足或删去这些数字。")
        .arg(dropped.at.line)
        .arg(dropped.at.column)
        .arg(dropped.count)
        .arg(dropped.digitsPerWord);
}

QString pathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

QString reasonText(const std::string& reason) {
    return QString::fromLocal8Bit(reason);
}

// The width list's entries, as designed for both radixes: one digit, two digits, ... 64.
constexpr int kWidthEntries = 64;

int widthOfEntry(RadixMode radix, int index) {
    return (index + 1) * BitsPerDigit(radix);
}

QString entryText(int bits) {
    return QString::number(bits).leftJustified(4, u' ') + QStringLiteral("Bits Data");
}

} // namespace

Form1::Form1(Form1Services services, QWidget* parent)
    : QMainWindow(parent), CommonDialog1(services.openFile, this), m_services(services) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarnwick v" TARNWICK_VERSION_SHORT " 转换软件 ") +
                   info::MakerNotice());
    setWindowIcon(artwork::AppIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(ui::SongFont(10.5));
    createMenu();
    createControls();
    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    Form_Load();
}

void Form1::createMenu() {
    QMenuBar* bar = menuBar();
    bar->setFont(QApplication::font(bar)); // the desktop's menu font, not the window's
    // Top-level commands with no menus under them: a click runs the command at once.
    auto add = [bar, this](const char16_t* caption, const char* name, void (Form1::*handler)()) {
        QAction* action = bar->addAction(QString::fromUtf16(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Op = add(u"打开(&O)", "Op", &Form1::Op_Click);
    Format = add(u"格式(&F)", "Format", &Form1::Format_Click);
    Help = add(u"帮助(&H)", "Help", &Form1::Help_Click);
    Dload = add(u"下载(&D)", "Dload", &Form1::Dload_Click);
    // Shown as written, "(A)" included, with no access key.
    About = add(u"关于(A)", "About", &Form1::About_Click);
}

void Form1::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // A fixed layout: resizing the window moves and resizes nothing.
    CInput = new ui::TextBox(client);
    CInput->setObjectName(QStringLiteral("CInput"));
    CInput->setGeometry(0, 0, 377, 289);
    CInput->setFont(ui::SongFont(9));
    CInput->setAccessibleName(QStringLiteral("输入数据"));
    CInput->setText(kSampleInput.toString());

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(384, 8, 140, 120);
    Image1->setPixmap(artwork::Logo(artwork::kLogoSize, devicePixelRatioF()));
    Image1->setAccessibleName(QStringLiteral("Tarnwick"));

    const std::array<const char16_t*, 2> captions{u"16进制", u"二进制"};
    const std::array<int, 2> lefts{384, 456};
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(QString::fromUtf16(captions[i]), client);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1[i]->setGeometry(lefts[i], 136, 73, 41);
        // Selecting a button, from code too, runs the handler.
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                Option1_Click(static_cast<std::int16_t>(i));
        });
    }

    Combo1 = new ui::ComboBox(client);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(392, 184, 121, 22);
    Combo1->setEditText(QStringLiteral("请选择长度"));
    Combo1->setAccessibleName(QStringLiteral("数据宽度"));

    Command4 = new QPushButton(QStringLiteral("Tarnwick一键转换"), client);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->setGeometry(384, 216, 137, 65);
    Command4->setFont(ui::SongFont(12));
    Command4->setAutoDefault(false);
    Command4->setDefault(false);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    // Queued: the drop ends before any message box of the load opens.
    connect(CInput, &ui::TextBox::urlsDropped, this, &Form1::filesDropped, Qt::QueuedConnection);

    setTabOrder(CInput, Command4);
    setTabOrder(Command4, Option1[0]);
    setTabOrder(Option1[0], Option1[1]);
    setTabOrder(Option1[1], Combo1);
    CInput->setFocus(Qt::OtherFocusReason);
}

QString Form1::outputPath() const {
    return m_services.desktopFolder() + QStringLiteral("/Vetrask.mif");
}

void Form1::showMessage(const QString& text) {
    m_services.messageBox.show(this, text);
}

void Form1::Form_Load() {
    Option1[0]->setChecked(true);
}

void Form1::Option1_Click(std::int16_t /*Index*/) {
    // Reads both buttons, as the handler always has, rather than trusting the index.
    Combo1->clear();
    if (Option1[0]->isChecked()) {
        for (int i = 0; i < kWidthEntries; ++i)
            Combo1->addItem(entryText(widthOfEntry(RadixMode::Hexadecimal, i)));
        Combo1->selectIndex(1);
    }
    if (Option1[1]->isChecked()) {
        for (int i = 0; i < kWidthEntries; ++i)
            Combo1->addItem(entryText(widthOfEntry(RadixMode::Binary, i)));
        Combo1->selectIndex(7);
    }
}

void Form1::Command4_Click() {
    if (m_busy)
        return;
    const QScopedValueRollback busy(m_busy, true);
    std::unique_ptr<ui::Progress> progress = m_services.progress.start(this, kConvertingLabel);
    const QString text = CInput->text();
    ConvertOptions options;
    int widthIndex = -1;
    if (Option1[0]->isChecked()) {
        options.radix = RadixMode::Hexadecimal;
        widthIndex = Combo1->listIndex();
    }
    if (Option1[1]->isChecked()) {
        options.radix = RadixMode::Binary;
        widthIndex = Combo1->listIndex();
    }
    const RadixMode radix = options.radix;
    options.widthBits = widthIndex < 0 ? 0 : widthOfEntry(radix, widthIndex);
    TextSource source(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size())));
    platform::AtomicFileWriter file(QFile::encodeName(outputPath()).toStdString());
    const ConvertResult result = Convert(source, options, file, m_services.clock,
                                         [&progress](std::uint64_t done, std::uint64_t total) {
                                             return progress->step(done, total);
                                         });
    progress.reset();
    switch (result.outcome) {
    case ConvertOutcome::EmptyInput:
        showMessage(kEmptyInputMessage);
        break;
    case ConvertOutcome::NoWidthSelected:
        showMessage(kNoWidthMessage);
        break;
    case ConvertOutcome::NotADigit:
        showMessage(notADigitMessage(result.strays, radix));
        // One Delete then removes it.
        CInput->selectStored(static_cast<qsizetype>(result.strays.offset),
                             result.strays.first > 0xFFFF ? 2 : 1);
        break;
    case ConvertOutcome::InputTooLarge:
        showMessage(kTooManyDigitsMessage);
        break;
    case ConvertOutcome::DigitsDropped:
        showMessage(droppedMessage(result.dropped));
        // Delete removes them, typing replaces them.
        CInput->selectStored(static_cast<qsizetype>(result.dropped.offset),
                             static_cast<qsizetype>(result.dropped.length));
        break;
    case ConvertOutcome::WriteFailed:
        showMessage(kWriteFailedMessage + pathText(result.error.path) + QStringLiteral("\r\n") +
                    reasonText(result.error.reason));
        break;
    case ConvertOutcome::Written:
        showMessage(kSuccessMessage);
        break;
    case ConvertOutcome::Cancelled: // the user stopped it: nothing to say
        break;
    case ConvertOutcome::WarningRefused: // the window asks for none of these
    case ConvertOutcome::DeeperThanPadding:
    case ConvertOutcome::Malformed:
    case ConvertOutcome::ReadFailed:
        break;
    }
}

void Form1::Op_Click() {
    CommonDialog1.DialogTitle = QStringLiteral("打开文件");
    CommonDialog1.Filter = QStringLiteral("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
    CommonDialog1.ShowOpen();
    const QString name = CommonDialog1.FileName;
    if (name.isEmpty())
        return;
    loadFile(name);
}

bool Form1::loadFile(const QString& name) {
    if (m_busy)
        return false;
    const QScopedValueRollback busy(m_busy, true);
    std::unique_ptr<ui::Progress> progress = m_services.progress.start(this, kLoadingLabel);
    // Read first, off the window's thread: the box keeps its text unless the whole file
    // arrived. An ASCII file is widened straight into the box's string as it is read.
    const std::filesystem::path path(QFile::encodeName(name).toStdString());
    text::LoadedText read;
    QString text;
    std::atomic<bool> finished = false;
    std::thread reader([&] {
        try {
            read = text::LoadTextFile(path, kMaxLoadBytes, [&text](std::size_t units) {
                text = QString(static_cast<qsizetype>(units), Qt::Uninitialized);
                char16_t* const room = reinterpret_cast<char16_t*>(text.data());
                // Faulting in a fresh buffer page by page costs more than filling it.
                platform::AdviseHugePages(room, units * sizeof(char16_t));
                return room;
            });
            if (read.status == platform::ReadResult::Status::Ok)
                text.resize(static_cast<qsizetype>(read.length));
        } catch (const std::bad_alloc&) {
            read.status = platform::ReadResult::Status::Failed;
            read.error.reason = platform::ErrorText(ENOMEM);
        }
        finished = true;
    });
    bool cancelled = false;
    while (!finished) {
        // Once cancelled, only waits for the read to end; the file is left unread.
        cancelled = !progress->step(0, 0) || cancelled;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reader.join();
    if (cancelled)
        return false;
    switch (read.status) {
    case platform::ReadResult::Status::TooLarge:
        progress.reset();
        showMessage(kTooLargeMessage + name);
        return false;
    case platform::ReadResult::Status::NotAFile:
        progress.reset();
        showMessage(kOpenFailedMessage + name + QStringLiteral("\r\n") + kNotAFileReason);
        return false;
    case platform::ReadResult::Status::Failed:
        progress.reset();
        showMessage(kOpenFailedMessage + name + QStringLiteral("\r\n") +
                    reasonText(read.error.reason));
        return false;
    case platform::ReadResult::Status::Ok:
        break;
    }
    return CInput->loadText(text, read.plain, [&progress](qint64 done, qint64 total) {
        return progress->step(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
    });
}

void Form1::filesDropped(const QList<QUrl>& urls) {
    for (const QUrl& url : urls)
        if (url.isLocalFile()) {
            loadFile(url.toLocalFile());
            return;
        }
}

void Form1::Format_Click() {
    info::ShowInfoWindow(m_services.windows, info::InfoWindow::Format);
}

void Form1::Help_Click() {
    info::ShowInfoWindow(m_services.windows, info::InfoWindow::Help);
}

void Form1::Dload_Click() {
    info::ShowInfoWindow(m_services.windows, info::InfoWindow::Download);
}

void Form1::About_Click() {
    info::ShowInfoWindow(m_services.windows, info::InfoWindow::About);
}

} // namespace tarnwick::ui
