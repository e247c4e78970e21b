#include "common_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tarnwick::ui {

QString QtOpenFileBackend::getOpenFileName(QWidget* parent, const QString& title,
                                           const QStringList& nameFilters) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    // The patterns are already in each entry's text; do not show them twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty())
        dialog.selectNameFilter(nameFilters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().first();
    m_folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

void CommonDialog::ShowOpen() {
    FileName = m_backend.getOpenFileName(m_owner, DialogTitle, NameFilters(Filter));
}

QStringList CommonDialog::NameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = QStringLiteral("*");
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

} // namespace tarnwick::ui
