#include "combo_box.h"

#include <QLineEdit>

namespace tarnwick::platform {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = true; });
    connect(this, &QComboBox::activated, this, [this] { m_typed = false; });
}

void ComboBox::selectIndex(int index) {
    m_typed = false;
    setCurrentIndex(index);
}

} // namespace tarnwick::platform
