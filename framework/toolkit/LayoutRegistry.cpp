#include "framework/toolkit/LayoutRegistry.h"

namespace {
LayoutRegistry* installed = nullptr;
}

LayoutRegistry* LayoutRegistry::shared() { return installed; }

void LayoutRegistry::setShared(LayoutRegistry* registry) { installed = registry; }

void LayoutRegistry::registerLayout(const QString& name, Builder builder) {
  builders_.insert(name, std::move(builder));
}

std::unique_ptr<QWidget> LayoutRegistry::build(const QString& name, QObject* owner) const {
  const auto found = builders_.constFind(name);
  if (found == builders_.constEnd() || !found.value()) return nullptr;
  return found.value()(owner);
}
