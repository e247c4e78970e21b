#include "message_box.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace tarnwick::ui {

void QtMessageBox::show(QWidget* parent, const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"),
                  QStringLiteral("\n")); // a label breaks lines at LF and would show the CR
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarnwick"), shown, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setIcon(QIcon()); // a plain OK, as the message has no icon

    box.exec();
}

} // namespace tarnwick::ui
