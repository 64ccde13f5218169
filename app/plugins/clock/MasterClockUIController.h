#pragma once

#include "app/plugins/clock/MasterClockView.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <utility>

class MasterClock;
class MasterClockMeasureDial;
class NudgeSlider;
class QFrame;
class QKButton;
class QKPaletteWindow;
class QKWindowContentView;
class QLineEdit;
class TitleBarOnlyCollapsedLevelView;

// The "Clock" palette: the tempo in beats and in measures per minute, the
// tap-beat, tap-measure, downbeat and restart buttons (learnable), the
// spring-back nudge, the measure dial with its title-bar level strip, and
// an options sheet with the beats per measure, the subdivisions and the
// MIDI clock switch.
//
// Main thread, but for what the clock calls from its own or the MIDI
// thread: setCurrentPosition (the dial and the strip store and ask for one
// repaint) and setDisplayBPM (stored; one coalesced main-thread update).
// Destroy it after the clock's thread has stopped.
class MasterClockUIController : public QObject, public MasterClockView, public QKWindowDelegate {
  Q_OBJECT
 public:
  static const QString kPaletteTitle;  // "Clock"
  static constexpr int kPaletteStackOrder = 7;
  static constexpr double kNudgeRange = 0.25;

  explicit MasterClockUIController(MasterClock* clock);
  ~MasterClockUIController() override;
  MasterClockUIController(const MasterClockUIController&) = delete;
  MasterClockUIController& operator=(const MasterClockUIController&) = delete;

  // Shows the clock's values, announces the palette to the Window menu and
  // observes the notifications that close the options sheet.
  void awakeFromNib();

  QKPaletteWindow* window() const { return window_.get(); }
  MasterClockMeasureDial* dial() const { return dial_; }
  TitleBarOnlyCollapsedLevelView* levelView() const { return levelView_; }
  NudgeSlider* nudgeSlider() const { return nudgeSlider_; }
  QLineEdit* beatsPerMinuteField() const { return beatsPerMinuteField_; }
  QLineEdit* measuresPerMinuteField() const { return measuresPerMinuteField_; }
  QLineEdit* beatsPerMeasureField() const { return beatsPerMeasureField_; }
  QLineEdit* subdivisionsField() const { return subdivisionsField_; }
  QKButton* tapBeatButton() const { return tapBeatButton_; }
  QKButton* tapMeasureButton() const { return tapMeasureButton_; }
  QKButton* downBeatButton() const { return downBeatButton_; }
  QKButton* restartClockButton() const { return restartClockButton_; }
  QKButton* listenForMIDIClockButton() const { return listenForMIDIClockButton_; }
  QKButton* optionsButton() const { return optionsButton_; }
  QFrame* optionsPanel() const { return optionsPanel_; }

  // Actions.
  void textFieldUsed(QLineEdit* field);
  void downbeatButtonUsed();
  void restartClockUsed();
  void tapBeatUsed();
  void tapMeasureUsed();
  void buttonUsed();
  void nudgeSliderUsed(NudgeSlider& slider);
  void openOptionsPanel();
  void closeOptionsPanel();
  bool optionsPanelOpen() const;

  // The number a field holds: exactly what was last set into it, or its
  // text as typed (0 when it is no number).
  static double fieldValue(const QLineEdit* field);
  static void setFieldValue(QLineEdit* field, double value);

  // MasterClockView
  bool clockWindowVisible() const override { return visible_.load(); }
  void setCurrentPosition(double position, long measure, long beat, long subdivision) override;
  void setDisplayBPM(float bpm) override;
  void enterBPM(double bpm) override;
  void setListenForMIDIClockButton(bool on) override;
  void putButtonSnapsInDict(QVariantMap& dict) const override;
  void loadButtonSnaps(const QVariantMap& dict) override;

  // QKWindowDelegate
  std::optional<int> paletteStackOrder() const override { return kPaletteStackOrder; }
  void QKWindowContentViewCollapsedStateChanged(QKWindowContentView* view) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPalette();
  void buildOptionsPanel();
  QKButton* makeButton(QWidget* parent, const QString& title, int type,
                       void (MasterClockUIController::*action)());
  QLineEdit* makeField(QWidget* parent, const QRect& frame);
  std::array<std::pair<QString, QKButton*>, 4> snapshotButtons() const;
  void showDisplayBPM();
  void showTempoOfDuration(double duration);
  // The whole number typed into `field`, brought within low … high and shown.
  long countIn(QLineEdit* field, long low, long high);

  MasterClock* clock_;
  std::unique_ptr<QKPaletteWindow> window_;
  QKWindowContentView* content_ = nullptr;
  MasterClockMeasureDial* dial_ = nullptr;
  TitleBarOnlyCollapsedLevelView* levelView_ = nullptr;
  NudgeSlider* nudgeSlider_ = nullptr;
  QLineEdit* beatsPerMinuteField_ = nullptr;
  QLineEdit* measuresPerMinuteField_ = nullptr;
  QLineEdit* beatsPerMeasureField_ = nullptr;
  QLineEdit* subdivisionsField_ = nullptr;
  QKButton* tapBeatButton_ = nullptr;
  QKButton* tapMeasureButton_ = nullptr;
  QKButton* downBeatButton_ = nullptr;
  QKButton* restartClockButton_ = nullptr;
  QKButton* listenForMIDIClockButton_ = nullptr;
  QKButton* optionsButton_ = nullptr;
  QKButton* optionsDoneButton_ = nullptr;
  QFrame* optionsPanel_ = nullptr;

  std::atomic<bool> visible_{false};
  std::atomic<float> displayBPM_{0.0f};
  // The buttons' target; the display update's liveness.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last: removed first.
  NotificationObservers observers_;
};
