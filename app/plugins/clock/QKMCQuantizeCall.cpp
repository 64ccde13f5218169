#include "app/plugins/clock/QKMCQuantizeCall.h"

bool QKMCQuantizeCall::operator==(const QKMCQuantizeCall& other) const {
  return identity_ == other.identity_ && actionType_ == other.actionType_ &&
         actionBytes_ == other.actionBytes_;
}

bool QKMCQuantizeCall::bang() const {
  std::shared_ptr<void> target = target_.lock();
  if (!target) return false;
  run_(target.get());
  return true;
}
