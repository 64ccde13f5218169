#include "app/plugins/preview/PreviewWindow.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerListModel.h"
#include "app/compositor/LayerWindowTabView.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/preview/PrevWindContentView.h"
#include "app/plugins/preview/PreviewGeometry.h"
#include "app/plugins/preview/PreviewView.h"
#include "app/sources/MovieSource.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <thread>

const QString PreviewWindow::kTypeName = QStringLiteral("PreviewWindow");
const char PreviewWindow::kClickColorNotification[] = "QKPrevWinClickColorNotification";
const QString PreviewWindow::kColorKey = QStringLiteral("color");

namespace {

const QString kComponentArray = QStringLiteral("componentArray");
const QString kComponentName = QStringLiteral("componentName");
const QString kPreviewRate = QStringLiteral("preview rate");
const QString kRate = QStringLiteral("rate");
const QString kPreviewedLayer = QStringLiteral("previewed layer");
const QString kSyncWithBin = QStringLiteral("sync with bin");
const QString kBringLayerToTop = QStringLiteral("bringLayerToTopButton");
const QString kJogScratch = QStringLiteral("jog/scratch button");
const QString kJogScratchButton = QStringLiteral("jogScratchButton");
const QString kPreserveAspect = QStringLiteral("preserveAspectFlag");

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

QKButton* makeButton(const QString& title, int type, QWidget* parent) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(type);
  button->setFixedHeight(16);
  return button;
}

QLabel* label(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet(QStringLiteral("color: white; font-size: 11px"));
  return label;
}

// Collapsing hides the body: the render thread reads the state from here.
class CollapseWatch : public QObject {
 public:
  explicit CollapseWatch(QObject* parent) : QObject(parent) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) collapsed.store(true);
    if (event->type() == QEvent::Show) collapsed.store(false);
    return QObject::eventFilter(watched, event);
  }
  std::atomic<bool> collapsed{false};
};

MovieSource* movieOf(Layer* layer) {
  return layer ? dynamic_cast<MovieSource*>(layer->currentSource()) : nullptr;
}

}  // namespace

const QSizeF PreviewWindow::kMinimumSize(96, 90);

int PreviewWindow::rateForIndex(int index) {
  switch (index) {
    case 0:
      return 2;
    case 1:
      return 4;
    case 2:
      return 8;
    default:
      return 0;
  }
}

PreviewWindow::PreviewWindow(const QString& type, const QString& name, std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID),
      rTap_(QKRTap::create()),
      tapMenu_(std::make_unique<QKRTapMenuController>()) {
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification,
                                           static_cast<CompositorClient*>(this));
  if (DataSourceController* dsc = dataSourceController()) {
    dsc->setDataSource(DataSourceHolder::createWithName(name, DSType::UntickedHolder), {name});
    xDS_ = DSFloatInfrequent::createWithName(QStringLiteral("X"));
    yDS_ = DSFloatInfrequent::createWithName(QStringLiteral("Y"));
    clickDS_ = DSFloatInfrequent::createWithName(QStringLiteral("Mouse"));
    dsc->setDataSource(xDS_, {name, QStringLiteral("X")});
    dsc->setDataSource(yDS_, {name, QStringLiteral("Y")});
    dsc->setDataSource(clickDS_, {name, QStringLiteral("Mouse")});
  }
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) {
                       if (tapMenu_) tapMenu_->bang();
                     });
  observers_.observe(QString::fromLatin1(Layer::kCompModeChangeNotification.toLatin1()), nullptr,
                     [this](const Notification& n) {
                       MainThread::run([self = QPointer<PreviewWindow>(this), object = n.object] {
                         if (!self || self->deleted()) return;
                         Layer* layer = self->tapLayer();
                         if (layer && layer == object) self->followLayer(layer);
                       });
                     });
}

PreviewWindow::~PreviewWindow() {
  if (!deleted()) prepareToBeDeleted();
}

PluginClass PreviewWindow::pluginClass() {
  PluginClass preview;
  preview.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::make_unique<PreviewWindow>(type, name, uniqueID);
  };
  preview.layout = &PreviewWindow::buildWindow;
  return preview;
}

// --- Window --------------------------------------------------------------------------------

