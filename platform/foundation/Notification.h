#pragma once

#include <QString>
#include <QVariantMap>

// One posted notification: its name, the posting object (identity, may be
// null) and the extra values.
struct Notification {
  QString name;
  void* object = nullptr;
  QVariantMap userInfo;
};
