#include "framework/datasource/DSColorHolder.h"

#include "framework/datasource/DataSourceMenuBuilder.h"

std::shared_ptr<DSColorHolder> DSColorHolder::createWithName(const QString& name) {
  return std::shared_ptr<DSColorHolder>(new DSColorHolder(name));
}

DSColorHolder::DSColorHolder(const QString& name)
    : DSComponentHolder(name, DSType::ColorHolder,
                        {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")}) {}

void DSColorHolder::setDelegate(std::weak_ptr<DSColorHolderDelegate> delegate) {
  storeDelegate(std::move(delegate));
}

bool DSColorHolder::pullComponent(int index, float& value) {
  const auto delegate = std::static_pointer_cast<DSColorHolderDelegate>(lockDelegate());
  if (!delegate) return false;
  switch (index) {
    case 0:
      value = delegate->rValForColorHolder(this);
      return true;
    case 1:
      value = delegate->gValForColorHolder(this);
      return true;
    case 2:
      value = delegate->bValForColorHolder(this);
      return true;
    default:
      return false;
  }
}

DataSourceMenuItems DSColorHolder::getDataSourcesMenuItems() const {
  DataSourceMenuItems items;
  for (const QString& name : componentNames()) {
    const auto child = elements().objectForKey(name);
    if (child)
      items.push_back(DataSourceMenuBuilder::flatItemForPath(name, child->pathArray(), true));
  }
  return items;
}
