#include "app/mediabin/MBFileGridView.h"

#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MBLayerQueueHost.h"
#include "app/mediabin/MBMediaBin.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/media/QKURLFile.h"
#include "framework/toolkit/ControllerFinder.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/VariantNumbers.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QRegion>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

const QString MBFileGridView::kDragType = QStringLiteral("QKMBDragType");
const QString MBFileGridView::kSnapshotKey = QStringLiteral("gridView");

namespace G = MBGridGeometry;

namespace {

const QString kVisiblePagesChanged = QStringLiteral("QKMBVisiblePagesChangedNotification");
const QString kColumnsKey = QStringLiteral("numberOfColumns");
const QString kShortcutNamesKey = QStringLiteral("showShortcutNamesButton");
const QString kFileNamesKey = QStringLiteral("showFileNamesButton");

}  // namespace

// The "MediaBin" colours, read at every draw, each falling back to the
// shipped theme's.
struct MBFileGridView::Colors {
  Colors() {
    const QVariantMap dict = ThemeDict::map(ThemeDict::pluginColors(), QStringLiteral("MediaBin"));
    auto color = [&](const char* key, QColor fallback) {
      return ThemeDict::color(dict, QString::fromLatin1(key), fallback);
    };
    pageBg = color("pageBGColor", QColor::fromRgbF(0.1043f, 0.1043f, 0.1043f));
    tabBorder = color("pageLineStrokeColor", QColor::fromRgbF(0.1476f, 0.1476f, 0.1476f));
    tab = color("pageTitleBGColor", Qt::black);
    playing = color("cellPlayingColor", QColor::fromRgbF(0.0682f, 0.3534f, 0.9717f, 0.75f));
    selected = color("cellSelectColor", QColor::fromRgbF(1, 1, 1, 0.7f));
    queued = color("cellQueuedColor", QColor::fromRgbF(0.9897f, 0.8771f, 0.1864f, 0.75f));
    titleBg = color("cellTitleBG", QColor::fromRgbF(0, 0, 0, 0.75f));
    pageTitle = color("pageTitleColor", QColor::fromRgbF(0.4f, 0.4f, 0.4f));
    currentPageTitle = color("selPageTitleColor", QColor::fromRgbF(0.3837f, 0.9769f, 0.1907f));
    cellTitle = color("cellTitleColor", QColor::fromRgbF(0.7461f, 0.7461f, 0.7461f, 0.75f));
  }
  QColor pageBg, tabBorder, tab, playing, selected, queued, titleBg, pageTitle, currentPageTitle,
      cellTitle;
};

MBFileGridView::MBFileGridView(MBMediaBin* bin, MBLayerController* layers, QWidget* parent)
    : QWidget(parent), bin_(bin), layers_(layers) {
  liveGrids().push_back(this);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  findDataSourceController(this);
  const std::weak_ptr<int> alive = alive_;
  auto redraw = [this, alive](const Notification&) {
    MainThread::run([this, alive] {
      if (alive.lock()) redrawSoon();
    });
  };
  for (const char* name : {"QKPCFinishedDeletingFilesNotification", "QKFileLoaderFinished",
                           "QKSGStartRecordingNotification", "QKSGStopRecordingNotification",
                           "QKMBPageListChangedNotification", "QKLayerTriggerFileNotification",
                           "QKLayerSourceChangeNotification", "QKTapReloadSTapListNotification",
                           "QKMBReloadAllNotification"})
    observers_.observe(QString::fromLatin1(name), nullptr, redraw);
  observers_.observe(kVisiblePagesChanged, nullptr, [this, alive](const Notification& n) {
    const bool mine = n.object == this;
    const QVariantMap info = n.userInfo;
    if (info.value(QStringLiteral("Reason")).toString() == QLatin1String("FileTriggered")) {
      // Triggers come in bursts from MIDI and OSC threads: one redraw serves them.
      MainThread::coalesce(&triggeredKey_, [this, alive] {
        if (alive.lock()) startLowPriorityRedraw();
      });
      return;
    }
    MainThread::run([this, alive, mine, info] {
      if (!alive.lock()) return;
      const QString reason = info.value(QStringLiteral("Reason")).toString();
      if (!mine && reason == QLatin1String("SelectedFilesChanged")) bin_->deselectAll();
      if (!mine && reason == QLatin1String("ExpandedStateChanged")) recomputeSize();
      if (reason == QLatin1String("MovedFiles")) bin_->deselectAll();
      startLowPriorityRedraw();
    });
  });
  observers_.observe(QStringLiteral("QKRedrawPluginsNotification"), nullptr,
                     [this, alive](const Notification&) {
                       MainThread::run([this, alive] {
                         if (alive.lock()) update();
                       });
                     });
}