std::unique_ptr<QWidget> PreviewWindow::buildWindow(QObject* owner) {
  // The view is the window less 6 points of width and 37 of height (the
  // title strip, the palette's border and one row of controls), which the
  // aspect-keeping resize relies on.
  auto window = std::make_unique<QKWindow>(QRectF(440, 360, 246, 217));
  auto* content = new PrevWindContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<PreviewWindow*>(owner);
  if (!self) return window;
  content->setAspectRatioSource(
      [preview = QPointer<PreviewWindow>(self)] { return preview ? preview->aspectRatio() : 0.0; });
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(1);
  self->view_ = new PreviewView;
  self->viewContainer_ = QWidget::createWindowContainer(self->view_, body);
  self->viewContainer_->setFocusPolicy(Qt::NoFocus);
  column->addWidget(self->viewContainer_, 1);
  auto* row = new QHBoxLayout;
  row->setSpacing(2);
  self->tapButton_ = new QKNSPopUpButton(body);
  self->tapButton_->setFixedHeight(16);
  self->compMenuButton_ = new QComboBox(body);
  self->compMenuButton_->setFixedHeight(16);
  self->opacitySlider_ = new QKSliderControl(body);
  self->opacitySlider_->setFixedHeight(16);
  self->optionsButton_ = makeButton(QStringLiteral("opt"), 0, body);
  self->optionsButton_->setFixedWidth(28);
  row->addWidget(self->tapButton_, 1);
  row->addWidget(self->compMenuButton_, 1);
  row->addWidget(self->opacitySlider_, 1);
  row->addWidget(self->optionsButton_);
  row->addSpacing(13);  // the palette's resize handle stays reachable
  column->addLayout(row);
  auto* watch = new CollapseWatch(self);
  body->installEventFilter(watch);
  self->setProperty("collapseWatch", QVariant::fromValue<QObject*>(watch));
  self->buildOptionsPanel(window.get());
  return window;
}

void PreviewWindow::buildOptionsPanel(QWidget* window) {
  optionsPanel_ = new BlackTranslucentPanel(window, Qt::Dialog | Qt::FramelessWindowHint);
  optionsPanel_->resize(230, 120);
  auto* grid = new QGridLayout(optionsPanel_);
  grid->setContentsMargins(8, 8, 8, 8);
  rateButton_ = new QKNSPopUpButton(optionsPanel_);
  for (int index = 0; index < 3; ++index)
    rateButton_->addItemWithTitle(QString::number(rateForIndex(index)));
  rateButton_->selectItemAtIndex(0);
  preserveAspectButton_ = makeButton(QStringLiteral("keep aspect"), 1, optionsPanel_);
  jogScratchButton_ = makeButton(QStringLiteral("jog/scratch"), 1, optionsPanel_);
  bringLayerToTopButton_ = makeButton(QStringLiteral("sync with bin"), 1, optionsPanel_);
  aspectRatioField_ = new QLineEdit(optionsPanel_);
  auto* match = makeButton(QStringLiteral("match"), 0, optionsPanel_);
  auto* close = makeButton(QStringLiteral("close"), 0, optionsPanel_);
  grid->addWidget(label(QStringLiteral("rate"), optionsPanel_), 0, 0);
  grid->addWidget(rateButton_, 0, 1);
  grid->addWidget(preserveAspectButton_, 1, 0);
  grid->addWidget(jogScratchButton_, 1, 1);
  grid->addWidget(bringLayerToTopButton_, 2, 0);
  grid->addWidget(aspectRatioField_, 3, 0);
  grid->addWidget(match, 3, 1);
  grid->addWidget(close, 4, 1);
  for (QKButton* button : {match, close}) {
    button->setTarget(alive_);
    button->setTriggerOnMain(true);
  }
  match->setAction([this](QKButtonCell&) { matchPreviewedAspectUsed(); });
  close->setAction([this](QKButtonCell&) { closeOptionsPanel(); });
}

bool PreviewWindow::collapsed() const {
  const auto* watch =
      static_cast<const CollapseWatch*>(property("collapseWatch").value<QObject*>());
  return watch && watch->collapsed.load();
}

