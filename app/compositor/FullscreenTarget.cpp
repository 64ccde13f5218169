#include "app/compositor/FullscreenTarget.h"

#include <QVariant>

#include <algorithm>

QRect FullscreenTarget::unionOf(const QList<QRect>& screens, const QList<bool>& flags) {
  QRect target;
  const qsizetype count = std::min(screens.size(), flags.size());
  for (qsizetype i = 0; i < count; ++i)
    if (flags[i]) target = target.united(screens[i]);
  return target;
}

bool FullscreenTarget::flagsFromVariant(const QVariant& value, QList<bool>* flags) {
  if (value.typeId() != QMetaType::QVariantList) return false;
  QList<bool> read;
  for (const QVariant& entry : value.toList()) {
    if (entry.typeId() != QMetaType::Bool) return false;
    read << entry.toBool();
  }
  *flags = read;
  return true;
}
