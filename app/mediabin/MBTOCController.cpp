#include "app/mediabin/MBTOCController.h"

#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBMediaBin.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBTOCTableView.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QColor>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QUrl>

const QString MBTOCController::kPageDragType = QStringLiteral("QKMBPageDragType");
const QString MBTOCController::kAddPageButtonKey = QStringLiteral("addPageButton");
const QString MBTOCController::kRemovePageButtonKey = QStringLiteral("removePageButton");

namespace {

const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");

// A button's action runs on the main thread while `alive` lives.
void wire(QKButton* button, const std::shared_ptr<int>& alive, std::function<void()> action) {
  if (!button) return;
  button->setTarget(alive);
  button->setTriggerOnMain(true);
  button->setAction([action = std::move(action)](QKButtonCell&) { action(); });
  button->awakeFromNib();
}

QStringList localPaths(const QMimeData* mime) {
  QStringList paths;
  if (!mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace

MBTOCController::MBTOCController(const Outlets& outlets, QObject* parent)
    : QAbstractTableModel(parent), outlets_(outlets), table_(outlets.tocTableView) {}

MBTOCController::~MBTOCController() { prepareToBeDeleted(); }

void MBTOCController::awakeFromNib() {
  draggedIndices_.clear();
  for (const QString& name : {QStringLiteral("QKFileLoaderFinishedLoad"),
                              QStringLiteral("QKMBPageListChangedNotification")})
    observers_.observe(name, nullptr, [this](const Notification&) {
      QPointer<MBTOCController> self(this);
      MainThread::run([self] {
        if (self) self->updateNowNotificationReceived();
      });
    });
  wire(outlets_.addPageButton, alive_, [this] { addPageButtonUsed(); });
  wire(outlets_.removePageButton, alive_, [this] { removePageButtonUsed(); });
  if (table_) {
    table_->setModel(this);
    table_->setColumnWidth(kIsViewedColumn, 22);
    table_->setDeleteDelegate(this);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
  }
}

void MBTOCController::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  alive_.reset();
  if (table_) table_->setDeleteDelegate(nullptr);
  for (QKButton* button : {outlets_.addPageButton, outlets_.removePageButton})
    if (button) button->prepareToBeDeleted();
}

QVariantMap MBTOCController::createSnapshot() const {
  QVariantMap snapshot;
  const auto put = [&](const QString& key, const QKButton* button) {
    if (!button) return;
    const QVariantMap part = button->createSnapshot();
    if (!part.isEmpty()) snapshot.insert(key, part);
  };
  put(kAddPageButtonKey, outlets_.addPageButton);
  put(kRemovePageButtonKey, outlets_.removePageButton);
  return snapshot;
}

void MBTOCController::loadSnapshot(const QVariantMap& snapshot) {
  const auto load = [&](const QString& key, QKButton* button) {
    const QVariant part = snapshot.value(key);
    if (button && part.typeId() == QMetaType::QVariantMap) button->loadSnapshot(part.toMap());
  };
  load(kAddPageButtonKey, outlets_.addPageButton);
  load(kRemovePageButtonKey, outlets_.removePageButton);
}

// --- Pages and settings -------------------------------------------------------------

long MBTOCController::pageIdAtRow(int row) const {
  QKPageController* pages = outlets_.mediaBin->pageController();
  RWTryLock::ReadGuard guard(pages->pagesLock());
  if (row < 0 || row >= int(pages->pages().size())) return -1;
  return pages->pages()[size_t(row)]->uniqueFileId();
}

std::set<int> MBTOCController::selectedRows() const {
  std::set<int> rows;
  if (!table_ || !table_->selectionModel()) return rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.insert(index.row());
  return rows;
}

void MBTOCController::post(const QString& reason, long pageId) {
  NotificationCenter::defaultCenter().post(
      kVisiblePagesChanged, this,
      {{QStringLiteral("BinId"), qint64(outlets_.mediaBin->uniqueID())},
       {QStringLiteral("PageId"), qint64(pageId)},
       {QStringLiteral("Reason"), reason}});
}

// The selected rows stay selected across a reload, as far as they still exist.
void MBTOCController::updateNowNotificationReceived() {
  const std::set<int> rows = selectedRows();
  beginResetModel();
  endResetModel();
  if (!table_ || !table_->selectionModel() || rows.empty()) return;
  const int count = rowCount();
  QItemSelection selection;
  for (int row : rows)
    if (row < count) selection.select(index(row, 0), index(row, kColumnCount - 1));
  const QSignalBlocker quiet(table_->selectionModel());
  table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void MBTOCController::reloadAll() {
  if (outlets_.pageTabsView) outlets_.pageTabsView->reloadPageButtons();
  updateNowNotificationReceived();
}

QVariant MBTOCController::objectValue(int column, int row) {
  QKPageController* pages = outlets_.mediaBin->pageController();
  RWTryLock::ReadGuard guard(pages->pagesLock());
  if (row < 0 || row >= int(pages->pages().size())) {
    Log::line(
        QStringLiteral("\t\terror:MBTOC attempted objectForTableColumn of non-existant page"));
    return {};
  }
  const QKPage& page = *pages->pages()[size_t(row)];
  if (column == kIsViewedColumn) {
    const bool visible = outlets_.mediaBin->pageVisible(page.uniqueFileId());
    outlets_.mediaBin->setPageVisible(page.uniqueFileId(), visible);  // stored from now on
    return visible;
  }
  if (column == kPageNameColumn) return page.name();
  return {};
}

void MBTOCController::setObjectValue(const QVariant& value, int column, int row) {
  if (!value.isValid() || value.isNull()) return;
  QKPageController* pages = outlets_.mediaBin->pageController();
  std::shared_ptr<QKPage> page;
  {
    RWTryLock::ReadGuard guard(pages->pagesLock());
    if (row < 0 || row >= int(pages->pages().size())) {
      Log::line(QStringLiteral("\t\terror:MBTOC attempted setObjectValue of non-existant page"));
      return;
    }
    page = pages->pages()[size_t(row)];
  }
  const long pageId = page->uniqueFileId();
  MBMediaBin* bin = outlets_.mediaBin;
  QString reason;
  if (column == kIsViewedColumn) {
    const bool visible = value.toBool();
    bin->setPageVisible(pageId, visible);
    if (visible) {
      bin->setPageExpanded(pageId, true);
      bin->setCurrentPageId(pageId);
    } else if (bin->currentPageId() == pageId && outlets_.triggerListenerController) {
      outlets_.triggerListenerController->prevPageButtonUsed();
    }
    reason = QStringLiteral("VisibleStateChanged");
  } else if (column == kPageNameColumn) {
    const QString name = value.toString();
    if (name.trimmed().isEmpty()) return;  // a page always keeps a name
    QString old;
    {
      RWTryLock::WriteGuard guard(pages->pagesLock());
      if (!guard.ownsLock()) return;
      old = page->exchangeName(name);
    }
    // Observers read the pages: announce once the lock is free.
    page->announceRename(old);
    reason = QStringLiteral("PageNameChanged");
  } else {
    return;
  }
  post(reason, pageId);
}

void MBTOCController::tableViewSelectionDidChange() {
  if (!table_ || !table_->selectionModel()) return;
  const QModelIndex current = table_->selectionModel()->currentIndex();
  int row = -1;
  if (current.isValid() && table_->selectionModel()->isRowSelected(current.row()))
    row = current.row();
  else if (!selectedRows().empty())
    row = *selectedRows().rbegin();
  const long pageId = pageIdAtRow(row);
  if (pageId < 0) return;
  MBMediaBin* bin = outlets_.mediaBin;
  if (!bin->pageVisible(pageId)) return;
  bin->setPageExpanded(pageId, true);
  bin->setCurrentPageId(pageId);
  post(QStringLiteral("ExpandedStateChanged"), pageId);
  if (outlets_.triggerListenerController) outlets_.triggerListenerController->setTranspose(0);
}

void MBTOCController::addPageButtonUsed() {
  QKPageController* pages = outlets_.mediaBin->pageController();
  if (!pages->addBlankPage()) return;
  long pageId = -1;
  {
    RWTryLock::ReadGuard guard(pages->pagesLock());
    if (pages->pages().empty()) return;
    pageId = pages->pages().back()->uniqueFileId();
    outlets_.mediaBin->setPageVisible(pageId, true);
  }
  post(QStringLiteral("ExpandedStateChanged"), pageId);
}

void MBTOCController::removePageButtonUsed() {
  const std::set<int> rows = selectedRows();
  if (rows.empty()) return;
  outlets_.mediaBin->pageController()->removePagesAtIndexes(rows);
}

void MBTOCController::openConfirmDeletePanel() {
  const std::set<int> rows = selectedRows();
  if (rows.empty()) return;
  // Deleting unasked would lose the performer's pages unseen.
  if (outlets_.mediaBin->willFullscreenHideAModal()) {
    Log::line(QStringLiteral("\t\terr: not deleting %1 pages while fullscreen hides the question")
                  .arg(rows.size()));
    return;
  }
  const int answer =
      Alert::show(QStringLiteral("Warning!"),
                  QStringLiteral("Are you sure you want to delete %1 pages?").arg(rows.size()),
                  {QStringLiteral("Yes"), QStringLiteral("Cancel")}, 1);
  if (answer != 0) return;
  const std::set<int> still = selectedRows();
  if (!still.empty()) outlets_.mediaBin->pageController()->removePagesAtIndexes(still);
}

// --- Drags ---------------------------------------------------------------------------

QMimeData* MBTOCController::writeRows(const std::set<int>& rows) {
  draggedIndices_ = rows;
  auto* mime = new QMimeData;
  mime->setData(kPageDragType, QByteArray());
  return mime;
}

Qt::DropAction MBTOCController::validateDrop(const QMimeData* mime, int& row,
                                             DropOperation& operation, bool altHeld) const {
  if (!mime) return Qt::IgnoreAction;
  if (mime->hasFormat(kPageDragType)) {
    if (row != -1 && operation == DropOperation::On) operation = DropOperation::Above;
    return altHeld ? Qt::CopyAction : Qt::MoveAction;
  }
  if (!localPaths(mime).isEmpty()) return Qt::CopyAction;
  if (mime->hasFormat(MBFileGridView::kDragType)) {
    const int count = rowCount();
    if (row < 0 || row >= count) row = count - 1;
    operation = DropOperation::On;
    return Qt::MoveAction;
  }
  return Qt::IgnoreAction;
}

bool MBTOCController::acceptDrop(const QMimeData* mime, const QObject* source, int row,
                                 DropOperation operation, bool copy) {
  bool done = false;
  if (mime) {
    if (mime->hasFormat(kPageDragType))
      done = dropPages(source, row, copy);
    else if (const QStringList paths = localPaths(mime); !paths.isEmpty())
      done = dropFiles(paths, row, operation);
    else if (mime->hasFormat(MBFileGridView::kDragType))
      done = dropGridCells(source, row, copy);
  }
  reloadAll();
  return done;
}

bool MBTOCController::dropPages(const QObject* source, int row, bool copy) {
  const auto* table = qobject_cast<const MBTOCTableView*>(source);
  const MBTOCController* from = table ? table->controller() : nullptr;
  if (!from || from->draggedIndices().empty()) return false;
  QKPageController* pages = outlets_.mediaBin->pageController();
  const int to = row < 0 ? rowCount() : row;
  if (copy)
    pages->copyPagesAtIndexes(from->draggedIndices(), to);
  else
    pages->movePagesAtIndexes(from->draggedIndices(), to);
  return true;
}

bool MBTOCController::dropFiles(const QStringList& paths, int row, DropOperation operation) {
  MBMediaBin* bin = outlets_.mediaBin;
  QKFileLoaderInterface* loader = bin->fileLoader();
  QKPageController* pages = bin->pageController();
  std::shared_ptr<QKPage> page;
  int index = 0;
  if (operation == DropOperation::On) {
    RWTryLock::ReadGuard guard(pages->pagesLock());
    if (row >= 0 && row < int(pages->pages().size())) {
      page = pages->pages()[size_t(row)];
      index = int(page->contents().size());
    }
  } else {
    page = QKPage::createPageWithCompositor(bin->compositor(), loader);
    if (!page) return false;
    page->exchangeName(QStringLiteral("Page %1").arg(rowCount() + 1));
    pages->insertPage(page, row < 0 ? rowCount() : row);
  }
  if (!page) {
    Log::line(QStringLiteral("\t\terr: dest page was nil"));
    return false;
  }
  if (!loader) return false;
  loader->addTheseFilesToQueue(paths, page.get(), index, false);
  return true;
}

bool MBTOCController::dropGridCells(const QObject* source, int row, bool copy) {
  const auto* grid = qobject_cast<const MBFileGridView*>(source);
  if (!grid) return false;
  QKPageController* pages = outlets_.mediaBin->pageController();
  std::vector<long> ids;
  std::shared_ptr<QKPage> page;
  int end = 0;
  {
    RWTryLock::ReadGuard guard(pages->pagesLock());
    if (row < 0 || row >= int(pages->pages().size())) return false;
    page = pages->pages()[size_t(row)];
    end = int(page->contents().size());
    for (const QVariant& id : grid->dragContents().value(QStringLiteral("uniqueIdArray")).toList())
      if (pages->lockedFileForUniqueId(id.toLongLong())) ids.push_back(id.toLongLong());
  }
  if (ids.empty()) return false;
  if (copy)
    pages->copyFilesWithIds(ids, page, end);
  else
    pages->moveFilesWithIds(ids, page, end, true);
  return true;
}

// --- Model -----------------------------------------------------------------------------

int MBTOCController::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || deleted_) return 0;
  QKPageController* pages = outlets_.mediaBin->pageController();
  RWTryLock::ReadGuard guard(pages->pagesLock());
  return int(pages->pages().size());
}

int MBTOCController::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant MBTOCController::data(const QModelIndex& index, int role) const {
  auto* self = const_cast<MBTOCController*>(this);
  if (index.column() == kIsViewedColumn && role == Qt::CheckStateRole)
    return self->objectValue(kIsViewedColumn, index.row()).toBool() ? Qt::Checked : Qt::Unchecked;
  if (index.column() == kPageNameColumn && (role == Qt::DisplayRole || role == Qt::EditRole))
    return self->objectValue(kPageNameColumn, index.row());
  if (index.column() == kPageNameColumn && role == Qt::ForegroundRole) return QColor(150, 150, 150);
  return {};
}

bool MBTOCController::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (index.column() == kIsViewedColumn && role == Qt::CheckStateRole)
    setObjectValue(value.toInt() == Qt::Checked, kIsViewedColumn, index.row());
  else if (index.column() == kPageNameColumn && role == Qt::EditRole)
    setObjectValue(value, kPageNameColumn, index.row());
  else
    return false;
  Q_EMIT dataChanged(index, index);
  return true;
}

Qt::ItemFlags MBTOCController::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (index.column() == kIsViewedColumn) flags |= Qt::ItemIsUserCheckable;
  if (index.column() == kPageNameColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant MBTOCController::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == kIsViewedColumn ? QStringLiteral("") : QStringLiteral("Pages");
}