void PreviewWindow::awakeFromNib() {
  QKPlugin::awakeFromNib();
  if (!view_) return;
  // The palette's own awakening took its first frame as the smallest.
  if (QKWindow* w = window(); w && w->contentView()) w->contentView()->setMinSize(kMinimumSize);
  if (compositor_) {
    const CompModeLists& lists = compositor_->compModeLists();
    lists.fillPopUp(*compMenuButton_);
    connect(compMenuButton_, &QComboBox::activated, this,
            [this](int index) { compButtonUsed(index); });
  }
  jogScratchButton_->setIntValue(1, false);
  preserveAspectButton_->setIntValue(1, false);
  const auto bindToggle = [this](QKButton* button, std::function<void(bool)> action) {
    button->setTarget(alive_);
    button->setTriggerOnMain(true);
    button->setAction([action](QKButtonCell& sender) { action(sender.intValue() == 1); });
  };
  bindToggle(jogScratchButton_, [this](bool on) { jogScratchButtonUsed(on); });
  bindToggle(preserveAspectButton_, [this](bool on) { preserveAspectButtonUsed(on); });
  optionsButton_->setTarget(alive_);
  optionsButton_->setTriggerOnMain(true);
  optionsButton_->setAction([this](QKButtonCell&) { openOptionsPanel(); });
  connect(aspectRatioField_, &QLineEdit::editingFinished, this, [this] {
    bool ok = false;
    const double ratio = aspectRatioField_->text().toDouble(&ok);
    if (ok) aspectRatioFieldUsed(ratio);
  });
  opacitySlider_->setSliderName(QStringLiteral("Opacity"));
  tapMenu_->setButton(tapButton_);
  tapMenu_->setMyAction([this] { tapMenuUsed(); });
  tapMenu_->awakeFromNib();
  connect(rateButton_, &QKNSPopUpButton::activated, this,
          [this] { rateMenuUsed(rateButton_->indexOfSelectedItem()); });
  rateMenuUsed(rateButton_->indexOfSelectedItem());
  if (viewContainer_ && viewContainer_->height() > 0)
    aspectRatio_ = double(viewContainer_->width()) / double(viewContainer_->height());
  view_->setMouseHandler(
      {[this](QPointF p, QSizeF v, bool command) { viewMouseDown(p, v, command); },
       [this](QPointF p, QSizeF v) { viewMouseDragged(p, v); }, [this] { viewMouseUp(); }});
  if (compositor_) {
    compositor_->registerNewPreviewWindow(this);
    registered_ = true;
  }
  observers_.observe(QKPluginManager::kPluginDeletedNotification, nullptr,
                     [this](const Notification&) { closeOptionsPanel(); });
  if (QKWindow* w = window())
    observers_.observe(QStringLiteral("WSOBWindowFocusNotification"), w->contentView(),
                       [this](const Notification&) {
                         if (bringLayerToTopButton_ && bringLayerToTopButton_->intValue() == 1)
                           bringCurrentLayerToTopOfClosestBin();
                       });
}

void PreviewWindow::prepareToBeDeleted() {
  if (deleted()) return;
  closeOptionsPanel();
  endDrag();
  // A frame under way finishes first; later ones find the lock held, then
  // the preview gone from the compositor.
  std::unique_lock<std::mutex> lock(drawLock_, std::defer_lock);
  while (!lock.try_lock()) std::this_thread::yield();
  if (DataSourceController* dsc = dataSourceController())
    dsc->setDataSource(nullptr, {windowTitle()});
  xDS_.reset();
  yDS_.reset();
  clickDS_.reset();
  alive_.reset();
  if (opacitySlider_) {
    opacitySlider_->unlockMe();
    opacitySlider_->prepareToBeDeleted();
  }
  if (tapMenu_) tapMenu_->prepareToBeDeleted();
  if (compositor_ && registered_) compositor_->removeRegisteredPreviewWindow(this);
  registered_ = false;
  observers_.clear();
  if (rTap_) rTap_->prepareToBeDeleted();
  rTap_.reset();
  lock.unlock();
  QKPlugin::prepareToBeDeleted();
}

void PreviewWindow::setPluginName(const QString& name) {
  if (DataSourceController* dsc = dataSourceController())
    dsc->changeNameFrom({windowTitle()}, {name});
  QKPlugin::setPluginName(name);
}

// --- Frames (render thread) ------------------------------------------------------------------

void PreviewWindow::draw() {
  std::unique_lock<std::mutex> lock(drawLock_, std::try_to_lock);
  if (!lock.owns_lock() || collapsed()) return;
  if (++rateCounter_ < rate_.load()) return;
  rateCounter_ = 0;
  flushes_.fetch_add(1);
  if (view_)
    view_->flushOutput(
        [this](gl::GLContext& context, QSize pixels) { drawContent(context, pixels); });
}

