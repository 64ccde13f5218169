#include "app/compositor/LayerWindowTabView.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerTabFollower.h"
#include "app/compositor/LayerTabMimeData.h"
#include "app/compositor/LayerWindowController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/ControllerFinder.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

#include <QDrag>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace G = LayerTabGeometry;

namespace {

LayerWindowTabView::CandidateSource& controlsSource() {
  static LayerWindowTabView::CandidateSource source;
  return source;
}

LayerWindowTabView::CandidateSource& binSource() {
  static LayerWindowTabView::CandidateSource source;
  return source;
}

// The drop markers, read once; a missing one is logged once and not drawn.
const QImage& marker(int direction) {
  struct Marker {
    const char* file;
    const char* message;
    QImage image;
    bool loaded = false;
  };
  static Marker markers[] = {
      {"LayerTabDropBefore", "\t\terror: couldn't load LayerTabDropBefore.pdf", {}},
      {"LayerTabDropOn", "\t\terror: couldn't load LayerTabDropOn.pdf", {}},
      {"LayerTabDropAfter", "\t\terror: couldn't load dropAfterImage.pdf", {}},
  };
  Marker& m = markers[std::clamp(direction + 1, 0, 2)];
  if (!m.loaded) {
    m.loaded = true;
    const QString path = Paths::resourcePath(QStringLiteral("images/") + QLatin1String(m.file),
                                             QStringLiteral("svg"));
    if (!path.isEmpty()) m.image = QImage(path).scaled(10, 10);
    if (m.image.isNull()) Log::line(QString::fromLatin1(m.message));
  }
  return m.image;
}

// The position of `layer` among its parent's layers (the compositor's top
// level for none); −1 when it is not there.
int indexInParent(const Compositor& compositor, const Layer* layer) {
  int index = 0;
  if (const Layer* parent = layer->parentLayer()) {
    for (const auto& child : parent->layerArray()) {
      if (child.get() == layer) return index;
      ++index;
    }
    return -1;
  }
  for (const auto& top : compositor.topLevelLayers()) {
    if (top.get() == layer) return index;
    ++index;
  }
  return -1;
}

QColor colorIn(const QVariantMap& dict, const QString& key, const QColor& fallback) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QColor ? value.value<QColor>() : fallback;
}

}  // namespace

void LayerWindowTabView::setControlsCandidates(CandidateSource source) {
  controlsSource() = std::move(source);
}

void LayerWindowTabView::setBinCandidates(CandidateSource source) {
  binSource() = std::move(source);
}

int LayerWindowTabView::closestCandidate(const QRectF& layerWindow,
                                         const std::vector<QRectF>& candidates) {
  const QPointF centre = layerWindow.center();
  const QPointF corner = layerWindow.topLeft();
  auto distance = [](QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); };
  int best = -1;
  for (int i = 0; i < int(candidates.size()); ++i) {
    if (best < 0) {
      best = i;
      continue;
    }
    const QPointF mine = candidates[std::size_t(i)].center();
    const QPointF theirs = candidates[std::size_t(best)].center();
    const double d = distance(mine, centre);
    const double bestD = distance(theirs, centre);
    if (d < bestD || (d == bestD && distance(mine, corner) < distance(theirs, corner))) best = i;
  }
  return best;
}

LayerWindowTabView::LayerWindowTabView(LayerWindowController* window, Compositor* compositor,
                                       QWidget* parent)
    : QWidget(parent), window_(window), compositor_(compositor) {
  setAcceptDrops(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  for (int direction : {-1, 0, 1}) marker(direction);
  findDataSourceController(this);
  reloadTabRects();
}

LayerWindowTabView::~LayerWindowTabView() = default;

bool LayerWindowTabView::windowDeleted() const { return !window_ || window_->deleted(); }

void LayerWindowTabView::reloadTabRects() {
  if (windowDeleted()) return;
  const std::vector<Layer*>& layers = window_->layerArray();
  const int count = int(layers.size());
  tabWidth_ = G::tabWidth(width(), count);
  records_ = G::records(
      count, QSizeF(width(), height()), [&](int i) { return layers[std::size_t(i)]->groupFlag(); },
      [&](int group, int i) {
        return layers[std::size_t(group)]->isThisMyChild(layers[std::size_t(i)]);
      });
  update();
}

void LayerWindowTabView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  reloadTabRects();
}

