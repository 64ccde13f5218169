#pragma once

#include "framework/datasource/DSComponentHolder.h"
#include "framework/datasource/DSPointHolderDelegate.h"

// A position pulled once per tick from its delegate into the children "X"
// and "Y" (type 10).
class DSPointHolder : public DSComponentHolder {
 public:
  static std::shared_ptr<DSPointHolder> createWithName(const QString& name);

  // Not owned: the delegate is held weakly, and a pull under way keeps it
  // alive until it answers.
  void setDelegate(std::weak_ptr<DSPointHolderDelegate> delegate);

 protected:
  explicit DSPointHolder(const QString& name);
  bool pullComponent(int index, float& value) override;
};
