#include "platform/wiiremote/WiiEventTranslator.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace {

using Device = WiiInputEvent::Device;

struct KeyCode {
  std::uint16_t key;
  int code;
};

constexpr KeyCode kCoreKeys[] = {{BTN_A, 0},        {BTN_B, 1},    {BTN_1, 2},     {BTN_2, 3},
                                 {KEY_PREVIOUS, 4}, {BTN_MODE, 5}, {KEY_NEXT, 6},  {KEY_UP, 7},
                                 {KEY_DOWN, 8},     {KEY_LEFT, 9}, {KEY_RIGHT, 10}};
constexpr KeyCode kNunchukKeys[] = {{BTN_Z, 11}, {BTN_C, 12}};
constexpr KeyCode kClassicKeys[] = {
    {BTN_X, 13},    {BTN_Y, 14},     {BTN_A, 15},        {BTN_B, 16},    {BTN_TL, 17},
    {BTN_TR, 18},   {BTN_TL2, 19},   {BTN_TR2, 20},      {KEY_UP, 21},   {KEY_DOWN, 22},
    {KEY_LEFT, 23}, {KEY_RIGHT, 24}, {KEY_PREVIOUS, 25}, {BTN_MODE, 26}, {KEY_NEXT, 27}};

template <size_t N>
int find(const KeyCode (&table)[N], std::uint16_t key) {
  for (const KeyCode& entry : table)
    if (entry.key == key) return entry.code;
  return -1;
}

float accelerationOf(std::int32_t raw) { return float(raw) / 1000.0f + 0.5f; }

}  // namespace

WiiEventTranslator::WiiEventTranslator(Ranges ranges) : ranges_(std::move(ranges)) {
  // No dot is seen until the camera says otherwise.
  axes_[Device::IR].hat.fill(kIRWidth);
}

int WiiEventTranslator::buttonCode(Device device, std::uint16_t key) {
  switch (device) {
    case Device::Core:
      return find(kCoreKeys, key);
    case Device::Nunchuk:
      return find(kNunchukKeys, key);
    case Device::Classic:
      return find(kClassicKeys, key);
    default:
      return -1;
  }
}

float WiiEventTranslator::scaled(Device device, std::uint16_t code, std::int32_t value) const {
  const WiiAxisRange range = ranges_ ? ranges_(device, code) : WiiAxisRange{};
  if (range.maximum <= range.minimum) return 0.5f;
  return std::clamp(float(value - range.minimum) / float(range.maximum - range.minimum), 0.0f,
                    1.0f);
}

void WiiEventTranslator::translate(const WiiInputEvent& event, std::vector<WiiReport>& out) {
  if (event.device > Device::Classic) return;
  if (event.type == WiiInputEvent::kExtensionChanged) {
    out.push_back({WiiReport::Extension, event.value});
    return;
  }
  if (event.type == WiiInputEvent::kBatteryRead) {
    WiiReport battery{WiiReport::Battery};
    battery.x = std::clamp(float(event.value) / 100.0f, 0.0f, 1.0f);
    out.push_back(battery);
    return;
  }
  Axes& axes = axes_[event.device];
  switch (event.type) {
    case EV_KEY: {
      const int code = buttonCode(event.device, event.code);
      if (code < 0 || event.value == 2) return;  // unknown key, or autorepeat
      WiiReport button{WiiReport::Button, code};
      button.pressed = event.value != 0;
      out.push_back(button);
      return;
    }
    case EV_ABS:
      if (event.code >= ABS_RX && event.code <= ABS_RZ) {
        axes.acc[event.code - ABS_RX] = event.value;
        axes.accChanged = true;
      } else if (event.code >= ABS_HAT0X && event.code <= ABS_HAT3Y) {
        const int index = event.code - ABS_HAT0X;
        axes.hat[index] = event.value;
        axes.hatChanged[index / 2] = true;
      }
      return;
    case EV_SYN:
      if (event.code == SYN_REPORT) synchronise(event.device, out);
      return;
    default:
      return;
  }
}

void WiiEventTranslator::synchronise(Device device, std::vector<WiiReport>& out) {
  Axes& axes = axes_[device];
  if (axes.accChanged && (device == Device::Accel || device == Device::Nunchuk)) {
    WiiReport acc{WiiReport::Acceleration, device == Device::Accel ? 0 : 1};
    acc.x = accelerationOf(axes.acc[0]);
    acc.y = accelerationOf(axes.acc[1]);
    acc.z = accelerationOf(axes.acc[2]);
    out.push_back(acc);
  }
  axes.accChanged = false;
  const bool anyHat =
      std::find(axes.hatChanged.begin(), axes.hatChanged.end(), true) != axes.hatChanged.end();
  if (device == Device::IR && anyHat) {
    double sumX = 0, sumY = 0;
    int dots = 0;
    for (int i = 0; i < 4; ++i) {
      const std::int32_t x = axes.hat[2 * i], y = axes.hat[2 * i + 1];
      if (x >= kIRWidth || x < 0 || y < 0 || y >= kIRWidth) continue;
      sumX += x;
      sumY += y;
      ++dots;
    }
    WiiReport ir{WiiReport::IRPoint};
    ir.x = ir.y = 100.0f;
    if (dots > 0) {
      ir.x = float(1.0 - (sumX / dots) / kIRWidth);
      ir.y = float((sumY / dots) / kIRHeight);
    }
    out.push_back(ir);
  } else if (device == Device::Nunchuk && axes.hatChanged[0]) {
    WiiReport stick{WiiReport::Stick, 0};
    stick.x = scaled(device, ABS_HAT0X, axes.hat[0]);
    stick.y = scaled(device, ABS_HAT0Y, axes.hat[1]);
    out.push_back(stick);
  } else if (device == Device::Classic) {
    for (int pair : {1, 2}) {
      if (!axes.hatChanged[pair]) continue;
      WiiReport stick{WiiReport::Stick, pair};
      stick.x = scaled(device, std::uint16_t(ABS_HAT0X + 2 * pair), axes.hat[2 * pair]);
      stick.y = scaled(device, std::uint16_t(ABS_HAT0Y + 2 * pair), axes.hat[2 * pair + 1]);
      out.push_back(stick);
    }
  }
  axes.hatChanged.fill(false);
}
