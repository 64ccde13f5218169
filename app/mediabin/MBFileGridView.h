#pragma once

#include "app/mediabin/MBContextualMenuController.h"
#include "app/mediabin/MBGridGeometry.h"
#include "app/mediabin/MBGridImageCache.h"
#include "framework/datasource/DataSourceControllerClient.h"
#include "platform/foundation/NotificationObservers.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QVariantMap>
#include <QWidget>

#include <atomic>
#include <memory>

class MBLayerController;
class MBMediaBin;
class QKFile;
class QMenu;
class QMimeData;

// The media bin's file grid: the visible pages as tabs over grids of cells,
// each cell a file's poster with its name, its playing or queued mark, its
// selection and, on the current page, the listeners' outlines and labels.
// A click on a valid file triggers it through the layer queue; shift
// sweeps, keys, drags out and drops in edit the selection and the pages.
//
// Layout and hit-testing are `MBGridGeometry` (model space, y up); the view
// converts at paint and event boundaries. Main thread only: notifications
// from other threads reach it as a coalesced redraw (0.3 s).
class MBFileGridView : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  static const QString kDragType;     // "QKMBDragType"
  static const QString kSnapshotKey;  // "gridView"

  MBFileGridView(MBMediaBin* bin, MBLayerController* layers, QWidget* parent = nullptr);
  ~MBFileGridView() override;
  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }

  int numberOfColumns() const { return numberOfColumns_; }
  void setNumberOfColumns(int columns);
  bool autoClosePages() const { return autoClose_; }
  void setAutoClosePages(bool on) { autoClose_ = on; }
  void setShowShortcutNames(bool on) { showShortcutNames_ = on; }
  void setShowFileNames(bool on) { showFileNames_ = on; }

  // The pages as the geometry sees them (page controller read lock).
  std::vector<MBGridGeometry::Page> pages() const;
  MBGridGeometry::Hit getPageAndIndexForPoint(const QPointF& modelPoint) const;
  void recomputeSize();
  // Scrolls so that the cells of the current page that the listeners
  // address are in view.
  void transposeChanged();
  void startLowPriorityRedraw();
  int redrawsDone() const { return redraws_; }
  QImage imageForFile(const std::shared_ptr<QKFile>& file) const;
  std::vector<long> selectedIdsArray() const;
  // The grid that posted a notification (its object), if it is one; main
  // thread only.
  static MBFileGridView* gridForPoster(const void* object);
  bool isInProposedDragSelection(long fileId) const { return proposed_.contains(fileId); }

  // Drops onto the model point: files (local URLs), web addresses, or
  // grid files of `source` (copied when `copy`, else moved leaving blanks).
  bool performDrop(const QMimeData* mime, const QPointF& modelPoint, const QObject* source,
                   bool copy);
  QVariantMap dragContents() const { return dragContents_; }
  // Puts the selection's IDs under "uniqueIdArray"; false (and removed)
  // for an empty selection.
  bool prepareDragContents();

  void openConfirmDeletePanel();

  // The right-click menus; without them a right click only selects.
  void setMenuController(MBContextualMenuController* menus) { menus_ = menus; }
  // The cell of the last right click (-1: none); the menus' actions act there.
  long menuPageId() const { return menuPageId_; }
  int menuGridIndex() const { return menuGridIndex_; }
  // Pops up the menu the last right click asked for, at `globalPos`.
  void doRightMouseDown(const QPoint& globalPos);
  QMenu* menuForLastRightClick() const;

  // The right-click menus' actions.
  void triggerSelectedFiles();
  void deleteSelectedFiles();
  void loadFilesToPageWithSheet();
  void groupSelectionOnNewPage();
  // `inputName` may be "<all>".
  void recordVideoInputSelected(const QString& inputName);
  // Layer taps and live inputs alike; "<none>" makes an entry to be given
  // its tap later.
  void addTapMenuItemSelected(const QString& tapName);
  void closeGapAtClickLocation();
  void closeAllGapsOnPage();
  void addEmptyTextFileMenuItemSelected();
  void addURLFileMenuItemSelected();
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();

 protected:
  static std::vector<MBFileGridView*>& liveGrids();
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void passKeyToControlData(QKeyEvent* event);
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void post(const QString& reason, long pageId, long fileId = -1);
  void drawCell(class QPainter& painter, const MBGridGeometry::Block& block, long pageId,
                bool current, int index, const std::shared_ptr<QKFile>& entry, double height);
  // The text drawn in `rect` as QPainter::drawText would, from the strip
  // cache under `key`, over `background` (transparent for none).
  void drawStrip(class QPainter& painter, quintptr key, const QRectF& rect, const QRectF& textRect,
                 const QString& text, const QColor& background, const QColor& color);
  void startSelectedDrag();
  std::shared_ptr<QKFile> entryAt(long pageId, int index, int* entryCount = nullptr) const;
  void redrawSoon();

  struct Colors;
  const Colors* colors_ = nullptr;  // while painting
  MBMediaBin* const bin_;
  DataSourceController* dataSourceController_ = nullptr;
  QPointer<MBLayerController> layers_;
  int numberOfColumns_ = 8;
  bool autoClose_ = false;
  bool showShortcutNames_ = true;
  bool showFileNames_ = true;
  bool deleted_ = false;
  bool shiftOnClick_ = false, optionOnClick_ = false, cmdOnClick_ = false;
  long mouseDownPageId_ = -1, mouseDownFileId_ = -1;
  int mouseDownGridIndex_ = -1;
  QPointF mouseDownPoint_;
  QPointer<MBContextualMenuController> menus_;
  long menuPageId_ = -1;
  int menuGridIndex_ = -1;
  bool menuOnFile_ = false;
  QSet<long> proposed_;
  bool drawDestImage_ = false;
  long dragPageId_ = -1;
  int dragIndex_ = -1;
  QVariantMap dragContents_;
  bool redrawPending_ = false;
  const char triggeredKey_ = 0;
  int redraws_ = 0;
  MBGridImageCache images_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
