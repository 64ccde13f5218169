#include "app/plugins/manager/PluginComponents.h"

bool PluginComponents::restorable(const QVariantMap& component) {
  const QVariant restore = component.value(QStringLiteral("restore"));
  bool ok = false;
  const double flag = restore.toDouble(&ok);
  return ok && restore.typeId() != QMetaType::QString && flag == 1.0;
}
