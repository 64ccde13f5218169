#include "framework/datasource/DSPointHolder.h"

std::shared_ptr<DSPointHolder> DSPointHolder::createWithName(const QString& name) {
  return std::shared_ptr<DSPointHolder>(new DSPointHolder(name));
}

DSPointHolder::DSPointHolder(const QString& name)
    : DSComponentHolder(name, DSType::PointHolder, {QStringLiteral("X"), QStringLiteral("Y")}) {}

void DSPointHolder::setDelegate(std::weak_ptr<DSPointHolderDelegate> delegate) {
  storeDelegate(std::move(delegate));
}

bool DSPointHolder::pullComponent(int index, float& value) {
  const auto delegate = std::static_pointer_cast<DSPointHolderDelegate>(lockDelegate());
  if (!delegate) return false;
  if (index == 0)
    value = delegate->xValForPointHolder(this);
  else if (index == 1)
    value = delegate->yValForPointHolder(this);
  else
    return false;
  return true;
}
