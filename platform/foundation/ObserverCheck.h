#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// Whether a post of one notification would reach anyone, asked of the
// default center again only when its observers changed: for a poster on a
// busy path (an input thread, per trigger) that should neither take the
// center's lock nor scan its observers every time. Safe from any thread.
class ObserverCheck {
 public:
  explicit ObserverCheck(QString name) : name_(std::move(name)) {}

  bool anyone() const;
  const QString& name() const { return name_; }

 private:
  const QString name_;
  // The center's generation when last asked, plus one, shifted left, with
  // the answer in the low bit; 0 before the first question.
  mutable std::atomic<std::uint64_t> known_{0};
};
