#include "framework/toolkit/ModifierKeys.h"

#include <QMouseEvent>

ModifierKeys::ModifierKeys(Qt::KeyboardModifiers modifiers, Qt::MouseButton button) {
  if (modifiers & Qt::ShiftModifier) flags_ |= kShiftFlag;
  if ((modifiers & Qt::MetaModifier) || button == Qt::RightButton) flags_ |= kControlFlag;
  if (modifiers & Qt::AltModifier) flags_ |= kOptionFlag;
  if (modifiers & Qt::ControlModifier) flags_ |= kCommandFlag;
}

ModifierKeys ModifierKeys::fromEvent(const QInputEvent* event) {
  if (!event) return {};
  Qt::MouseButton button = Qt::NoButton;
  if (const auto* mouse = dynamic_cast<const QMouseEvent*>(event)) button = mouse->button();
  return ModifierKeys(event->modifiers(), button);
}

ModifierKeys ModifierKeys::fromFlags(int flags) {
  ModifierKeys keys;
  keys.flags_ = flags & (kShiftFlag | kControlFlag | kOptionFlag | kCommandFlag);
  return keys;
}