QPointF LayerWindowTabView::viewPoint(const QPointF& qtPoint) const {
  return QPointF(qtPoint.x(), height() - qtPoint.y());
}

// --- Drawing -------------------------------------------------------------------------------------

void LayerWindowTabView::paintEvent(QPaintEvent*) {
  if (windowDeleted()) return;
  const QKWindowContentView* content = QKWindowContentView::enclosing(this);
  if (content && content->collapsed()) return;
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QColor background = content ? content->backgroundColor() : QColor(43, 43, 43);
  const QColor lighter = QColor::fromRgbF(std::min(1.0f, background.redF() + 0.1f),
                                          std::min(1.0f, background.greenF() + 0.1f),
                                          std::min(1.0f, background.blueF() + 0.1f), 1.0f);
  const QVariantMap label = ThemeDict::labelColors();
  QFont font = ThemeDict::font(label, InterfaceColorScheme::kFontAttribute, this->font());
  if (!label.contains(InterfaceColorScheme::kFontAttribute)) font.setPixelSize(9);
  const QColor text =
      colorIn(label, InterfaceColorScheme::kForegroundColorAttribute, QColor(Qt::white));
  const double descent = QFontMetricsF(font).descent();
  const double h = height();
  auto qtRect = [h](const QRectF& r) {
    return QRectF(r.x(), h - r.y() - r.height(), r.width(), r.height());
  };
  auto qtPoint = [h, descent](const QPointF& p) { return QPointF(p.x(), h - p.y() - descent); };

  const std::vector<Layer*>& layers = window_->layerArray();
  const Layer* shown = window_->currentlyDisplayedLayer();
  painter.setFont(font);
  for (std::size_t i = 0; i < records_.size() && i < layers.size(); ++i) {
    const G::TabRecord& record = records_[i];
    Layer* layer = layers[i];
    const QRectF tab = qtRect(record.tabRect);
    painter.fillRect(tab, layer == shown ? background : lighter);
    painter.setPen(Qt::black);
    painter.drawRect(tab.adjusted(0, 0, -1, -1));
    const QRectF thumb = qtRect(record.thumbRect);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    if (const QImage image = layer->layerThumb(); !image.isNull())
      painter.drawImage(thumb, image, QRectF(QPointF(0, 0), image.size()));
    if (const VidSourceObject* source = layer->currentSource();
        !layer->groupFlag() && source && source->name() == VidSourceObject::kTapSource &&
        compositor_) {
      const QImage& icon = source->isVideoInput() ? compositor_->layerTabVideoInputImage()
                                                  : compositor_->layerTabTapImage();
      if (!icon.isNull()) painter.drawImage(thumb, icon, QRectF(QPointF(0, 0), icon.size()));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(text);
    if (const LayerChainInterface* chain = layer->fxChain(); chain && chain->effectCount() > 0)
      painter.drawText(qtPoint(record.fxTextOrigin), QStringLiteral("FX"));
    painter.drawText(qtPoint(record.labelLocation + QPointF(3, 0)), layer->layerName());
  }
  if (drop_.index != -1) {
    const QImage& image = marker(drop_.direction);
    if (!image.isNull())
      painter.drawImage(qtRect(QRectF(G::markerX(drop_, tabWidth_), 2, 10, 10)), image);
  }
}

// --- Clicks and keys -----------------------------------------------------------------------------

void LayerWindowTabView::mousePressEvent(QMouseEvent* event) {
  mouseDownAt(viewPoint(event->position()), event->modifiers());
  event->accept();
}

void LayerWindowTabView::mouseDownAt(const QPointF& point, Qt::KeyboardModifiers modifiers) {
  clickLoc_ = point;
  dragging_ = false;
  clickedTabIndex_ = G::hitTest(records_, point);
  const std::vector<Layer*>& layers = window_->layerArray();
  if (clickedTabIndex_ >= 0 && clickedTabIndex_ < int(layers.size()) &&
      !records_[std::size_t(clickedTabIndex_)].deleteRect.contains(point)) {
    Layer* layer = layers[std::size_t(clickedTabIndex_)];
    window_->displayLayer(layer);
    if (modifiers & Qt::ControlModifier)
      bringThisLayerToTopOfClosestBin(layer);
    else
      selectThisLayerInClosestControls(layer);
  }
  deselectEverything();
}

void LayerWindowTabView::deselectEverything() {
  if (!dataSourceController_) {
    Log::line(QStringLiteral("\t\terror: dataSourceController is NIL"));
    findDataSourceController(this);
  }
  if (dataSourceController_) dataSourceController_->deselectEverything();
}

void LayerWindowTabView::keyPressEvent(QKeyEvent* event) {
  if (!dataSourceController_) {
    Log::line(QStringLiteral("\t\terror:dataSourceController is NIL in tab view"));
    findDataSourceController(this);
  }
  if (dataSourceController_) dataSourceController_->keyDown(event);
}

// --- Closest plug-in windows ---------------------------------------------------------------------

// Without a source of its own, the layer-controls plug-ins that follow the
// tabs (their centres are bottom-left screen points).
void LayerWindowTabView::selectThisLayerInClosestControls(Layer* layer) {
  if (controlsSource()) {
    sendToClosest(layer, controlsSource());
    return;
  }
  sendToClosest(layer, [](Layer*) {
    std::vector<Candidate> candidates;
    const double screenHeight = QKWindow::mainScreenFrame().height();
    for (LayerTabFollower* follower : LayerTabFollower::all()) {
      if (!follower->followsLayerTabs()) continue;
      const QPointF centre = follower->followerCentre();
      candidates.push_back({QRectF(QPointF(centre.x(), screenHeight - centre.y()), QSizeF()),
                            [follower](Layer* chosen) { follower->selectThisLayer(chosen); }});
    }
    return candidates;
  });
}

void LayerWindowTabView::bringThisLayerToTopOfClosestBin(Layer* layer) {
  sendToClosest(layer, binSource());
}

void LayerWindowTabView::bringLayerToTopOfClosestBin(Layer* layer, const QRectF& from) {
  sendToClosest(layer, binSource(), from);
}

void LayerWindowTabView::sendToClosest(Layer* layer, const CandidateSource& source) {
  const QRectF own = window_->screenFrame().isEmpty() ? QRectF(mapToGlobal(QPoint(0, 0)), size())
                                                      : window_->screenFrame();
  sendToClosest(layer, source, own);
}

void LayerWindowTabView::sendToClosest(Layer* layer, const CandidateSource& source,
                                       const QRectF& from) {
  if (!layer || layer->groupFlag() || !source) return;
  const std::vector<Candidate> candidates = source(layer);
  std::vector<QRectF> frames;
  for (const Candidate& candidate : candidates) frames.push_back(candidate.frame);
  const int best = closestCandidate(from, frames);
  if (best >= 0 && candidates[std::size_t(best)].take) candidates[std::size_t(best)].take(layer);
}

// --- Dragging a tab ------------------------------------------------------------------------------

void LayerWindowTabView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || dragging_) return;
  if (const QKWindowContentView* content = QKWindowContentView::enclosing(this);
      content && (content->locked() || content->fullyLocked()))
    return;
  if (clickedTabIndex_ < 0 || !G::dragStarts(clickLoc_, viewPoint(event->position()))) return;
  startDrag();
}

