#include "platform/audio/AudioThreadLog.h"

#include "platform/foundation/Log.h"

#include <cstdio>

AudioThreadLog::Slot AudioThreadLog::slots_[AudioThreadLog::kSlots];

void AudioThreadLog::note(const char* text, long a, long b) {
  for (Slot& slot : slots_) {
    const char* held = slot.text.load(std::memory_order_acquire);
    if (held == nullptr) {
      const char* expected = nullptr;
      if (!slot.text.compare_exchange_strong(expected, text, std::memory_order_acq_rel) &&
          expected != text)
        continue;
    } else if (held != text) {
      continue;
    }
    slot.a.store(a, std::memory_order_relaxed);
    slot.b.store(b, std::memory_order_relaxed);
    slot.count.fetch_add(1, std::memory_order_release);
    return;
  }
}

void AudioThreadLog::drain() {
  for (Slot& slot : slots_) {
    const char* text = slot.text.load(std::memory_order_acquire);
    if (!text) break;
    const int count = slot.count.exchange(0, std::memory_order_acq_rel);
    if (count == 0) continue;
    char line[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(line, sizeof line, text, slot.a.load(), slot.b.load());
#pragma GCC diagnostic pop
    if (count == 1)
      Log::line(QString::fromUtf8(line));
    else
      Log::line(QStringLiteral("%1 (%2 times)").arg(QString::fromUtf8(line)).arg(count));
  }
}

int AudioThreadLog::pending(const char* text) {
  for (Slot& slot : slots_)
    if (slot.text.load() == text) return slot.count.load();
  return 0;
}
