#pragma once

#include "platform/osc/OSCMessage.h"

#include <memory>
#include <vector>

// Messages sent together as one packet, in the order added, to be acted on
// at once.
class OSCBundle {
 public:
  static std::shared_ptr<OSCBundle> create();

  void addElement(const OSCMessage& message) { elements_.push_back(message); }
  void addElementArray(const std::vector<std::shared_ptr<OSCMessage>>& messages);
  void addElementArray(const std::vector<OSCMessage>& messages);

  const std::vector<OSCMessage>& elementArray() const { return elements_; }
  bool isEmpty() const { return elements_.empty(); }

 private:
  std::vector<OSCMessage> elements_;
};