MBFileGridView::~MBFileGridView() {
  std::erase(liveGrids(), this);
  prepareToBeDeleted();
}

std::vector<MBFileGridView*>& MBFileGridView::liveGrids() {
  static std::vector<MBFileGridView*> grids;
  return grids;
}

MBFileGridView* MBFileGridView::gridForPoster(const void* object) {
  for (MBFileGridView* grid : liveGrids())
    if (static_cast<const void*>(grid) == object) return grid;
  return nullptr;
}

void MBFileGridView::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  MainThread::cancel(this);
  alive_.reset();
}

void MBFileGridView::setNumberOfColumns(int columns) {
  numberOfColumns_ = G::clampColumns(columns);
  images_.clear();
  recomputeSize();
  update();
}

void MBFileGridView::transposeChanged() {
  QScrollArea* area = nullptr;
  for (QWidget* up = parentWidget(); up && !area; up = up->parentWidget())
    area = qobject_cast<QScrollArea*>(up);
  if (!area) return;
  const int listeners = std::max(1, bin_->listenerCount());
  const int first = bin_->transpose();
  for (const G::Block& block :
       G::layout(pages(), width(), height(), numberOfColumns_, bin_->listenerCount())) {
    if (block.pageId != bin_->currentPageId() || !block.showsGrid) continue;
    const QRectF cells =
        G::toWidget(G::cellRect(block, first, width(), numberOfColumns_), height())
            .united(G::toWidget(
                G::cellRect(block, first + listeners - 1, width(), numberOfColumns_), height()));
    area->ensureVisible(int(cells.center().x()), int(cells.center().y()),
                        int(cells.width() / 2) + 2, int(cells.height() / 2) + 2);
    return;
  }
}

void MBFileGridView::redrawSoon() {
  recomputeSize();
  startLowPriorityRedraw();
}

void MBFileGridView::startLowPriorityRedraw() {
  if (deleted_ || redrawPending_) return;
  redrawPending_ = true;
  const std::weak_ptr<int> alive = alive_;
  MainThread::runLater(this, 0.3, [this, alive] {
    if (!alive.lock()) return;
    redrawPending_ = false;
    ++redraws_;
    update();
  });
}

std::vector<G::Page> MBFileGridView::pages() const {
  std::vector<G::Page> list;
  QKPageController* controller = bin_->pageController();
  const long current = bin_->currentPageId();
  const std::vector<long> ids = autoClose_ ? std::vector<long>{current} : bin_->visiblePageIds();
  RWTryLock::ReadGuard guard(controller->pagesLock());
  for (long id : ids) {
    const auto page = controller->lockedPageForUniqueId(id);
    G::Page p;
    p.id = id;
    p.exists = page != nullptr;
    p.expanded = bin_->pageExpanded(id);
    p.current = id == current;
    p.entryCount = page ? static_cast<int>(page->contents().size()) : 0;
    list.push_back(p);
  }
  return list;
}

G::Hit MBFileGridView::getPageAndIndexForPoint(const QPointF& point) const {
  if (autoClose_)
    return G::autoCloseHitTest(point, bin_->currentPageId(), width(), height(), numberOfColumns_);
  return G::hitTest(point, pages(), width(), height(), numberOfColumns_, bin_->listenerCount());
}

void MBFileGridView::recomputeSize() {
  auto* scroll =
      parentWidget() ? qobject_cast<QScrollArea*>(parentWidget()->parentWidget()) : nullptr;
  const int visibleHeight = scroll ? scroll->viewport()->height() : 0;
  int content = 0;
  if (autoClose_) {
    content = 0;
  } else {
    content = static_cast<int>(
        std::ceil(G::contentHeight(pages(), width(), numberOfColumns_, bin_->listenerCount())));
  }
  const int wanted = std::max(content, visibleHeight);
  if (wanted > 0 && wanted != height()) setMinimumHeight(wanted), resize(width(), wanted);
}