void PreviewWindow::drawContent(gl::GLContext& context, QSize pixels) {
  gl::GLFunctions& f = context.functions();
  f.glClearColor(0, 0, 0, 1);
  f.glClear(GL_COLOR_BUFFER_BIT);
  if (sourceChosen_.load() && rTap_ && !tapShowsBlack()) {
    if (const gl::TextureHandle texture = rTap_->getTextureRef()) {
      const QRectF target = PreviewGeometry::fitRect(QSizeF(rTap_->sourceSize()), QSizeF(pixels),
                                                     preserveAspect_.load());
      gl::GLContext::Blend blend;
      blend.enabled = false;
      context.setBlend(blend);
      if (gl::QuadShader* quad = gl::QuadShader::forCurrentContext())
        quad->drawUpright(texture, target);
    }
  }
  if (postClickedColor_.exchange(false)) sampleColour(context, pixels);
}

// A layer with nothing to show yet (a new file's black frames, or no source)
// is previewed black; a group, or an input's tap, is drawn. On the render
// thread under the compositor's render lock, which keeps the layer tree
// still.
bool PreviewWindow::tapShowsBlack() const {
  if (!compositor_) return false;
  const Layer* layer = compositor_->findLayerByName(rTap_->lastSelectedTapName());
  if (!layer || layer->groupFlag()) return false;
  const VidSourceObject* source = layer->currentSource();
  return !source || source->blackFrame();
}

// The frame just drawn, before its swap: the 3 × 3 block around the click,
// kept inside the view.
void PreviewWindow::sampleColour(gl::GLContext& context, QSize pixels) {
  if (pixels.width() < 1 || pixels.height() < 1) return;
  const QPoint origin =
      PreviewGeometry::sampleOrigin(QPointF(glClickedX_.load(), glClickedY_.load()), pixels);
  const int w = std::min(3, pixels.width()), h = std::min(3, pixels.height());
  float rgba[3 * 3 * 4] = {};
  gl::GLFunctions& f = context.functions();
  f.glPixelStorei(GL_PACK_ALIGNMENT, 1);
  f.glReadPixels(origin.x(), origin.y(), w, h, GL_RGBA, GL_FLOAT, rgba);
  double sum[3] = {0, 0, 0};
  for (int i = 0; i < w * h; ++i)
    for (int c = 0; c < 3; ++c) sum[c] += rgba[i * 4 + c];
  const int count = w * h;
  const QColor colour =
      QColor::fromRgbF(float(sum[0] / count), float(sum[1] / count), float(sum[2] / count), 1.0f);
  MainThread::post([alive = std::weak_ptr<int>(alive_), self = this, colour] {
    if (!alive.lock()) return;
    NotificationCenter::defaultCenter().post(QString::fromLatin1(kClickColorNotification), self,
                                             QVariantMap{{kColorKey, colour}});
  });
}

// --- Controls --------------------------------------------------------------------------------

Layer* PreviewWindow::tapLayer() const {
  if (!compositor_ || tapName_.isEmpty()) return nullptr;
  return compositor_->findLayerByName(tapName_);
}

void PreviewWindow::tapMenuUsed() {
  if (!rTap_ || !tapMenu_) return;
  tapName_ = tapMenu_->lastSelectedName();
  rTap_->useTapNamed(tapName_.isEmpty() ? QKTapManager::kEmptyDeselectedString : tapName_);
  sourceChosen_.store(!tapName_.isEmpty());
  // The previous layer's opacity goes first.
  if (opacitySlider_) opacitySlider_->unlockMe();
  linkedLayer_.clear();
  if (Layer* layer = tapLayer()) {
    linkedLayer_ = tapName_;
    if (QKSliderControl* alpha = layer->alphaSlider(); alpha && opacitySlider_) {
      opacitySlider_->setValue(alpha->value(), false);
      alpha->lockThisSliderToMe(opacitySlider_);
    }
    followLayer(layer);
  }
}

void PreviewWindow::followLayer(Layer* layer) {
  if (!compMenuButton_ || !layer) return;
  const std::optional<QString> name = layer->compName();
  if (!name) return;
  const int index = compMenuButton_->findText(*name);
  if (index >= 0) compMenuButton_->setCurrentIndex(index);
}

void PreviewWindow::rateMenuUsed(int index) {
  const int rate = rateForIndex(index);
  if (rate <= 0) return;
  rate_.store(rate);
  // Returns once no drawing is under way.
  std::unique_lock<std::mutex> lock(drawLock_, std::defer_lock);
  while (!lock.try_lock()) std::this_thread::yield();
}

