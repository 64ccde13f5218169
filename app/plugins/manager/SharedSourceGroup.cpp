#include "app/plugins/manager/SharedSourceGroup.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"

bool SharedSourceGroup::join(DataSourceController* controller, const QString& group,
                             const QString& name, std::shared_ptr<DataSource> source,
                             std::int32_t holderType) {
  if (!controller || !source) return false;
  if (!controller->dataSourceForKeyArray({group}))
    controller->setDataSource(DataSourceHolder::createWithName(group, holderType), {group});
  return controller->setDataSource(std::move(source), {group, name});
}

bool SharedSourceGroup::rename(DataSourceController* controller, const QString& group,
                               const QString& from, const QString& to) {
  return controller && controller->changeNameFrom({group, from}, {group, to});
}

void SharedSourceGroup::leave(DataSourceController* controller, const QString& group,
                              const QString& name) {
  if (!controller) return;
  controller->setDataSource(nullptr, {group, name});
  const std::shared_ptr<DataSource> holder = controller->dataSourceForKeyArray({group});
  if (holder && holder->asHolder() && holder->asHolder()->elementDictCount() == 0)
    controller->setDataSource(nullptr, {group});
}
