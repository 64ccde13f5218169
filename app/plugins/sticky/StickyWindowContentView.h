#pragma once

#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>

class Sticky;

// The content view of a sticky note's window: recolours the note after
// every lock change, expand and collapse and theme change, and takes the
// keyboard focus from the note whenever the lock changes.
class StickyWindowContentView : public QKWindowContentView {
  Q_OBJECT
 public:
  static const QString kRedrawLabelsNotification;  // "QKRedrawLabelsNotification"

  explicit StickyWindowContentView(Sticky* sticky, QWidget* parent = nullptr);
  ~StickyWindowContentView() override;

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void windowLockedNotification(const Notification& notification) override;
  // Locked: the window's fill behind the theme's "Sticky" text colour (the
  // text view's default colour without one); unlocked: black on white.
  void setColorsFromWindowProps();
  Sticky* sticky() const { return sticky_; }

 private:
  QPointer<Sticky> sticky_;
  // Last: removed first when the view goes.
  NotificationObservers labelObservers_;
};
