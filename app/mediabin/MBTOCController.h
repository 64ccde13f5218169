#pragma once

#include "framework/toolkit/ActiveDeleteDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QVariantMap>

#include <memory>
#include <set>

class MBMediaBin;
class MBPageTabsView;
class MBTOCTableView;
class MBTriggerListenersController;
class QKButton;
class QMimeData;

// The media bin's table of contents: one row per page, hidden pages too,
// in page order, with a check box for the page's visibility and its
// editable name. Selecting a visible page's row makes it current; the add
// and remove buttons (learnable) add a blank page and remove the selected
// pages; the Delete key asks first. Rows dragged within or between tables
// move pages (copies with Alt); desktop files dropped on a row load into
// that page, between rows into a new page there; grid cells dropped on a
// row move to the end of that page (copies with Alt).
//
// Main thread only; the buttons act on the main thread however they are
// triggered. Row counts, cell values and page lookups hold the page
// controller's read lock; a rename holds its write lock and is announced
// once the lock is free.
class MBTOCController : public QAbstractTableModel, public ActiveDeleteDelegate {
  Q_OBJECT
 public:
  static const QString kPageDragType;         // "QKMBPageDragType"
  static const QString kAddPageButtonKey;     // "addPageButton"
  static const QString kRemovePageButtonKey;  // "removePageButton"
  enum Column { kIsViewedColumn = 0, kPageNameColumn = 1, kColumnCount = 2 };
  enum class DropOperation { On, Above };

  struct Outlets {
    MBMediaBin* mediaBin = nullptr;
    MBPageTabsView* pageTabsView = nullptr;
    MBTriggerListenersController* triggerListenerController = nullptr;
    MBTOCTableView* tocTableView = nullptr;
    QKButton* addPageButton = nullptr;
    QKButton* removePageButton = nullptr;
  };

  explicit MBTOCController(const Outlets& outlets, QObject* parent = nullptr);
  ~MBTOCController() override;

  void awakeFromNib();
  void prepareToBeDeleted();
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  // --- Actions ------------------------------------------------------------------
  void addPageButtonUsed();
  void removePageButtonUsed();
  void deleteKeyPressed() override { openConfirmDeletePanel(); }
  void openConfirmDeletePanel();
  void tableViewSelectionDidChange();
  void updateNowNotificationReceived();

  // --- Cells (null for a row past the end or another column) ---------------------
  QVariant objectValue(int column, int row);
  void setObjectValue(const QVariant& value, int column, int row);

  // --- Drags ----------------------------------------------------------------------
  // A page drag of these rows starts; the mime data it carries.
  QMimeData* writeRows(const std::set<int>& rows);
  const std::set<int>& draggedIndices() const { return draggedIndices_; }
  // May retarget the drop; Qt::IgnoreAction refuses it.
  Qt::DropAction validateDrop(const QMimeData* mime, int& row, DropOperation& operation,
                              bool altHeld) const;
  // `source` is the drag's source widget (a table of contents or a grid;
  // null from another process), `copy` whether the source offered a copy
  // only. True when something was queued, moved or copied; the tabs and
  // the table reload in every case.
  bool acceptDrop(const QMimeData* mime, const QObject* source, int row, DropOperation operation,
                  bool copy);

  // --- Model ----------------------------------------------------------------------
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  long pageIdAtRow(int row) const;
  std::set<int> selectedRows() const;
  void post(const QString& reason, long pageId);
  void reloadAll();
  bool dropPages(const QObject* source, int row, bool copy);
  bool dropFiles(const QStringList& paths, int row, DropOperation operation);
  bool dropGridCells(const QObject* source, int row, bool copy);

  Outlets outlets_;
  QPointer<MBTOCTableView> table_;
  std::set<int> draggedIndices_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  bool deleted_ = false;
  NotificationObservers observers_;
};
