#pragma once

#include "framework/datasource/MasterClockClient.h"
#include "framework/toolkit/QKNSPopUpButton.h"

#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>

class MasterClock;
class QKButton;
class QTimer;
class QuantizeTriggerTarget;

// A pop-up that decides when a trigger happens: at once ("Immediately"),
// at the next boundary of a note value of the master clock, or when the
// manual trigger button is pressed ("Manually..."). The menu follows the
// clock's beats and subdivisions; the choice is kept in snapshots by its
// title. The media bin's picker derives from it and overrides the virtual
// operations.
//
// Threads: the menu, snapshots and the button on the main thread; `trigger`
// on the requester's thread; the bump on the clock thread (or the MIDI
// thread in slave mode). The values the bump reads are atomics, and the
// bump reaches the picker through a link that the picker cuts, waiting for
// a bump under way, before it goes.
class QKQuantizePicker : public QKNSPopUpButton, public MasterClockClient {
  Q_OBJECT
 public:
  static constexpr double kImmediately = -1.0;
  static constexpr double kManually = -2.0;
  static const QString kImmediatelyTitle;
  static const QString kManuallyTitle;

  // The note-value items for a clock's subdivisions and beats, between
  // "Immediately" and "Manually...".
  static QStringList menuTitles(int subdivisions, int beats);
  // The granularity a title sets (a fraction of a four-beat measure, or one
  // of the two negative modes); false when the title is none of them.
  static bool granularityForTitle(const QString& title, double* granularity);

  explicit QKQuantizePicker(QWidget* parent = nullptr);
  ~QKQuantizePicker() override;

  // Finds the clock, builds the menu and starts answering choices.
  virtual void awakeFromNib();
  void setMasterClock(MasterClockInterface* clock) override;
  MasterClock* masterClock() const { return masterClock_; }
  virtual void populateFromMasterClock();
  // The menu action.
  virtual void iAmMyOwnTarget();
  virtual void trigger();
  void manualTriggerButtonUsed();
  void quantizedBumpMethod();
  virtual double granularity() const { return granularity_.load(); }
  int selectedIndex() const { return selectedIndex_; }
  bool triggerArmed() const { return triggerOnNextBump_.load(); }

  virtual QVariantMap createSnapshot() const;
  virtual void loadSnapshot(const QVariantMap& snapshot);
  virtual void prepareToBeDeleted();

  void setManualTriggerButton(QKButton* button) { manualTriggerButton_ = button; }
  QKButton* manualTriggerButton() const { return manualTriggerButton_; }
  void setTheThingThatGetsBangedOnTrigger(QuantizeTriggerTarget* target) { target_.store(target); }
  // Told after every menu choice.
  void setDelegate(std::function<void(QKQuantizePicker*)> menuUsed) {
    menuUsed_ = std::move(menuUsed);
  }

 protected:
  void findMasterClockMethod();
  void sendTrigger();

  MasterClock* masterClock_ = nullptr;
  int selectedIndex_ = 0;
  QKButton* manualTriggerButton_ = nullptr;
  std::atomic<QuantizeTriggerTarget*> target_{nullptr};
  std::atomic<double> granularity_{kImmediately};
  std::atomic<bool> triggerOnNextBump_{false};
  // The position at the previous bump; negative before the first.
  std::atomic<double> lastTriggerTime_{-1.0};
  std::atomic<long> lastQuantizedBump_{0};

 private:
  struct BumpLink;
  // The title to select after a rebuild: the old one, or the note value
  // nearest the old granularity (ties to the longer).
  QString titleToKeep(const QString& oldTitle, double oldGranularity) const;
  bool hasItemWithTitle(const QString& title) const;

  std::shared_ptr<BumpLink> link_;
  QTimer* finder_ = nullptr;
  std::function<void(QKQuantizePicker*)> menuUsed_;
  bool deleted_ = false;
  NotificationObservers pickerObservers_;
};
