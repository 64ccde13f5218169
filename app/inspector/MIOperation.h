#pragma once

// One piece of work of a serial operation queue.
class MIOperation {
 public:
  virtual ~MIOperation() = default;
  virtual void main() = 0;
};
