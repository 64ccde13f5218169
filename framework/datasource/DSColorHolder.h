#pragma once

#include "framework/datasource/DSColorHolderDelegate.h"
#include "framework/datasource/DSComponentHolder.h"

// A colour pulled once per tick from its delegate into the children "R",
// "G" and "B" (type 9).
class DSColorHolder : public DSComponentHolder {
 public:
  static std::shared_ptr<DSColorHolder> createWithName(const QString& name);

  // Not owned: the delegate is held weakly, and a pull under way keeps it
  // alive until it answers.
  void setDelegate(std::weak_ptr<DSColorHolderDelegate> delegate);

  // The children in the order "R", "G", "B".
  DataSourceMenuItems getDataSourcesMenuItems() const override;

 protected:
  explicit DSColorHolder(const QString& name);
  bool pullComponent(int index, float& value) override;
};
