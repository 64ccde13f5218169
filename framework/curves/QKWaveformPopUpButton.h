#pragma once

#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationObservers.h"

// The pop-up of the named curves (CurveFiles::names), relisted whenever a
// curve is saved anywhere ("QKWaveformMenuNeedsUpdateNotification").
// Choosing an item emits `activated` with it; its title is the curve's name.
// Main thread only.
class QKWaveformPopUpButton : public QKNSPopUpButton {
  Q_OBJECT
 public:
  explicit QKWaveformPopUpButton(QWidget* parent = nullptr);
  ~QKWaveformPopUpButton() override;

  // Starts following saves and lists the curves once.
  void awakeFromNib();
  void populateWaveformListFromDisk();
  QStringList itemTitles() const;

 private:
  // Last: removed first when the button goes.
  NotificationObservers waveformObservers_;
};
