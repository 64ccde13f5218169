#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/notestovalue/QKNTVShortcut.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/KeyPath.h"
#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/foundation/ObserverSwitch.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

class DSFloatInfreqRepeat;
class NotesToValueTableModel;
struct Notification;

// The "NotesToValue" plug-in: a list of learnt shortcuts (MIDI notes, keys,
// OSC addresses, buttons), each standing for one value between 0 and 1. A
// shortcut that fires publishes its value as ["NotesToValue", instance
// name], repeats included. With automatic spacing the values are spread
// evenly over the list; without it each shortcut keeps its own, editable in
// the table.
//
// Shortcuts fire on the thread that sets their source; detections arrive on
// the input threads and are taken to the main thread, where the list is
// edited. The list itself is guarded for the firing threads.
class NotesToValue : public QKPlugin, public ActiveDeleteDelegate {
  Q_OBJECT
 public:
  static const QString kTypeName;           // "NotesToValue"
  static const QString kGroupName;          // "NotesToValue"
  static const QString kIdleInstructions;   // " "
  static const QString kWaitingForKeys;     // "waiting for keys or notes"
  static const QString kPressStartingNote;  // "press starting note or type:"
  static const QString kPressLastNote;      // "press last note or type:"
  static const QString kNoShortcuts;        // the two lines shown when a range setup is cleared

  NotesToValue(const QString& type, const QString& name, std::int32_t uniqueID);
  ~NotesToValue() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Actions ---
  void continuousDetectButtonUsed(int value);
  void autoMidiRangeSetupButtonUsed();
  void clearAllShortcutsButtonUsed() { clearAllShortcuts(); }
  void midiRangeTextFieldUsed();
  void autoSpaceButtonUsed(bool on);
  void deleteKeyPressed() override;

  // Any thread: a shortcut fired.
  void shortcutUsed(QKNTVShortcut& sender);

  // --- Learning (main thread) ---
  void doContinuousDetect(bool on);
  void doAutoMidiSetup(bool on);
  void doMidiRangeSetup(int note, int channel);
  void addListenerWithSyncArray(const std::optional<KeyPath>& path);
  void removeItemsAtIndexes(const std::set<int>& indexes);
  void clearAllShortcuts();
  // A detected source, on the main thread.
  void continuousDetected(const KeyPath& path);

  // --- Table ---
  int shortcutCount() const;
  QVariant objectValue(int row, int column) const;
  bool setObjectValue(int row, int column, const QVariant& value);

  // --- State ---
  float lastVal() const { return lastVal_.load(); }
  bool autoSpace() const { return autoSpace_.load(); }
  bool continuousDetectSetup() const { return continuousDetectSetup_.load(); }
  int autoMidiSetupStage() const { return autoMidiSetupStage_; }
  QString instructions() const { return instructions_; }
  bool rangeFieldsShown() const { return rangeFieldsShown_; }
  std::vector<QKNTVShortcut::Ptr> shortcuts() const;
  std::shared_ptr<DSFloatInfreqRepeat> dataSource() const { return dataSource_; }

  ActiveDeleteTableView* tableView() const { return tableView_; }
  NotesToValueTableModel* tableModel() const { return model_; }
  QKButton* continuousSetupButton() const { return continuousButton_; }
  QKButton* midiRangeSetupButton() const { return rangeButton_; }
  QKButton* clearAllShortcutsButton() const { return clearButton_; }
  QLineEdit* midiRangeTextField() const { return rangeNoteField_; }
  QLineEdit* midiRangeChannelTextField() const { return rangeChannelField_; }
  QCheckBox* autoSpaceCheckBox() const { return autoSpaceBox_; }
  SimpleLevelView* levelView() const { return levelView_; }

 private:
  using Link = CutLink<NotesToValue>;

  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void wireControls();
  QKNTVShortcut::Ptr makeShortcut();
  void pushLastVal(float value);
  void setInstructions(const QString& text);
  void setRangeFieldsShown(bool shown);
  void reloadTable();
  void scrollToLastRow();
  void onMain(std::function<void(NotesToValue&)> work) const;
  void detectContinuous(const Notification& n, const QString& name);
  void detectRange(const Notification& n);
  void stopDetecting();
  float spacedValue(int row, int count) const;

  std::shared_ptr<Link> link_;
  std::shared_ptr<DSFloatInfreqRepeat> dataSource_;
  mutable std::mutex itemsMutex_;  // guards items_; never held while a shortcut is called
  std::vector<QKNTVShortcut::Ptr> items_;
  std::atomic<float> lastVal_{0.0f};
  std::atomic<bool> autoSpace_{true};
  std::atomic<bool> continuousDetectSetup_{false};
  int autoMidiSetupStage_ = 0;
  int firstCellNote_ = 0;
  QString instructions_ = kIdleInstructions;
  bool rangeFieldsShown_ = false;

  QPointer<ActiveDeleteTableView> tableView_;
  NotesToValueTableModel* model_ = nullptr;
  QPointer<QKButton> continuousButton_;
  QPointer<QKButton> rangeButton_;
  QPointer<QKButton> clearButton_;
  QPointer<QLabel> rangeLabel_;
  QPointer<QLineEdit> rangeNoteField_;
  QPointer<QLineEdit> rangeChannelField_;
  QPointer<QLabel> instructionsField_;
  QPointer<QCheckBox> autoSpaceBox_;
  QPointer<SimpleLevelView> levelView_;

  const char rangeObserver_ = 0;
  ObserverSwitch continuousMIDI_;
  ObserverSwitch continuousKey_;
  ObserverSwitch continuousOSC_;
  ObserverSwitch continuousButtonDetect_;
  ObserverSwitch rangeMIDI_;
  NotificationObservers observers_;
};
