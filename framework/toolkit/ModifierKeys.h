#pragma once

#include <Qt>

class QInputEvent;

// The modifier keys of a click or key, read by their design names: Command
// is Ctrl, Option is Alt, Control is a right-button click (or the Meta key),
// Shift is Shift. `flags` packs them in the bits the stored modifier values
// use (the cells' modifiersOnClick): Shift bit 17, Control 18, Option 19,
// Command 20.
class ModifierKeys {
 public:
  static constexpr int kShiftFlag = 1 << 17;
  static constexpr int kControlFlag = 1 << 18;
  static constexpr int kOptionFlag = 1 << 19;
  static constexpr int kCommandFlag = 1 << 20;

  ModifierKeys() = default;
  ModifierKeys(Qt::KeyboardModifiers modifiers, Qt::MouseButton button = Qt::NoButton);
  // A mouse event's keys and button, or a key event's keys.
  static ModifierKeys fromEvent(const QInputEvent* event);
  static ModifierKeys fromFlags(int flags);

  bool command() const { return flags_ & kCommandFlag; }
  bool option() const { return flags_ & kOptionFlag; }
  bool control() const { return flags_ & kControlFlag; }
  bool shift() const { return flags_ & kShiftFlag; }
  int flags() const { return flags_; }

 private:
  int flags_ = 0;
};
