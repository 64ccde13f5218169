#pragma once

#include <QList>
#include <QRect>

// Where the fullscreen output goes: the union of the screens whose flag is
// set, walking the screen list and the flags side by side (extra flags and
// extra screens are ignored); empty when no existing screen is chosen.
class FullscreenTarget {
 public:
  static QRect unionOf(const QList<QRect>& screens, const QList<bool>& flags);
  // Whether fullscreen with these flags covers screen 0.
  static bool coversFirstScreen(const QList<bool>& flags) {
    return !flags.isEmpty() && flags.first();
  }
  // A stored value as flags; anything but a list of booleans is absent.
  static bool flagsFromVariant(const QVariant& value, QList<bool>* flags);
};