void LayerWindowTabView::startDrag() {
  const std::vector<Layer*>& layers = window_->layerArray();
  if (clickedTabIndex_ >= int(layers.size()) || !compositor_) return;
  std::shared_ptr<Layer> layer = compositor_->sharedLayer(layers[std::size_t(clickedTabIndex_)]);
  if (!layer) return;
  dragging_ = true;
  drop_ = {};
  QPointer<LayerWindowTabView> self(this);
  auto* data = new LayerTabMimeData(layer, this);
  QPointer<LayerTabMimeData> guard(data);
  layer.reset();  // the drag holds the layer weakly
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  QImage image(80, 80, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  drag->setPixmap(QPixmap::fromImage(image));
  drag->exec(Qt::MoveAction);
  if (!self) return;
  dragging_ = false;
  if (guard) dragEnded(*guard);
}

void LayerWindowTabView::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasFormat(LayerTabMimeData::kType)) return;
  event->acceptProposedAction();
  dragMovedTo(event->position().x());
}

void LayerWindowTabView::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasFormat(LayerTabMimeData::kType)) return;
  event->acceptProposedAction();
  dragMovedTo(event->position().x());
}

void LayerWindowTabView::dragLeaveEvent(QDragLeaveEvent*) { dragExited(); }

void LayerWindowTabView::dropEvent(QDropEvent* event) {
  const auto* data = qobject_cast<const LayerTabMimeData*>(event->mimeData());
  const bool done = data && performDrop(*data);
  dragExited();
  if (done) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void LayerWindowTabView::dragMovedTo(double x) {
  const std::vector<Layer*>& layers = window_->layerArray();
  const int count = int(std::min(records_.size(), layers.size()));
  drop_ = G::dropPlace(x, tabWidth_, count, [&](int i) {
    const Layer* layer = layers[std::size_t(i)];
    return layer->groupFlag() && layer->layerArray().empty();
  });
  if (!windowDeleted()) update();
}

void LayerWindowTabView::dragExited() {
  drop_.index = -1;
  if (!windowDeleted()) update();
}

// The move is checked whole before anything changes: a drop the compositor
// would refuse leaves the windows as they were.
bool LayerWindowTabView::performDrop(const LayerTabMimeData& data) {
  data.setLanded();
  LayerWindowTabView* source = data.source();
  const std::shared_ptr<Layer> dragged = data.layer();
  if (!source || !dragged || dragged->deleted() || windowDeleted() || !compositor_ ||
      !compositor_->containsLayer(dragged.get()))
    return false;
  LayerWindowController* from = source->layerWindow();
  const std::vector<Layer*>& sourceLayers = from->layerArray();
  const auto found = std::find(sourceLayers.begin(), sourceLayers.end(), dragged.get());
  if (found == sourceLayers.end()) return false;
  const int s = int(found - sourceLayers.begin());
  const std::vector<Layer*>& layers = window_->layerArray();
  if (drop_.index < 0 || drop_.index >= int(layers.size())) return false;
  Layer* target = layers[std::size_t(drop_.index)];
  Layer* parent = nullptr;
  int index = 0;
  if (drop_.direction == 0) {
    parent = target;
  } else {
    parent = target->parentLayer();
    index = indexInParent(*compositor_, target);
    if (index < 0) return false;
    if (drop_.direction == 1) ++index;
  }
  const bool intoItself = parent && dragged->containsThisLayer(parent);
  if (source == this) {
    const bool inPlace = drop_.index == s || (drop_.index == s + 1 && drop_.direction == -1) ||
                         (drop_.index == s - 1 && drop_.direction == 1);
    if (inPlace || intoItself) return true;
    return compositor_->moveTheseLayers({dragged.get()}, index, parent);
  }
  if (intoItself) return false;
  return moveAcrossWindows(dragged.get(), from, parent, index);
}

bool LayerWindowTabView::moveAcrossWindows(Layer* dragged, LayerWindowController* from,
                                           Layer* parent, int index) {
  if (parent && !compositor_->containsLayer(parent)) return false;
  from->removeLayerFromWindow(dragged, true);
  window_->addLayerToWindow(dragged, true);
  compositor_->moveTheseLayers({dragged}, index, parent);
  return true;
}

bool LayerWindowTabView::dragEnded(const LayerTabMimeData& data) {
  if (data.landed() || windowDeleted() || !compositor_) return false;
  const std::shared_ptr<Layer> layer = data.layer();
  const std::vector<Layer*>& layers = window_->layerArray();
  if (!layer || layer->deleted() || layers.size() < 2 ||
      std::find(layers.begin(), layers.end(), layer.get()) == layers.end())
    return false;
  if (layer->groupFlag() && layer->returnNumberOfSublayersInWindow() == int(layers.size()))
    return false;
  LayerWindowController* old = window_;
  LayerWindowController* made = compositor_->makeLayerWindow();
  if (!made) return false;
  made->showWindow();
  old->removeLayerFromWindow(layer.get(), true);
  made->addLayerToWindow(layer.get(), true);
  const QVariantMap snapshot = old->createSnapshot();
  QVariantMap boxes;
  for (const char* key : {"topBox", "bottomBox"})
    if (snapshot.contains(QLatin1String(key)))
      boxes.insert(QLatin1String(key), snapshot.value(QLatin1String(key)));
  made->loadSnapshot(boxes);
  made->displayLayer(layer.get());
  return true;
}