void PreviewWindow::compButtonUsed(int index) {
  Layer* layer = tapLayer();
  if (!layer || !compositor_ || !compMenuButton_) return;
  const QVariant data = compMenuButton_->itemData(index);
  const int listIndex = data.isValid() ? data.toInt() : index;
  if (LayerListModel::applyCompMode(*compositor_, *layer, listIndex))
    compositor_->updateLayerView();
}

void PreviewWindow::preserveAspectButtonUsed(bool on) { preserveAspect_.store(on); }

void PreviewWindow::jogScratchButtonUsed(bool on) { jogScratch_ = on; }

void PreviewWindow::aspectRatioFieldUsed(double ratio) {
  QKWindow* w = window();
  if (!w || !viewContainer_) return;
  const auto frame =
      PreviewGeometry::frameForAspect(w->frame(), QSizeF(viewContainer_->size()), ratio);
  if (!frame) return;
  aspectRatio_ = ratio;
  if (w->contentView()) w->contentView()->moveWindowToHere(*frame);
}

void PreviewWindow::matchPreviewedAspectUsed() {
  if (!rTap_) return;
  const QSizeF size = rTap_->sourceSize();
  if (size.width() <= 0 || size.height() <= 0) return;
  const double ratio = size.width() / size.height();
  if (aspectRatioField_) aspectRatioField_->setText(QString::number(ratio));
  aspectRatioFieldUsed(ratio);
}

void PreviewWindow::bringCurrentLayerToTopOfClosestBin() {
  QKWindow* w = window();
  if (w) LayerWindowTabView::bringLayerToTopOfClosestBin(tapLayer(), QRectF(w->geometry()));
}

void PreviewWindow::openOptionsPanel() {
  QKWindow* w = window();
  if (!optionsPanel_ || !w) return;
  if (viewContainer_ && viewContainer_->height() > 0 && aspectRatioField_)
    aspectRatioField_->setText(
        QString::number(double(viewContainer_->width()) / double(viewContainer_->height())));
  const QRect area = w->geometry();
  optionsPanel_->move(area.x() + (area.width() - optionsPanel_->width()) / 2, area.y() + 19);
  optionsPanel_->show();
  optionsPanel_->raise();
}

void PreviewWindow::closeOptionsPanel() {
  if (optionsPanel_ && optionsPanel_->isVisible()) optionsPanel_->hide();
}

// --- Mouse ------------------------------------------------------------------------------------

void PreviewWindow::setSource(const QString& key, float value) {
  if (key == QLatin1String("X") && xDS_) xDS_->setValue(value);
  if (key == QLatin1String("Y") && yDS_) yDS_->setValue(value);
  if (key == QLatin1String("Mouse") && clickDS_) clickDS_->setValue(value);
}

void PreviewWindow::viewMouseDown(QPointF point, QSizeF view, bool command) {
  if (view.width() <= 0 || view.height() <= 0) return;
  clickedLoc_ = point;
  glClickedX_.store(float(point.x()));
  glClickedY_.store(float(view.height() - point.y()));
  postClickedColor_.store(true);
  if (command || (bringLayerToTopButton_ && bringLayerToTopButton_->intValue() == 1))
    bringCurrentLayerToTopOfClosestBin();
  if (command) return;
  trackingDrag_ = false;
  Layer* layer = jogScratch_ ? tapLayer() : nullptr;
  if (MovieSource* movie = movieOf(layer)) {
    if (point.y() <= view.height() / 2.0) {
      if (movie->speedSlider()) {
        trackingDrag_ = true;
        clickedJog_ = true;
        initialVal_ = movie->speedSlider()->rangedValue();
      }
    } else if (const float position = movie->lastRangedTime(); position >= 0.0f) {
      // No scratch when the movie has no position.
      trackingDrag_ = true;
      clickedJog_ = false;
      wasPaused_ = movie->paused();
      if (movie->pauseToggle()) movie->pauseToggle()->setIntValue(0, true);
      initialVal_ = position;
    }
    if (trackingDrag_) clickedLayer_ = compositor_->sharedLayer(layer);
  }
  setSource(QStringLiteral("X"), float(point.x() / view.width()));
  setSource(QStringLiteral("Y"), float(1.0 - point.y() / view.height()));
  setSource(QStringLiteral("Mouse"), 1.0f);
}

