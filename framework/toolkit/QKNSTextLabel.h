#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QLabel>

// A text label in the label colour dictionary's colour and font (a missing
// or mistyped entry keeps the label's own); follows
// "QKRedrawLabelsNotification". Main thread only.
class QKNSTextLabel : public QLabel {
  Q_OBJECT
 public:
  static const QString kRedrawNotification;  // "QKRedrawLabelsNotification"

  explicit QKNSTextLabel(const QString& text = {}, QWidget* parent = nullptr);
  void redrawNotification();

 private:
  // Last: removed first when the label goes.
  NotificationObservers observers_;
};