std::shared_ptr<QKFile> MBFileGridView::entryAt(long pageId, int index, int* entryCount) const {
  QKPageController* controller = bin_->pageController();
  RWTryLock::ReadGuard guard(controller->pagesLock());
  const auto page = controller->lockedPageForUniqueId(pageId);
  if (entryCount) *entryCount = page ? static_cast<int>(page->contents().size()) : -1;
  if (!page || index < 0 || index >= static_cast<int>(page->contents().size())) return nullptr;
  return page->contents()[index];
}

QImage MBFileGridView::imageForFile(const std::shared_ptr<QKFile>& file) const {
  if (!file) return {};
  switch (file->qkFileType()) {
    case QKFile::kTextKind:
      return bin_->textFileIconImage();
    case QKFile::kWebKind:
      return file->posterImage().isNull() ? bin_->urlFileIconImage() : file->posterImage();
    case QKFile::kMovieKind:
    case QKFile::kCompositionKind:
    case QKFile::kImageKind:
      return file->validFile() ? file->posterImage() : bin_->missingFileImage();
    case QKFile::kTapKind:
      return file->posterImage().isNull() ? bin_->missingFileImage() : file->posterImage();
    default:
      return {};
  }
}

// --- Drawing
// ----------------------------------------------------------------------------------------

void MBFileGridView::paintEvent(QPaintEvent* event) {
  const Colors colors;
  colors_ = &colors;
  QPainter painter(this);
  const double W = width(), H = height();
  const QRect exposed = event->rect();
  painter.setClipRect(exposed);
  const QSizeF cell = G::cellSize(W, numberOfColumns_);
  const long current = bin_->currentPageId();
  QFont small = font();
  small.setPixelSize(9);
  painter.setFont(small);
  auto drawPage = [&](const G::Block& block, bool isCurrent, const QKPage::Cells& entries) {
    const int count = block.rows * G::clampColumns(numberOfColumns_);
    for (int i = 0; i < count; ++i) {
      const QRectF r = G::toWidget(G::cellRect(block, i, W, numberOfColumns_), H);
      if (!r.adjusted(-2, -2, 2, 2).intersects(event->rect())) continue;
      drawCell(painter, block, block.pageId, isCurrent, i,
               i < static_cast<int>(entries.size()) ? entries[i] : nullptr, H);
    }
  };
  auto contentsOf = [&](long id, QString* name, long* files) {
    QKPageController* controller = bin_->pageController();
    RWTryLock::ReadGuard guard(controller->pagesLock());
    const auto page = controller->lockedPageForUniqueId(id);
    if (!page) return QKPage::Cells();
    if (name) *name = page->name();
    if (files) *files = static_cast<long>(page->filesOnlyContents().size());
    return page->contents();
  };
  if (autoClose_) {
    painter.fillRect(exposed, palette().window());
    QString name;
    const QKPage::Cells entries = contentsOf(current, &name, nullptr);
    if (name.isNull() && entries.empty() && !pages().front().exists) {
      painter.setPen(colors.cellTitle);
      painter.drawText(
          QRectF(0, H / 2, W, H / 2), Qt::AlignHCenter | Qt::AlignTop,
          QStringLiteral("No page viewed. Use table of contents to set visible pages"));
    } else {
      G::Block block;
      block.pageId = current;
      block.rows = G::autoCloseRows(static_cast<int>(entries.size()), W, H, numberOfColumns_,
                                    bin_->listenerCount());
      block.gridHeight = block.rows * cell.height();
      block.gridBottom = H - 1 - block.gridHeight;
      block.showsGrid = true;
      drawPage(block, true, entries);
    }
  } else {
    const std::vector<G::Block> blocks =
        G::layout(pages(), W, H, numberOfColumns_, bin_->listenerCount());
    auto gridArea = [&](const G::Block& block) {
      return G::toWidget(QRectF(1, block.gridBottom + 1, W - 6, block.gridHeight), H);
    };
    // The window's colour goes only where no page's grid will cover it (a
    // pixel's overlap at the grid's edges), so that no pixel is filled twice
    // over.
    QRegion window(exposed);
    for (const G::Block& block : blocks)
      if (block.showsGrid) window -= QRegion(gridArea(block).toRect().adjusted(1, 1, -1, -1));
    for (const QRect& part : window) painter.fillRect(part, palette().window());
    for (const G::Block& block : blocks) {
      const QRectF whole = G::toWidget(
          QRectF(0, block.gridBottom - 1, W, block.tabY + G::kTabHeight - block.gridBottom + 1), H);
      if (!whole.intersects(exposed)) continue;
      QString name;
      long files = 0;
      const QKPage::Cells entries = contentsOf(block.pageId, &name, &files);
      const QRectF tab = G::toWidget(QRectF(0, block.tabY, W - 5, G::kTabHeight), H);
      if (tab.intersects(exposed)) {
        painter.fillRect(tab, colors.tab);
        const QRectF box = G::toWidget(QRectF(2, block.tabY + 2, 9, 9), H);
        painter.fillRect(box, block.showsGrid ? colors.pageBg : colors.tab);
        painter.setPen(colors.tabBorder);
        painter.drawRect(box);
        if (!name.isNull()) {
          const QRectF title = G::toWidget(QRectF(15, block.tabY + 1, W - 17, 12), H);
          // Odd keys for pages: files' addresses are even.
          drawStrip(painter, quintptr(block.pageId) << 1 | 1, title,
                    QRectF(QPointF(), title.size()), G::pageTitle(name, files), Qt::transparent,
                    block.pageId == current ? colors.currentPageTitle : colors.pageTitle);
        }
        if (!block.showsGrid && drawDestImage_ && dragPageId_ == block.pageId && dragIndex_ < 0) {
          painter.setPen(Qt::red);
          painter.drawRect(G::toWidget(QRectF(1, block.tabY, W - 4, 11), H));
        }
      }
      if (!block.showsGrid) continue;
      painter.setPen(colors.tab);
      painter.drawRect(G::toWidget(QRectF(0, block.gridBottom, W - 4, block.gridHeight + 1), H));
      painter.fillRect(gridArea(block) & QRectF(exposed), colors.pageBg);
      drawPage(block, block.pageId == current, entries);
    }
  }
  if (bin_->listenersHardwareLearnMode())
    painter.fillRect(exposed, QColor::fromRgbF(0, 0, 1, 0.33f));
  images_.endRedraw();
}

