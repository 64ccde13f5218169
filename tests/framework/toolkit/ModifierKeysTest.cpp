#include "framework/toolkit/ModifierKeys.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

TEST(ModifierKeys, ReadsTheDesignNamesFromQtsKeysAndButtons) {
  struct Case {
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButton button;
    bool command, option, control, shift;
  };
  const Case cases[] = {
      {Qt::ControlModifier, Qt::LeftButton, true, false, false, false},
      {Qt::AltModifier, Qt::LeftButton, false, true, false, false},
      {Qt::NoModifier, Qt::RightButton, false, false, true, false},  // Control-click
      {Qt::MetaModifier, Qt::LeftButton, false, false, true, false},
      {Qt::ShiftModifier | Qt::ControlModifier, Qt::LeftButton, true, false, false, true},
      {Qt::NoModifier, Qt::LeftButton, false, false, false, false},
  };
  for (const Case& c : cases) {
    const QMouseEvent event(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), c.button,
                            c.button, c.modifiers);
    const ModifierKeys keys = ModifierKeys::fromEvent(&event);
    EXPECT_EQ(keys.command(), c.command);
    EXPECT_EQ(keys.option(), c.option);
    EXPECT_EQ(keys.control(), c.control);
    EXPECT_EQ(keys.shift(), c.shift);
    EXPECT_EQ(ModifierKeys::fromFlags(keys.flags()).flags(), keys.flags());
  }
  // The stored form: Command is bit 20, Option bit 19.
  EXPECT_EQ(ModifierKeys(Qt::ControlModifier).flags(), 1 << 20);
  EXPECT_EQ(ModifierKeys(Qt::AltModifier).flags(), 1 << 19);
}

}  // namespace
