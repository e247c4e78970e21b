#include "ui/widgets/combo_box.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace tarnwick::ui {
namespace {

TEST(ComboBox, TypingClearsTheSelectionUntilAnEntryIsChosen) {
    ComboBox combo;
    combo.addItems({QStringLiteral("4   Bits Data"), QStringLiteral("8   Bits Data")});
    combo.selectIndex(1);
    combo.show();
    EXPECT_EQ(combo.listIndex(), 1);
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("12"));
    EXPECT_EQ(combo.listIndex(), -1);
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo.count(), 2) << "Enter never adds an entry";
    // An entry's very text typed, then Enter, chooses nothing either.
    combo.lineEdit()->clear();
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("4   Bits Data"));
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo.listIndex(), -1);
    QTest::keyClick(&combo, Qt::Key_Up); // choosing from the list again
    EXPECT_EQ(combo.listIndex(), 0);
}

} // namespace
} // namespace tarnwick::ui