void MBFileGridView::drawStrip(QPainter& painter, quintptr key, const QRectF& rect,
                               const QRectF& textRect, const QString& text,
                               const QColor& background, const QColor& color) {
  MBGridImageCache::Strip strip;
  strip.text = text;
  strip.size = rect.size();
  strip.textRect = textRect;
  strip.flags = Qt::AlignLeft | Qt::AlignVCenter;
  strip.font = painter.font();
  strip.background = background;
  strip.color = color;
  strip.pixelRatio = painter.device()->devicePixelRatioF();
  painter.drawImage(rect.topLeft(), images_.strip(key, strip));
}

void MBFileGridView::drawCell(QPainter& painter, const G::Block& block, long pageId, bool current,
                              int index, const std::shared_ptr<QKFile>& entry, double H) {
  const Colors& theme = *colors_;
  const QSizeF cell = G::cellSize(width(), numberOfColumns_);
  const QRectF model = G::cellRect(block, index, width(), numberOfColumns_);
  const QRectF r = G::toWidget(model, H);
  const QImage* poster = nullptr;
  if (entry) {
    const QImage& image = images_.poster(entry.get(), imageForFile(entry), r.size().toSize());
    if (!image.isNull()) poster = &image;
  }
  // An opaque poster hides the cell's ground; its frame is drawn below.
  if (!poster || poster->hasAlphaChannel()) painter.fillRect(r, theme.tabBorder);
  if (entry) {
    if (poster) painter.drawImage(r.topLeft(), *poster);
    const double strip = autoClose_ ? 11 : 12;
    if (cell.height() > 20 && showFileNames_) {
      const QRectF bottom(r.left(), r.bottom() - strip, r.width(), strip);
      drawStrip(painter, quintptr(entry.get()), bottom,
                QRectF(QPointF(), bottom.size()).adjusted(2, 0, 0, -1), entry->name(),
                theme.titleBg, theme.cellTitle);
    }
    QString layerName;
    MBLayerQueueHost* host = layers_ ? layers_->host() : nullptr;
    QColor mark;
    if (host && host->fileIsPlaying(*entry, &layerName)) {
      mark = theme.playing;
    } else if (layers_) {
      layerName = layers_->layerForFileIdInLayerQueueArray(entry->uniqueFileId());
      if (!layerName.isEmpty()) mark = theme.queued;
    }
    if (mark.isValid()) {
      painter.fillRect(r, mark);
      const QRectF top(r.left(), r.top(), r.width(), strip);
      painter.fillRect(top, theme.titleBg);
      painter.setPen(theme.cellTitle);
      painter.drawText(top.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, layerName);
    }
    if (bin_->isSelected(entry->uniqueFileId()) || proposed_.contains(entry->uniqueFileId()))
      painter.fillRect(r, theme.selected);
  }
  painter.setPen(theme.tabBorder);
  painter.drawRect(r);
  const double w = std::clamp(0.1 * std::sqrt(cell.height()), 2.0, 4.0);
  const bool learn = bin_->listenersHardwareLearnMode();
  const int transpose = bin_->transpose();
  const int listeners = bin_->listenerCount();
  if (current && index >= transpose && index < transpose + listeners) {
    painter.setPen(QPen(learn ? Qt::blue : QColor(255, 140, 0), w));
    painter.drawRect(r.translated(1, -1).adjusted(w / 2, w / 2, -w / 2, -w / 2));
    if ((showShortcutNames_ || learn) && cell.height() >= 9) {
      const QString name = bin_->listenerName(index - transpose);
      QFont label = painter.font();
      const double large = std::max((cell.height() - 9) * 0.9, 9.0);
      const double smallSize = std::max((cell.height() - 9) * 0.5, 9.0);
      label.setPixelSize(static_cast<int>(name.size() > 1 ? smallSize : large));
      painter.save();
      painter.setFont(label);
      painter.setPen(Qt::black);
      const QPointF at(r.left() + 3 + w, r.bottom() - 3 - w);
      painter.drawText(at + QPointF(2, 2), name);
      painter.setPen(learn ? Qt::blue : QColor(255, 140, 0));
      painter.drawText(at, name);
      painter.restore();
    }
  }
  if (drawDestImage_ && dragPageId_ == pageId && dragIndex_ == index) {
    painter.setPen(QPen(Qt::red, w));
    painter.drawRect(r.translated(1, -1).adjusted(w / 2, w / 2, -w / 2, -w / 2));
  }
}

