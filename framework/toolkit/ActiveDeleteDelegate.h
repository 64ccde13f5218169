#pragma once

// Told when the Delete key is pressed in an active-delete list.
class ActiveDeleteDelegate {
 public:
  virtual ~ActiveDeleteDelegate() = default;
  virtual void deleteKeyPressed() {}
};
