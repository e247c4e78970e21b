#pragma once

#include <QComboBox>

namespace tarnwick::ui {

/// An editable combo box whose selected index reads -1 once the user types into its text
/// field, until an entry is chosen from the drop-down list again (Qt keeps the old index
/// while the user types). Typed text never chooses an entry: there is no completion, and
/// Enter in the field neither chooses the entry of that name nor adds one.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent = nullptr);

    /// The selected entry's index, or -1 when none is selected.
    int listIndex() const { return m_typed ? -1 : currentIndex(); }
    /// Selects an entry and shows its text.
    void selectIndex(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_typed = false;
};

} // namespace tarnwick::ui