// --- Interaction
// ------------------------------------------------------------------------------------

void MBFileGridView::post(const QString& reason, long pageId, long fileId) {
  QVariantMap info{{QStringLiteral("BinId"), qint64(bin_->uniqueID())},
                   {QStringLiteral("Reason"), reason}};
  if (reason != QLatin1String("MovedFiles")) info.insert(QStringLiteral("PageId"), qint64(pageId));
  if (fileId != -1) info.insert(QStringLiteral("FileId"), qint64(fileId));
  NotificationCenter::defaultCenter().post(kVisiblePagesChanged, this, info);
}

std::vector<long> MBFileGridView::selectedIdsArray() const { return bin_->selectedIds(); }

void MBFileGridView::mousePressEvent(QMouseEvent* event) {
  bin_->gridMouseDown();
  const Qt::KeyboardModifiers mods = event->modifiers();
  shiftOnClick_ = mods & Qt::ShiftModifier;
  optionOnClick_ = mods & Qt::AltModifier;
  cmdOnClick_ = mods & Qt::ControlModifier;
  const bool control = (mods & Qt::MetaModifier) || event->button() == Qt::RightButton;
  mouseDownPageId_ = mouseDownFileId_ = -1;
  mouseDownGridIndex_ = -1;
  mouseDownPoint_ = G::toModel(event->position(), height());
  const G::Hit hit = getPageAndIndexForPoint(mouseDownPoint_);
  QString prepared;
  if (hit.item == G::Hit::None) {
    bin_->deselectAll();
    post(QStringLiteral("SelectedFilesChanged"), -1);
    update();
    return;
  }
  mouseDownPageId_ = hit.pageId;
  if (hit.item == G::Hit::DisclosureTriangle) {
    const bool expanded = !bin_->pageExpanded(hit.pageId);
    bin_->setPageExpanded(hit.pageId, expanded);
    if (expanded && autoClose_) bin_->setCurrentPageId(hit.pageId);
    prepared = QStringLiteral("ExpandedStateChanged");
  } else if (hit.item == G::Hit::PageTab) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      bin_->setPageExpanded(hit.pageId, !bin_->pageExpanded(hit.pageId));
      prepared = QStringLiteral("ExpandedStateChanged");
    }
    if (bin_->pageExpanded(hit.pageId)) {
      bin_->setCurrentPageId(hit.pageId);
      prepared = QStringLiteral("ExpandedStateChanged");
    }
  } else if (hit.item == G::Hit::Grid) {
    if (bin_->currentPageId() != hit.pageId) {
      bin_->setCurrentPageId(hit.pageId);
      bin_->justSetTranspose(0);
    }
    int count = -1;
    const std::shared_ptr<QKFile> entry = entryAt(hit.pageId, hit.index, &count);
    if (count >= 0) mouseDownGridIndex_ = hit.index;
    if (control) {
      menuPageId_ = hit.pageId;
      menuGridIndex_ = mouseDownGridIndex_;
      menuOnFile_ = entry != nullptr;
      if (entry && !bin_->isSelected(entry->uniqueFileId())) {
        if (!shiftOnClick_) bin_->deselectAll();
        bin_->setSelected(entry->uniqueFileId(), true);
      }
      if (menus_) menus_->reloadAvailableTapsMethod();
      update();
      // The menu opens once this event has been handled.
      const QPoint global = event->globalPosition().toPoint();
      QTimer::singleShot(10, this, [this, global] { doRightMouseDown(global); });
      return;
    }
    if (!entry) {
      bin_->deselectAll();
      prepared = QStringLiteral("SelectedFilesChanged");
    } else {
      const long id = entry->uniqueFileId();
      mouseDownFileId_ = id;
      const auto* movie = dynamic_cast<const QKQTFile*>(entry.get());
      if (shiftOnClick_) {
        bin_->setSelected(id, !bin_->isSelected(id));
        post(QStringLiteral("SelectedFilesChanged"), hit.pageId, id);
        update();
        return;
      } else if (cmdOnClick_ || bin_->isSelected(id)) {
        bin_->setSelected(id, true);
        startSelectedDrag();
        prepared = QStringLiteral("MovedFiles");
      } else if (movie && !movie->recSourceName().isEmpty()) {
        return;  // a recording in progress: its own toggle stops it
      } else if (entry->validFile()) {
        bin_->deselectAll();
        if (layers_) layers_->triggerThisFile(id);
        prepared = QStringLiteral("SelectedFilesChanged");
      } else {
        return;
      }
    }
  }
  if (!prepared.isEmpty()) {
    post(prepared, hit.pageId);
    recomputeSize();
    update();
  }
}

