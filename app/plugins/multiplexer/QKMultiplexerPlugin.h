#pragma once

#include "app/plugins/manager/PluginClass.h"
#include "app/plugins/multiplexer/QKMultiplexerPluginItem.h"
#include "app/plugins/multiplexer/QKNSHardwareLearnTableView.h"
#include "app/plugins/multiplexer/QKNSHardwareLearnTableViewDelegate.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/datasource/AltUIItem.h"
#include "framework/datasource/DataSourceMenuItem.h"
#include "framework/datasource/KeyPath.h"
#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "framework/toolkit/QKPlugin.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

class DataSource;
class MultiplexerTableModel;
class QKButtonManager;
class QKSliderCell;
struct MultiplexerTicker;

// The "Multiplexer" plug-in: passes the value of one of its inputs (any data
// source of the tree, chosen per row) to ["Multiplexers", instance name],
// pulled on every tick. The current input changes by each input's learnt
// shortcut, by the previous, next and random buttons, by a click in the
// table's current column and by a snapshot.
//
// The value goes through a follower, an unshown slider cell bound to the
// current input's source; the tick reads only the follower.
//
// Threads: shortcuts switch on the thread that delivered them (MIDI, OSC,
// tick), so the switch reaches the output on the next tick; everything else
// runs on the main thread. The input list and the current index sit behind
// `inputsMutex_`, never held while calling out: a switch records the index
// and a generation under it, then rebinds the follower (safe from any
// thread) and checks the generation again, so concurrent switches settle on
// the last one. Table reloads are coalesced main-thread requests.
class QKMultiplexerPlugin : public QKPlugin,
                            public ActiveDeleteDelegate,
                            public QKNSHardwareLearnTableViewDelegate,
                            public AltUIItem,
                            public ButtonManagerClient {
  Q_OBJECT
 public:
  static const QString kTypeName;         // "Multiplexer"
  static const QString kGroupName;        // "Multiplexers"
  static const QString kDetectingText;    // "press note, key, or button"
  static const QString kSetShortcutText;  // "click to set shortcut"
  // The source column's value when the input's source is not in the menu.
  static constexpr int kNotFound = 2147483647;
  enum Column { SourceColumn = 0, ShortcutColumn = 1, CurrentColumn = 2, ColumnCount = 3 };

  QKMultiplexerPlugin(const QString& type, const QString& name, std::int32_t uniqueID);
  ~QKMultiplexerPlugin() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

  // --- Inputs ---
  void addInputWithSliderSyncArray(const std::optional<KeyPath>& path);
  void deleteInputsAtIndicies(const std::set<int>& indexes);
  // Ignored for an index outside the list. Any thread.
  void switchToIndex(std::uint32_t index);
  // Any thread: a shortcut fired.
  void inputArrayShortcutTriggered(QKMultiplexerPluginItem& item);
  // The tick's pull (data-source tick thread).
  void setDataSourceWithVal(DataSource* source);

  // --- Actions (main thread) ---
  void addInputButtonUsed();
  void deleteInputButtonUsed();
  void deleteKeyPressed() override;
  void prevInputButtonUsed();
  void nextInputButtonUsed();
  void randInputButtonUsed();
  // Draws for the random button: 0 .. 2^31 − 1 (a per-run seeded generator
  // unless replaced).
  void setRandomGenerator(std::function<long()> generator) { random_ = std::move(generator); }

  // --- Table ---
  int numberOfRows() const;
  QVariant objectValue(int row, int column) const;
  void setObjectValue(int row, int column, const QVariant& value);
  // Sets the row's source from the source menu's item at `index`; headings
  // and indexes outside the menu change nothing.
  void outputItemToldToUseDSAtIndex(int row, int index);
  const DataSourceMenuItems& sourceMenuItems() const { return sourceItems_; }
  void dataSourcesChangedNotification();

  // --- Hardware learn ---
  void refresh() override;
  void select() override;
  void deselect() override;
  bool selected() const override { return selected_.load(); }
  bool hardwareLearnMode() const override { return hardwareLearnMode_.load(); }
  void detectShortcutForItemAtIndex(int row) override;
  void hardwareLearnModeUpdated(bool mode);
  void setButtonManager(QKButtonManager* manager) override;
  QKButtonManager* buttonManager() const { return buttonManager_.load(); }

  // --- State ---
  std::vector<QKMultiplexerPluginItem::Ptr> inputs() const;
  std::uint32_t inputIndex() const;
  std::shared_ptr<QKSliderCell> follower() const { return follower_; }
  QKNSHardwareLearnTableView* tableView() const { return tableView_; }
  MultiplexerTableModel* tableModel() const { return model_; }
  SimpleLevelView* levelView() const { return levelView_; }
  QKButton* prevInputButton() const { return prevInputButton_; }
  QKButton* nextInputButton() const { return nextInputButton_; }
  QKButton* randInputButton() const { return randInputButton_; }
  QKButton* addInputButton() const { return addInputButton_; }
  QKButton* deleteInputButton() const { return deleteInputButton_; }

 private:
  using Link = CutLink<QKMultiplexerPlugin>;

  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void wireButtons();
  QKMultiplexerPluginItem::Ptr makeItem(const std::optional<KeyPath>& path);
  void followCurrentInput();
  QString shortcutText(const QKMultiplexerPluginItem& item) const;
  void requestReload();
  static void requestReload(const std::weak_ptr<Link>& link, const void* key);
  void reloadTable();
  void observeNotifications();
  void loadInputs(const QVariant& stored);
  void loadInputIndex(const QVariant& stored);

  std::shared_ptr<Link> link_;
  std::shared_ptr<MultiplexerTicker> ticker_;
  std::shared_ptr<QKSliderCell> follower_;
  std::function<long()> random_;

  mutable std::mutex inputsMutex_;  // guards the three below; never held while calling out
  std::vector<QKMultiplexerPluginItem::Ptr> inputs_;
  std::uint32_t inputIndex_ = 0;
  std::uint64_t switchGeneration_ = 0;

  std::atomic<QKButtonManager*> buttonManager_{nullptr};
  std::atomic<bool> hardwareLearnMode_{false};
  std::atomic<bool> selected_{false};
  DataSourceMenuItems sourceItems_;

  QPointer<QKNSHardwareLearnTableView> tableView_;
  MultiplexerTableModel* model_ = nullptr;
  QPointer<SimpleLevelView> levelView_;
  QPointer<QKButton> prevInputButton_, nextInputButton_, randInputButton_;
  QPointer<QKButton> addInputButton_, deleteInputButton_;
  const char reloadKey_ = 0;
  NotificationObservers observers_;
};
