#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/ObserverSwitch.h"

#include "framework/controls/QKButton.h"
#include <QLabel>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

struct MIDIDisplayInbox;

// The "MIDIDisplay" plug-in: while on, the last MIDI note, controller or
// pitch-wheel message that hardware learn would see, in three fields.
//
// The detections arrive on the MIDI input thread: the latest one is kept
// under the inbox's lock and one coalesced main-thread refresh writes the
// fields, so a burst never floods the event loop. "detectState" is saved and
// restored (the switch and the observation together).
class MIDIDisplay : public QKPlugin {
  Q_OBJECT
 public:
  static const QString kTypeName;  // "MIDIDisplay"

  MIDIDisplay(const QString& type, const QString& name, std::int32_t uniqueID);
  ~MIDIDisplay() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // 1 switches on, anything else off; the same state again does nothing.
  void toggleOnState(int state);
  int detectState() const { return detectState_.load(); }
  QString channelText() const;
  QString typeText() const;
  QString valueText() const;
  QKButton* onOffButton() const { return onOffButton_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void midiDetectReceivedNotification(const struct Notification& notification);
  void refresh();

  std::atomic<int> detectState_{0};
  std::shared_ptr<MIDIDisplayInbox> inbox_;
  QPointer<QLabel> channelTextField_;
  QPointer<QLabel> typeTextField_;
  QPointer<QLabel> valueTextField_;
  QPointer<QKButton> onOffButton_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last: switched off before the rest goes.
  ObserverSwitch detect_;
};