void MBFileGridView::mouseMoveEvent(QMouseEvent* event) {
  if (!shiftOnClick_ || mouseDownPageId_ == -1) return;
  int count = -1;
  entryAt(mouseDownPageId_, 0, &count);
  if (count < 0) return;
  const QPointF point = G::toModel(event->position(), height());
  const G::Hit hit = getPageAndIndexForPoint(point);
  int from = 0, to = -1;
  if (hit.pageId == mouseDownPageId_) {
    if (hit.item == G::Hit::PageTab) {
      to = mouseDownGridIndex_;
    } else if (hit.item == G::Hit::Grid) {
      const int index = std::min(hit.index, count - 1);
      from = std::min(mouseDownGridIndex_, index);
      to = std::max(mouseDownGridIndex_, index);
    }
  } else if (point.y() > mouseDownPoint_.y()) {
    to = mouseDownGridIndex_;
  } else {
    from = mouseDownGridIndex_;
    to = count - 1;
  }
  proposed_.clear();
  for (int i = std::max(0, from); i <= to; ++i)
    if (const auto file = entryAt(mouseDownPageId_, i)) proposed_.insert(file->uniqueFileId());
  update();
}

void MBFileGridView::mouseReleaseEvent(QMouseEvent*) {
  if (shiftOnClick_ && !proposed_.isEmpty()) {
    for (long id : proposed_) bin_->setSelected(id, true);
    proposed_.clear();
    post(QStringLiteral("SelectedFilesChanged"), mouseDownPageId_);
    update();
  }
  mouseDownPageId_ = mouseDownFileId_ = -1;
  mouseDownGridIndex_ = -1;
}

void MBFileGridView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
    openConfirmDeletePanel();
  } else if (event->key() == Qt::Key_Escape) {
    bin_->deselectAll();
    update();
  } else {
    passKeyToControlData(event);
  }
}

// Releases go too, so that a key's data source falls back to 0.
void MBFileGridView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Backspace && event->key() != Qt::Key_Delete)
    passKeyToControlData(event);
}

// Keys still reach their bound controls while the grid has the focus.
void MBFileGridView::passKeyToControlData(QKeyEvent* event) {
  if (!dataSourceController_) {
    Log::line(QStringLiteral("\t\terror: dataSourceController is NIL"));
    findDataSourceController(this);
  }
  if (dataSourceController_) dataSourceController_->keyDown(event);
}

