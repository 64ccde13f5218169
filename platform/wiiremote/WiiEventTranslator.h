#pragma once

#include "platform/wiiremote/WiiInputEvent.h"

#include <array>
#include <functional>
#include <vector>

// One thing a remote reports, in the plug-in's terms.
struct WiiReport {
  enum Kind { Button, IRPoint, Stick, Acceleration, Extension, Battery };
  Kind kind = Button;
  int code = 0;  // button code 0..27, stick 0..2, sensor 0..1, extension type
  bool pressed = false;
  float x = 0, y = 0, z = 0;  // IR (100.0: no dot), stick, acceleration; battery level in x
  bool operator==(const WiiReport&) const = default;
};

// Turns the driver's evdev reports into the plug-in's: keys of the remote,
// nunchuk and classic controller into codes 0..27, accelerations (±500)
// into 0..1 with 0.5 at rest, the IR camera's valid dots into their
// midpoint as fractions of the screen (x mirrored, so pointing right moves
// right) or 100.0 when none is seen, sticks into 0..1 by each axis's
// reported range. Axis values are gathered until the device's
// synchronisation event and reported once per report. Keys and codes it
// does not know are ignored. Used by the remote's reading thread only.
class WiiEventTranslator {
 public:
  using Ranges = std::function<WiiAxisRange(WiiInputEvent::Device, std::uint16_t code)>;
  explicit WiiEventTranslator(Ranges ranges = {});

  void translate(const WiiInputEvent& event, std::vector<WiiReport>& out);
  // The button code of a key of that device, or -1.
  static int buttonCode(WiiInputEvent::Device device, std::uint16_t key);

  static constexpr int kIRWidth = 1023;  // also the value of a dot not seen
  static constexpr int kIRHeight = 767;

 private:
  struct Axes {
    std::array<std::int32_t, 3> acc{0, 0, 0};
    std::array<std::int32_t, 8> hat{};  // HAT0X..HAT3Y
    bool accChanged = false;
    std::array<bool, 4> hatChanged{};  // per hat pair
  };
  float scaled(WiiInputEvent::Device device, std::uint16_t code, std::int32_t value) const;
  void synchronise(WiiInputEvent::Device device, std::vector<WiiReport>& out);

  Ranges ranges_;
  std::array<Axes, 5> axes_;
};
