#include "info_windows.h"

#include "info_texts.h"
#include "resources/artwork.h"
#include "ui/widgets/text_box.h"

#include <QLabel>

namespace tarnwick::info {

namespace {

struct Design {
    const char16_t* caption;
    QSize client;
    const char* textBoxName;
    bool scrollBar;
};

Design designOf(InfoWindow which) {
    switch (which) {
    case InfoWindow::Help:
        return {u"Tarnwick 帮助信息", {488, 305}, "txtEdit", true};
    case InfoWindow::About:
        return {u"Tarnwick 软件关于", {488, 305}, "txtAbout", false};
    case InfoWindow::Format:
        return {u"Tarnwick 格式配置", {487, 305}, "txtAbout", true};
    case InfoWindow::Download:
        return {u"Tarnwick 相关下载", {488, 307}, "txtAbout", true};
    }
    return {u"Tarnwick", {488, 305}, "txtAbout", true};
}

QLabel* createLogo(QWidget* window, int index, int left) {
    auto* logo = new QLabel(window);
    logo->setObjectName(QStringLiteral("Image1_%1").arg(index));
    logo->setGeometry(left, 0, artwork::kSmallLogoSize.width(), artwork::kSmallLogoSize.height());
    logo->setPixmap(artwork::Logo(artwork::kSmallLogoSize, window->devicePixelRatioF()));
    return logo;
}

QLabel* createBanner(QWidget* window) {
    QString text = BannerText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* banner = new QLabel(text, window);
    banner->setObjectName(QStringLiteral("Label1"));
    banner->setGeometry(112, 8, 257, 49);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->setWordWrap(true); // wider lines wrap; what then overflows is cut off
    banner->setTextFormat(Qt::PlainText);
    return banner;
}

ui::TextBox* createTextBox(QWidget* window, const Design& design, const QString& text) {
    auto* box = new ui::TextBox(window);
    box->setObjectName(QString::fromLatin1(design.textBoxName));
    box->setGeometry(0, 56, 489, 249);
    box->setVerticalScrollBarPolicy(design.scrollBar ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);
    box->setText(text);
    box->setAccessibleName(QString::fromUtf16(design.caption));
    return box;
}

} // namespace

QString WindowName(InfoWindow which) {
    switch (which) {
    case InfoWindow::Help:
        return QStringLiteral("Form2");
    case InfoWindow::About:
        return QStringLiteral("Form3");
    case InfoWindow::Format:
        return QStringLiteral("Form4");
    case InfoWindow::Download:
        return QStringLiteral("Form5");
    }
    return {};
}

QString WindowText(InfoWindow which) {
    switch (which) {
    case InfoWindow::Help:
        return HelpText();
    case InfoWindow::About:
        return AboutText();
    case InfoWindow::Format:
        return FormatText();
    case InfoWindow::Download:
        return DownloadText();
    }
    return {};
}

QWidget* CreateInfoWindow(InfoWindow which) {
    const Design design = designOf(which);
    // No owner: the window stands on its own and outlives the main window.
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setObjectName(WindowName(which));
    window->setWindowTitle(QString::fromUtf16(design.caption) + u' ' + MakerNotice());
    window->setWindowIcon(artwork::AppIcon());
    window->setFixedSize(design.client);

    ui::TextBox* box = createTextBox(window, design, WindowText(which));
    createBanner(window);
    createLogo(window, 1, 0);
    createLogo(window, 0, 424);
    window->setTabOrder(box, window->findChild<QLabel*>(QStringLiteral("Label1")));
    box->setFocus(Qt::OtherFocusReason);
    return window;
}

QWidget* ShowInfoWindow(ui::WindowRegistry& windows, InfoWindow which) {
    return windows.show(WindowName(which), [which] { return CreateInfoWindow(which); });
}

} // namespace tarnwick::info
