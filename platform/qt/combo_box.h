#pragma once

#include <QComboBox>

namespace tarnwick::platform {

/// An editable combo box whose selected index reads -1 once the user types into its text
/// field, until an entry is chosen from the list again. (Qt keeps the old index while the
/// user types.) Enter in the field never adds an entry.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent = nullptr);

    /// The selected entry's index, or -1 when none is selected.
    int listIndex() const { return m_typed ? -1 : currentIndex(); }
    /// Selects an entry and shows its text.
    void selectIndex(int index);

private:
    bool m_typed = false;
};

} // namespace tarnwick::platform
