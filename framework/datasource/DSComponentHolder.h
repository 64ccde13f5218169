#pragma once

#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceTarget.h"

#include <array>

class DSFloatFrequent;

// A holder whose children are pulled once per tick from a delegate: a colour
// ("R", "G", "B") or a point ("X", "Y"). Each child is a frequent float whose
// set call asks the holder for its component at the start of the child's
// tick step, so its subscribers receive the delegate's current value every
// tick. The children are made the first time the holder is placed; a later
// move takes them along.
class DSComponentHolder : public DataSourceHolder, public DataSourceTarget {
 public:
  static constexpr int kMaxComponents = 3;

  // The children's set-call action: sets the child to its component's
  // current value; nothing without a delegate.
  void setDataSourceVal(DataSource* child);

  void setParentSource(const std::shared_ptr<DataSourceHolder>& parent,
                       DataSourceController* fromDSC) override;
  // Drops the delegate first: from then on nothing is pulled.
  void prepareToBeDeleted() override;

 protected:
  DSComponentHolder(const QString& name, int32_t type, std::vector<QString> componentNames);

  const std::vector<QString>& componentNames() const { return componentNames_; }
  // The component's current value from the delegate; false without one.
  virtual bool pullComponent(int index, float& value) = 0;

  // The delegate, held weakly and typed by the subclass; a pull holds it
  // until it answers.
  void storeDelegate(std::weak_ptr<void> delegate);
  std::shared_ptr<void> lockDelegate();

 private:
  void createComponents(DataSourceController* dsc);

  const std::vector<QString> componentNames_;
  std::atomic<bool> componentsCreated_{false};
  // Identities of the children, compared only, never dereferenced.
  std::array<std::atomic<const DataSource*>, kMaxComponents> components_{};
  std::mutex delegateMutex_;
  std::weak_ptr<void> delegate_;
};
