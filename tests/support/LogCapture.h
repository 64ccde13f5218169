#pragma once

#include "platform/foundation/Log.h"

#include <QStringList>

#include <mutex>

// Captures log lines for the life of the object (and keeps them off the
// console).
class LogCapture {
 public:
  LogCapture() {
    previous_ = Log::setSink([this](const QString& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.append(line);
    });
  }
  ~LogCapture() { Log::setSink(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  QStringList lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }
  bool contains(const QString& text) const {
    for (const QString& line : lines())
      if (line.contains(text)) return true;
    return false;
  }

 private:
  Log::Sink previous_;
  mutable std::mutex mutex_;
  QStringList lines_;
};