QMenu* MBFileGridView::menuForLastRightClick() const {
  if (!menus_) return nullptr;
  if (menuOnFile_ || !bin_->selectedIds().empty()) return menus_->loadedCellMenu();
  return menus_->emptyCellMenu();
}

void MBFileGridView::doRightMouseDown(const QPoint& globalPos) {
  if (!bin_->pageController()->pageForUniqueId(menuPageId_)) return;
  QMenu* menu = menuForLastRightClick();
  if (!menu) {
    if (!menuOnFile_ && bin_->selectedIds().empty())
      Log::line(QStringLiteral("\t\terr: empty cell menu was nil!"));
    return;
  }
  menu->popup(globalPos);
}

void MBFileGridView::triggerSelectedFiles() {
  for (long id : bin_->selectedIds())
    if (layers_) layers_->triggerThisFile(id);
  bin_->deselectAll();
  update();
}

void MBFileGridView::deleteSelectedFiles() {
  bin_->pageController()->deleteFilesWithIds(bin_->selectedIds(), true);
  bin_->deselectAll();
  recomputeSize();
  update();
}

void MBFileGridView::loadFilesToPageWithSheet() {
  const auto page = bin_->pageController()->pageForUniqueId(menuPageId_);
  if (!page)
    Log::line(QStringLiteral("\t\terr: attempted to load files by sheet to nil page"));
  else if (QKFileLoaderInterface* loader = bin_->fileLoader())
    loader->loadWithOpenPanelToFolder(page.get(), menuGridIndex_, false, window());
  bin_->deselectAll();
  update();
}

