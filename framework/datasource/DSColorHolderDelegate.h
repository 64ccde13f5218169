#pragma once

class DSColorHolder;

// Supplies a colour holder's components, on the tick thread, once per
// component per tick, under the tree's read locks: answer quickly and leave
// the tree alone.
class DSColorHolderDelegate {
 public:
  virtual ~DSColorHolderDelegate() = default;
  virtual float rValForColorHolder(DSColorHolder* holder) = 0;
  virtual float gValForColorHolder(DSColorHolder* holder) = 0;
  virtual float bValForColorHolder(DSColorHolder* holder) = 0;
};
