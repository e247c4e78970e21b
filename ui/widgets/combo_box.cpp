#include "combo_box.h"

#include "keys.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace tarnwick::ui {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completion would quietly pick the first entry that starts with what was typed.
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = true; });
    // Emitted when an entry is chosen in the list; Enter in the field no longer reaches it.
    connect(this, &QComboBox::activated, this, [this] { m_typed = false; });
}

void ComboBox::selectIndex(int index) {
    m_typed = false;
    setCurrentIndex(index);
}

namespace {

// Qt would choose the entry whose exact text the field holds when Enter is pressed.
bool typesNothing(const QKeyEvent& key) {
    return IsStrayAltKey(key) || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

} // namespace

// Keys reach the field through the combo box when it has the focus, and directly when the
// field itself has it (after a click into it): both ways are guarded.
void ComboBox::keyPressEvent(QKeyEvent* event) {
    if (typesNothing(*event)) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress &&
        typesNothing(*static_cast<const QKeyEvent*>(event)))
        return true;
    return QComboBox::eventFilter(watched, event);
}

} // namespace tarnwick::ui
