#include "platform/osc/OSCBundle.h"

std::shared_ptr<OSCBundle> OSCBundle::create() { return std::make_shared<OSCBundle>(); }

void OSCBundle::addElementArray(const std::vector<std::shared_ptr<OSCMessage>>& messages) {
  for (const auto& message : messages)
    if (message) elements_.push_back(*message);
}

void OSCBundle::addElementArray(const std::vector<OSCMessage>& messages) {
  elements_.insert(elements_.end(), messages.begin(), messages.end());
}
