#pragma once

// The main window. The controls hold all state between events; each handler reads them,
// calls the engine, a platform service or a window service (ui/services), and shows the
// outcome through the message box service:
//   Form_Load -> Option1 selected -> Option1_Click fills Combo1
//   Command4_Click: CInput text (TextSource) + Option1 + Combo1 width -> Convert into an
//     AtomicFileWriter on the desktop -> message
//   Op_Click, a dropped file, a file named at start: loadFile -> LoadTextFile (byte-order
//     mark, UTF-8 or GBK; CR LF line ends) -> CInput
//   Loads and conversions report to a Progress and stop when the user cancels
//   Format/Help/Dload/About_Click -> WindowRegistry shows one information window each

#include "platform/clock.h"
#include "ui/services/services.h"
#include "ui/widgets/widgets.h"

#include <QList>
#include <QMainWindow>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tarnwick::ui {

/// What the main window needs from outside; tests substitute fakes.
struct Form1Services {
    ui::MessageBoxService& messageBox;
    ui::OpenFileBackend& openFile;
    const platform::Clock& clock;
    ui::WindowRegistry& windows;
    ui::ProgressService& progress;
    std::function<QString()> desktopFolder = ui::DesktopFolder;
};

/// Files larger than this are refused by the Open command: the text box needs about nine
/// times the file in memory, and its text is limited to 2^31 characters.
inline constexpr std::uint64_t kMaxLoadBytes = 64ull << 20;

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(Form1Services services, QWidget* parent = nullptr);

    /// The MIF file every conversion writes.
    QString outputPath() const;

    /// Replaces the input box's text with the file's, as Open does; on failure shows why
    /// and keeps the text. For Open, a dropped file and a file named at start.
    bool loadFile(const QString& name);

    // Controls, named as in the window's design.
    ui::TextBox* CInput = nullptr;
    std::array<QRadioButton*, 2> Option1{};
    ui::ComboBox* Combo1 = nullptr;
    QPushButton* Command4 = nullptr;
    QLabel* Image1 = nullptr;
    ui::CommonDialog CommonDialog1;
    QAction* Op = nullptr;
    QAction* Format = nullptr;
    QAction* Help = nullptr;
    QAction* Dload = nullptr;
    QAction* About = nullptr;

public slots:
    void Form_Load();
    void Option1_Click(std::int16_t Index);
    void Command4_Click();
    void Op_Click();
    void Format_Click();
    void Help_Click();
    void Dload_Click();
    void About_Click();

private:
    void filesDropped(const QList<QUrl>& urls);
    void createMenu();
    void createControls();
    void showMessage(const QString& text);

    Form1Services m_services;
    // Set while a load or a conversion runs: their progress lets events through.
    bool m_busy = false;
};

} // namespace tarnwick::ui
