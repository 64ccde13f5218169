#pragma once

#include <cstdint>

// One input report of a Wii remote as the kernel's driver gives it: which of
// the remote's input devices it came from and the evdev event (type, code,
// value). The backend's reading thread hands these to the translator.
struct WiiInputEvent {
  enum Device : std::uint8_t { Core, Accel, IR, Nunchuk, Classic };
  // Not an evdev event: the extension changed (value: WiiExtension), or the
  // battery was read (value: 0..100 percent).
  static constexpr std::uint16_t kExtensionChanged = 0xfff0;
  static constexpr std::uint16_t kBatteryRead = 0xfff1;

  Device device = Core;
  std::uint16_t type = 0;
  std::uint16_t code = 0;
  std::int32_t value = 0;
};

// The expansion types as the plug-in reads them.
namespace WiiExtension {
enum : int { None = 0, Nunchuk = 1, Classic = 2, Other = 3 };
}

// An axis's reported range (evdev's minimum and maximum).
struct WiiAxisRange {
  std::int32_t minimum = -100;
  std::int32_t maximum = 100;
};
