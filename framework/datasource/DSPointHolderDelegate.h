#pragma once

class DSPointHolder;

// Supplies a point holder's components, on the tick thread, once per
// component per tick, under the tree's read locks: answer quickly and leave
// the tree alone.
class DSPointHolderDelegate {
 public:
  virtual ~DSPointHolderDelegate() = default;
  virtual float xValForPointHolder(DSPointHolder* holder) = 0;
  virtual float yValForPointHolder(DSPointHolder* holder) = 0;
};
