#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <typeindex>

// One subscriber of the master clock's quantized bumps: a target, held
// weakly, and a member function without arguments. Two calls are equal when
// they name the same target object and the same member function; that is
// what unsubscribing matches.
class QKMCQuantizeCall {
 public:
  template <class T>
  static QKMCQuantizeCall createWithTarget(const std::shared_ptr<T>& target, void (T::*action)()) {
    using Action = void (T::*)();
    static_assert(sizeof(Action) <= sizeof(ActionBytes), "member pointer too large");
    QKMCQuantizeCall call(target, target.get(), typeid(Action));
    std::memcpy(call.actionBytes_.data(), &action, sizeof(Action));
    call.run_ = [action](void* object) { (static_cast<T*>(object)->*action)(); };
    return call;
  }

  bool operator==(const QKMCQuantizeCall& other) const;
  // Calls the action when the target is alive, holding it until the action
  // returns. Answers false when the target is gone.
  bool bang() const;
  bool targetIsAlive() const { return !target_.expired(); }

 private:
  using ActionBytes = std::array<unsigned char, 16>;
  QKMCQuantizeCall(std::weak_ptr<void> target, const void* identity, std::type_index actionType)
      : target_(std::move(target)), identity_(identity), actionType_(actionType) {}

  std::weak_ptr<void> target_;
  const void* identity_;  // never dereferenced
  std::type_index actionType_;
  ActionBytes actionBytes_{};
  std::function<void(void*)> run_;
};
