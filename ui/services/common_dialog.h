#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tarnwick::ui {

/// Asks the user for a file to open. Returns the full path, or an empty string on cancel.
class OpenFileBackend {
public:
    virtual ~OpenFileBackend() = default;
    /// `nameFilters` are Qt filters such as "Text (*.txt)"; the first is in force.
    virtual QString getOpenFileName(QWidget* parent, const QString& title,
                                    const QStringList& nameFilters) = 0;
};

/// Qt's own file dialog, modal. It starts in the folder of the file chosen last, or in the
/// user's home folder, never in whatever folder the program was started from.
class QtOpenFileBackend final : public OpenFileBackend {
public:
    QString getOpenFileName(QWidget* parent, const QString& title,
                            const QStringList& nameFilters) override;

private:
    QString m_folder;
};

/// The common file dialog as the main window uses it: set DialogTitle and Filter (pairs of
/// display text and pattern joined by '|'), call ShowOpen, read FileName, which is empty
/// after a cancel.
class CommonDialog {
public:
    CommonDialog(OpenFileBackend& backend, QWidget* owner) : m_backend(backend), m_owner(owner) {}

    QString DialogTitle;
    QString Filter;
    QString FileName;

    void ShowOpen();

    /// Turns "Text(*.txt)|*.txt|All(*.*)|*.*" into Qt name filters. "*.*" means every
    /// file, as it does on the system the notation comes from.
    static QStringList NameFilters(const QString& filter);

private:
    OpenFileBackend& m_backend;
    QWidget* m_owner = nullptr;
};

} // namespace tarnwick::ui
