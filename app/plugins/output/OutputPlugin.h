#pragma once

#include "app/plugins/output/OutputItem.h"
#include "framework/datasource/DataSourceMenuItem.h"
#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QStringList>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ActiveDeleteTableView;
class OutputTableModel;
class QKButton;
class QKNSPopUpButton;
class QWidget;

// What the MIDI and OSC outputs share: a pop-up choosing where the values
// go, a table of rows (the first column the row's data source, chosen from
// the data-source menu), a solo switch that lets only the selected row
// through, a button adding a row and the Delete key removing the selected
// one. Rows are followed by key path, never by a menu's text.
//
// Main thread only, but `soloLets`, read on the threads that push values.
class OutputPlugin : public QKPlugin, public ActiveDeleteDelegate {
  Q_OBJECT
 public:
  static const QString kNone;  // "<none>"

  ~OutputPlugin() override;
  void awakeFromNib() override;
  void prepareToBeDeleted() override;

  // --- Rows ---
  const std::vector<std::shared_ptr<OutputItem>>& items() const { return items_; }
  virtual void createItem() = 0;
  void deleteKeyPressed() override;
  void deleteAllItems();
  // Binds the row to the source of the data-source list's item at `index`;
  // -1 and items without a source are ignored.
  void outputItemToldToUseDSAtIndex(int row, int index);
  // The data-source list (headings included) the first column chooses from.
  const DataSourceMenuItems& dataSourceItems() const { return sourceItems_; }
  // The list's index of the row's source, -1 when it is not listed.
  int dataSourceIndexOfRow(int row) const;
  void dataSourcesChangedNotification();

  // --- Selection and solo ---
  void tableViewSelectionDidChange();
  void selectRow(int row);
  const OutputItem* selectedItem() const { return selectedItem_.load(); }
  void soloToggleUsed(int value);
  bool soloFlag() const { return soloFlag_.load(); }
  // False while solo is on for every row but the selected one.
  bool soloLets(const OutputItem* item) const {
    return !soloFlag_.load(std::memory_order_relaxed) ||
           selectedItem_.load(std::memory_order_relaxed) == item;
  }

  // --- Destination pop-up ---
  QKNSPopUpButton* destinationButton() const { return destinationButton_; }
  // Fills the pop-up with "<none>" and the names, selects `chosen` (or
  // "<none>") and answers the title now selected.
  QString fillDestinations(const QStringList& names, const QString& chosen);
  QKButton* soloToggle() const { return soloToggle_; }
  ActiveDeleteTableView* tableView() const { return table_; }
  void reloadTable();

  // --- The table's other columns ---
  virtual QStringList columnTitles() const = 0;  // after the source column
  virtual QVariant cellValue(int row, int column) const = 0;
  // False: the edit is refused and nothing changes.
  virtual bool setCellValue(int row, int column, const QVariant& value) = 0;

 protected:
  OutputPlugin(const QString& type, const QString& name, std::int32_t uniqueID);
  static std::unique_ptr<QWidget> buildOutputWindow(QObject* owner, const QRectF& frame);
  // Rows in, and out of, the table and the controller's externally
  // synchronised objects; the row's changes reload the table.
  void appendItem(const std::shared_ptr<OutputItem>& item);
  // Appends a row made by `make` for every dictionary of a snapshot's row
  // list; anything else is skipped and logged.
  void loadRows(const QVariant& rows,
                const std::function<std::shared_ptr<OutputItem>(const QVariantMap&)>& make);
  // The pop-up's choice (its selected title, "<none>" for none).
  virtual void destinationChosen(const QString& title) = 0;
  // A whole number typed or stored, or nothing for text or a flag.
  static std::optional<long long> wholeNumber(const QVariant& value);
  std::shared_ptr<int> liveness() const { return alive_; }
  NotificationObservers& observers() { return observers_; }

 private:
  void removeItemAt(std::size_t index);
  void requestTableReload();

  std::vector<std::shared_ptr<OutputItem>> items_;
  DataSourceMenuItems sourceItems_;
  std::atomic<const OutputItem*> selectedItem_{nullptr};
  std::atomic<bool> soloFlag_{false};
  QKNSPopUpButton* destinationButton_ = nullptr;
  ActiveDeleteTableView* table_ = nullptr;
  std::unique_ptr<OutputTableModel> model_;
  QKButton* soloToggle_ = nullptr;
  QKButton* newOutputButton_ = nullptr;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
