#include "framework/datasource/DataSourceCall.h"

std::shared_ptr<DataSourceCall> DataSourceCall::createWithTarget(
    std::weak_ptr<DataSourceTarget> target, Action action) {
  if (target.expired() || !action) return nullptr;
  return std::make_shared<DataSourceCall>(std::move(target), std::move(action));
}

DataSourceCall::DataSourceCall(std::weak_ptr<DataSourceTarget> target, Action action)
    : target_(std::move(target)),
      targetIdentity_(target_.lock().get()),
      action_(std::move(action)) {}

void DataSourceCall::bang() const {
  if (cancelled() || !action_) return;
  DataSource* source = dataSource();
  if (!source) return;
  const std::shared_ptr<DataSourceTarget> target = target_.lock();
  if (!target) return;
  action_(*target, source);
}

void DataSourceCall::dataSourceNameChanged(DataSource* source) const {
  if (const auto target = target_.lock()) target->dataSourceNameChanged(source);
}

void DataSourceCall::dataSourceTypeChanged(DataSource* source) const {
  if (const auto target = target_.lock()) target->dataSourceTypeChanged(source);
}

void DataSourceCall::dataSourcePrepareToBeDeleted() const {
  if (!action_) return;
  if (const auto target = target_.lock()) target->currentDataSourceDeletedUnderMe();
}
