#pragma once

#include "framework/fx/FXObject.h"
#include "platform/foundation/NotificationObservers.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class QKSliderCell;
class QKSliderControl;
class QWidget;

// What every behaviour of a behaviour chain shares: the panel built from
// the layout named after it (with its parameter sliders as named children),
// the parameter sliders' snapshots under their keys, marking the chain for
// evaluation when a parameter changes, and, for the behaviours that keep
// state per slider, the one observation of slider deletions.
//
// A behaviour whose panel cannot be built logs the layout's line, keeps its
// defaults and stays bypassed (it has no on/off button).
//
// Threads: made, woken, edited and deleted on the main thread;
// `processPassedPtr` runs on whichever thread passes a slider (the tick, an
// input thread, the main thread) with that slider's state lock held.
// Parameter setters run where their slider outputs; the fields they write
// are atomics.
class Behavior : public FXObject {
 public:
  // The slider passed through a behaviour chain.
  static QKSliderCell* sliderFrom(void* passed) { return static_cast<QKSliderCell*>(passed); }

  Behavior(const QString& name, const QString& layoutName);
  ~Behavior() override;

  void awakeFromNib() override;
  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  // The panel; null when its layout could not be built.
  QWidget* myPanel() const override { return panel_.get(); }
  QString layoutName() const { return layoutName_; }

  // The chain forwards these to behaviours with a curve view.
  virtual void clearTrackingRects() {}
  virtual void resetTrackingRects() {}

 protected:
  // The panel is built: find the parameter sliders, name and preset them.
  virtual void wakeUp() {}
  // The layout failed to load: the line logged.
  virtual QString layoutErrorLine() const;
  // The panel's slider of that name (its outlet); null without one.
  QKSliderControl* panelSlider(const QString& outlet) const;
  // A parameter slider saved under `key`; `apply` reads the slider into the
  // parameter whenever the slider outputs and after a snapshot restores it.
  void addParameter(QKSliderControl* slider, const QString& key,
                    std::function<void(QKSliderCell&)> apply);
  // The panel slider `outlet`, labelled `label` and added as the parameter
  // saved under `key`; null when the panel has none.
  QKSliderControl* parameterSlider(const QString& outlet, const QString& label, const QString& key,
                                   std::function<void(QKSliderCell&)> apply);
  // The chain runs once on the next tick even when no input changed.
  void markNeedsEvaluation();
  // Calls `sliderDeleted` with the ID of every slider deleted from now on.
  void observeSliderDeletion();
  virtual void sliderDeleted(long sliderID) { (void)sliderID; }

 private:
  struct Parameter {
    QKSliderControl* slider;
    QString key;
    std::function<void(QKSliderCell&)> apply;
  };
  struct PanelDeleter {
    void operator()(QWidget* panel) const;
  };
  void retire();

  QString layoutName_;
  std::unique_ptr<QWidget, PanelDeleter> panel_;
  std::vector<Parameter> parameters_;
  NotificationObservers observers_;
};