void MBFileGridView::groupSelectionOnNewPage() {
  QKPageController* controller = bin_->pageController();
  const std::vector<long> ids = bin_->selectedIds();
  const auto page = controller->addBlankPage();
  if (!page) return;
  const long pageId = page->uniqueFileId();
  bin_->setPageExpanded(pageId, true);
  controller->moveFilesWithIds(ids, page, 0, true);
  bin_->deselectAll();
  post(QStringLiteral("ExpandedStateChanged"), pageId);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::recordVideoInputSelected(const QString& inputName) {
  bin_->pageController()->recordVideoInputNamed(inputName, menuPageId_, menuGridIndex_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::addTapMenuItemSelected(const QString& tapName) {
  bin_->pageController()->addTapNamed(tapName, menuPageId_, menuGridIndex_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::closeGapAtClickLocation() {
  bin_->pageController()->closeGapAtIndex(menuGridIndex_, menuPageId_);
  post(QStringLiteral("MovedFiles"), menuPageId_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::closeAllGapsOnPage() {
  bin_->pageController()->closeAllGapsOnPageWithId(menuPageId_);
  post(QStringLiteral("MovedFiles"), menuPageId_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::addEmptyTextFileMenuItemSelected() {
  bin_->pageController()->addBlankTextFileToPageWithId(menuPageId_, menuGridIndex_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::addURLFileMenuItemSelected() {
  bin_->pageController()->addNewURLFileToPageWithId(menuPageId_, menuGridIndex_);
  recomputeSize();
  redrawSoon();
}

void MBFileGridView::openConfirmDeletePanel() {
  const std::vector<long> ids = bin_->selectedIds();
  if (ids.empty()) return;
  // Deleting without asking would lose the performer's entries unseen.
  if (bin_->willFullscreenHideAModal()) {
    Log::line(QStringLiteral("\t\terr: not deleting %1 files while fullscreen hides the question")
                  .arg(ids.size()));
    return;
  }
  const int answer =
      Alert::show(QStringLiteral("Warning!"),
                  QStringLiteral("Are you sure you want to delete %1 files?").arg(ids.size()),
                  {QStringLiteral("Yes"), QStringLiteral("Cancel")}, 1);
  if (answer != 0) return;
  bin_->pageController()->deleteFilesWithIds(ids, true);
  bin_->deselectAll();
  recomputeSize();
  update();
}

bool MBFileGridView::prepareDragContents() {
  const std::vector<long> ids = bin_->selectedIds();
  if (ids.empty()) {
    dragContents_.remove(QStringLiteral("uniqueIdArray"));
    return false;
  }
  QVariantList list;
  for (long id : ids) list << qint64(id);
  dragContents_.insert(QStringLiteral("uniqueIdArray"), list);
  return true;
}

void MBFileGridView::startSelectedDrag() {
  if (!prepareDragContents()) return;
  auto* mime = new QMimeData();
  mime->setData(kDragType, QByteArray());
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  QPixmap image(80, 60);
  image.fill(Qt::transparent);
  drag->setPixmap(image);
  drag->exec(optionOnClick_ ? Qt::CopyAction : Qt::MoveAction);
}

bool MBFileGridView::performDrop(const QMimeData* mime, const QPointF& point, const QObject* source,
                                 bool copy) {
  const G::Hit hit = getPageAndIndexForPoint(point);
  dragPageId_ = hit.pageId;
  dragIndex_ = hit.item == G::Hit::Grid ? hit.index : -1;
  QKPageController* controller = bin_->pageController();
  const auto page = hit.item == G::Hit::None ? nullptr : controller->pageForUniqueId(hit.pageId);
  drawDestImage_ = false;
  update();
  if (!mime) return true;
  if (mime->hasFormat(kDragType)) {
    const auto* grid = qobject_cast<const MBFileGridView*>(source);
    if (!grid || !page) return true;
    std::vector<long> ids;
    for (const QVariant& id : grid->dragContents().value(QStringLiteral("uniqueIdArray")).toList())
      ids.push_back(id.toLongLong());
    if (copy)
      controller->copyFilesWithIds(ids, page, dragIndex_);
    else
      controller->moveFilesWithIds(ids, page, dragIndex_, true);
    recomputeSize();
    return true;
  }
  if (!mime->hasUrls()) return true;
  QStringList paths;
  std::vector<QUrl> web;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile())
      paths << url.toLocalFile();
    else if (url.isValid())
      web.push_back(url);
  if (!paths.isEmpty()) {
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) {
      return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    if (!page)
      Log::line(QStringLiteral("\t\terr: dest page was nil"));
    else if (QKFileLoaderInterface* loader = bin_->fileLoader())
      loader->addTheseFilesToQueue(paths, page.get(), dragIndex_, false);
  }
  for (const QUrl& url : web) {
    auto file = QKURLFile::createWithURLString(bin_->compositor(), url.toString());
    if (!file) continue;
    controller->addObjects({file}, page, dragIndex_);
    if (QKFileLoaderInterface* loader = bin_->fileLoader()) loader->createThumbnailForURLFile(file);
  }
  recomputeSize();
  return true;
}

void MBFileGridView::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!mime->hasFormat(kDragType) && !mime->hasUrls()) return event->ignore();
  drawDestImage_ = true;
  dragMoveEvent(event);
}

void MBFileGridView::dragMoveEvent(QDragMoveEvent* event) {
  const G::Hit hit = getPageAndIndexForPoint(G::toModel(event->position(), height()));
  dragPageId_ = hit.pageId;
  dragIndex_ = hit.item == G::Hit::Grid ? hit.index : -1;
  update();
  event->setDropAction(event->modifiers() & Qt::AltModifier ? Qt::CopyAction : Qt::MoveAction);
  event->accept();
}

void MBFileGridView::dragLeaveEvent(QDragLeaveEvent*) {
  drawDestImage_ = false;
  update();
}

void MBFileGridView::dropEvent(QDropEvent* event) {
  const bool copy = event->dropAction() == Qt::CopyAction || (event->modifiers() & Qt::AltModifier);
  performDrop(event->mimeData(), G::toModel(event->position(), height()), event->source(), copy);
  event->acceptProposedAction();
}

// --- Snapshot
// -----------------------------------------------------------------------------------------

QVariantMap MBFileGridView::createSnapshot() const {
  return {{kColumnsKey, numberOfColumns_},
          {kShortcutNamesKey, showShortcutNames_ ? 1 : 0},
          {kFileNamesKey, showFileNames_ ? 1 : 0}};
}

void MBFileGridView::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant columns = snapshot.value(kColumnsKey);
  if (VariantNumbers::isNumber(columns))
    setNumberOfColumns(columns.toInt() > 0 ? columns.toInt() : 1);
  const QVariant names = snapshot.value(kShortcutNamesKey);
  if (VariantNumbers::isNumber(names, true)) showShortcutNames_ = names.toInt() == 1;
  const QVariant files = snapshot.value(kFileNamesKey);
  if (VariantNumbers::isNumber(files, true)) showFileNames_ = files.toInt() == 1;
  recomputeSize();
  update();
}