void PreviewWindow::viewMouseDragged(QPointF point, QSizeF view) {
  if (view.width() <= 0 || view.height() <= 0) return;
  if (trackingDrag_) {
    MovieSource* movie = movieOf(clickedLayerInUse().get());
    if (!movie) {
      // The layer or its movie went mid-drag.
      trackingDrag_ = false;
    } else {
      const double dx = point.x() - clickedLoc_.x();
      if (clickedJog_) {
        if (movie->speedSlider())
          movie->speedSlider()->setValueWithRangedValue(float(initialVal_ + dx / 30.0), true);
      } else {
        movie->setRangedTimeMainThread(std::clamp(float(initialVal_ + dx / 60.0), 0.0f, 1.0f));
      }
    }
  }
  setSource(QStringLiteral("X"), float(point.x() / view.width()));
  setSource(QStringLiteral("Y"), float(1.0 - point.y() / view.height()));
  glClickedX_.store(float(point.x()));
  glClickedY_.store(float(view.height() - point.y()));
  postClickedColor_.store(true);
}

// The layer the drag began on while it is still in the compositor.
std::shared_ptr<Layer> PreviewWindow::clickedLayerInUse() const {
  std::shared_ptr<Layer> layer = clickedLayer_.lock();
  if (!layer || !compositor_ || !compositor_->containsLayer(layer.get())) return nullptr;
  return layer;
}

void PreviewWindow::endDrag() {
  if (trackingDrag_ && !clickedJog_)
    if (MovieSource* movie = movieOf(clickedLayerInUse().get()); movie && movie->pauseToggle())
      movie->pauseToggle()->setIntValue(wasPaused_ ? 0 : 1, true);
  trackingDrag_ = false;
  clickedLayer_.reset();
}

void PreviewWindow::viewMouseUp() {
  endDrag();
  setSource(QStringLiteral("Mouse"), 0.0f);
}

// --- Snapshot --------------------------------------------------------------------------------

QVariantMap PreviewWindow::createSnapshot() const {
  QVariantMap layer = tapMenu_ ? tapMenu_->createSnapshot() : QVariantMap();
  layer.insert(kComponentName, kPreviewedLayer);
  const QVariantList components{
      QVariantMap{{kComponentName, kPreviewRate}, {kRate, rate_.load()}}, layer,
      QVariantMap{
          {kComponentName, kSyncWithBin},
          {kBringLayerToTop, bringLayerToTopButton_ ? bringLayerToTopButton_->intValue() : 0}},
      QVariantMap{{kComponentName, kJogScratch}, {kJogScratchButton, jogScratch_ ? 1 : 0}},
      QVariantMap{{kComponentName, kPreserveAspect}, {kPreserveAspect, preserveAspect_.load()}}};
  return {{kSuperSnap, QKPlugin::createSnapshot()}, {kComponentArray, components}};
}

void PreviewWindow::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  const QVariant components = snapshot.value(kComponentArray);
  if (components.typeId() != QMetaType::QVariantList) return;
  for (const QVariant& entry : components.toList()) {
    if (!isMap(entry)) continue;
    const QVariantMap component = entry.toMap();
    const QString name = component.value(kComponentName).toString();
    if (name == kPreviewRate) {
      bool ok = false;
      const int rate = component.value(kRate).toInt(&ok);
      // A rate not offered leaves the selection.
      if (ok && rateButton_ && (rate == 2 || rate == 4 || rate == 8))
        rateButton_->selectItemWithTitle(QString::number(rate));
      if (rateButton_) rateMenuUsed(rateButton_->indexOfSelectedItem());
    } else if (name == kPreviewedLayer && tapMenu_) {
      tapMenu_->loadSnapshot(component);
    } else if (name == kSyncWithBin && bringLayerToTopButton_) {
      bringLayerToTopButton_->setIntValue(component.value(kBringLayerToTop).toInt(), false);
    } else if (name == kJogScratch) {
      const bool on = component.value(kJogScratchButton).toInt() == 1;
      if (jogScratchButton_) jogScratchButton_->setIntValue(on ? 1 : 0, false);
      jogScratchButtonUsed(on);
    } else if (name == kPreserveAspect) {
      const bool on = component.value(kPreserveAspect).toBool();
      if (preserveAspectButton_) preserveAspectButton_->setIntValue(on ? 1 : 0, false);
      preserveAspectButtonUsed(on);
    }
  }
}
