#include "app/compositor/Layer.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerCompContext.h"
#include "app/compositor/LayerFXShortcuts.h"
#include "app/compositor/LayerSizeController.h"
#include "app/compositor/LayerWindowController.h"
#include "app/effects/LayerChainManager.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/taps/QKTapManager.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/MutableTextureObject.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKCIGLContext.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/render/QKGLContext.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <thread>

const QString Layer::kCreateNotification = QStringLiteral("QKLayerCreateNotification");
const QString Layer::kDeleteNotification = QStringLiteral("QKLayerDeleteNotification");
const QString Layer::kNameChangeNotification = QStringLiteral("QKLayerNameChangeNotification");
const QString Layer::kTriggerFileNotification = QStringLiteral("QKLayerTriggerFileNotification");
const QString Layer::kSourceChangeNotification = QStringLiteral("QKLayerSourceChangeNotification");
const QString Layer::kCompModeChangeNotification =
    QStringLiteral("QKLayerCompModeChangeNotification");
const QString Layer::kBoundsChangedNotification =
    QStringLiteral("QKLayerBoundsChangedNotification");
const QString Layer::kOpacitiesHolder = QStringLiteral("Layer Opacities");
const QString Layer::kMovie = QStringLiteral("Movie");
const QString Layer::kQCPatch = QStringLiteral("QC patch");
const QString Layer::kVideoTap = QStringLiteral("Video Tap");
const QString Layer::kImage = QStringLiteral("Image");
const QString Layer::kWeb = QStringLiteral("Web");
const QString Layer::kNil = QStringLiteral("nil");

namespace {

const QString kDefaultCompFilter = QStringLiteral("CIAdditionCompositing");
const QString kMoviePosFormat = QStringLiteral("%1 moviePos");
const QString kZAPH = QStringLiteral("ZAPH");

// Index of each kind in the sources array, in the order they are made.
enum SourceIndex { QC = 0, MovieIdx, TapIdx, ImageIdx, WebIdx };

const QStringList& classKeys() {
  static const QStringList keys{VidSourceObject::kQCSource, VidSourceObject::kMovieSource,
                                VidSourceObject::kTapSource, VidSourceObject::kImageSource,
                                VidSourceObject::kWebSource};
  return keys;
}

const QStringList& sourceNames() {
  static const QStringList names{Layer::kQCPatch, Layer::kMovie, Layer::kVideoTap, Layer::kImage,
                                 Layer::kWeb};
  return names;
}

// A GL state the layer saves before drawing elsewhere and puts back.
struct BoundTarget {
  explicit BoundTarget(gl::GLContext* c) : context(c) {
    if (!context) return;
    framebuffer = context->boundFramebuffer();
    into = context->drawingInto();
    viewport = context->viewport();
    projection = context->projection();
  }
  void restore() const {
    if (!context) return;
    context->bindFramebuffer(framebuffer, into);
    context->setViewport(viewport);
    context->setProjection(projection);
  }
  gl::GLContext* context;
  GLuint framebuffer = 0;
  const gl::Texture* into = nullptr;
  QRect viewport;
  QMatrix4x4 projection;
};

QSizeF clampedLayerSize(QSizeF size) {
  const double limit = std::max(1, gl::TexturePool::shared().maxTextureSize());
  auto side = [limit](double v) {
    if (!std::isfinite(v) || v < 1) return 1.0;
    return std::min(v, limit);
  };
  return QSizeF(side(size.width()), side(size.height()));
}

}  // namespace

// A data-source target whose call can be cut: a delivery on the tick
// thread may hold the target after the layer has gone, so the call runs
// under a mutex and does nothing once cut.
class Layer::CallTarget : public DataSourceTarget {
 public:
  explicit CallTarget(std::function<void(DataSource*)> call) : call_(std::move(call)) {}
  void run(DataSource* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (call_) call_(source);
  }
  void cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = nullptr;
  }
  static DataSourceCall::Action action() {
    return [](DataSourceTarget& target, DataSource* source) {
      static_cast<CallTarget&>(target).run(source);
    };
  }

 private:
  std::mutex mutex_;
  std::function<void(DataSource*)> call_;
};

// --- Creation --------------------------------------------------------------------------------

Layer::Ptr Layer::create(const QString& name, Compositor* compositor,
                         LayerWindowController* window) {
  Ptr layer(new Layer(name, compositor, window));
  layer->awake();
  return layer;
}

Layer::Layer(const QString& name, Compositor* compositor, LayerWindowController* window)
    : uniqueID_(compositor->getUniqueID()),
      compositor_(compositor),
      name_(name),
      compName_(QStringLiteral("OpenGL Add")),
      compFilterName_(kDefaultCompFilter),
      parentWindow_(window),
      link_(std::make_shared<CutLink<Layer>>(this)) {
  alphaFilter_ = image::FilterRegistry::shared().filterWithName(QKFilterAlpha::kName);
  if (alphaFilter_)
    alphaFilter_->setDefaults();
  else
    Log::line("\t\terr: couldn't create alpha filter");
  qcCompContext_ = LayerCompContext::create(compositor->canvasSize());
  ciCompFilter_ = image::FilterRegistry::shared().filterWithName(kDefaultCompFilter);
}

void Layer::awake() {
  controlHolder_ = std::make_unique<QWidget>();
  sTap_ = QKSTap::create(this);
  loadSources();
  chain_ = compositor_->makeLayerChain(*this);
  shortcuts_ = std::make_unique<LayerFXShortcuts>(
      [this](const QString& name) { useFXChainPresetNamed(name); },
      [this] {
        if (parentWindow_ && !parentWindow_->deleted()) parentWindow_->reloadPresetShortcuts();
      });
  observers_.observe(QStringLiteral("QKPMRestoreStartNotification"), nullptr,
                     [this](const Notification&) { observeDeletedFiles(false); });
  observers_.observe(QStringLiteral("QKPMRestoreEndNotification"), nullptr,
                     [this](const Notification&) { observeDeletedFiles(true); });
  observeDeletedFiles(true);
  sizeController_ =
      std::make_unique<LayerSizeController>([this](const QRectF& canvas, const QRectF& window) {
        setCanvasActiveRect(canvas);
        setWindowActiveRect(window);
      });
  if (QWidget* panel = sizeController_->view()) panel->setParent(controlHolder_.get());
  sizeController_->setCanvasSize(compositor_->canvasSize());
  sizeController_->setDisplaySize(compositor_->displaySize());
  sizeController_->setCanvasPresentationMode(compositor_->canvasPresentationMode());
  setLayerSize(QSizeF(320, 240));
  makeOpacityControls();
  NotificationCenter::defaultCenter().post(kCreateNotification, this);
  makeOpacityDataSource();
  localPresetView_ = new QKLocalPresetView(controlHolder_.get());
  localPresetView_->resize(200, 15);
  localPresetView_->setCapacityTo(12);
  localPresetView_->setTarget(this);
}

void Layer::loadSources() {
  const auto& factories = compositor_->sourceClassDict();
  for (int i = 0; i < classKeys().size(); ++i) {
    const QString& key = classKeys()[i];
    auto it = factories.find(key);
    std::shared_ptr<VidSourceObject> source;
    if (it != factories.end() && it->second) source = it->second(key, *this);
    if (!source) source = std::make_shared<VidSourceObject>(key, this);
    sources_[i] = std::move(source);
  }
}

void Layer::makeOpacityControls() {
  alphaSlider_ = QKSliderControl::createWithFrame(QRectF(0, 0, 150, 25), controlHolder_.get());
  alphaSlider_->setMinRange(0.0f);
  alphaSlider_->setMaxRange(1.0f);
  alphaSlider_->setSliderName(QStringLiteral("Layer Opacity"));
  alphaSlider_->setDataSourceController(compositor_->dataSourceController());
  alphaSlider_->setValueWithRangedValue(1.0f, false);
  alphaButton_ = QKButton::createWithFrame(QRectF(150, 0, 50, 50), controlHolder_.get());
  alphaButton_->setButtonType(1);
  alphaButton_->setTriggerMode(1);
  alphaButton_->setTitle(QStringLiteral("Show"));
  alphaButton_->setTitle2(QStringLiteral("Hide"));
  alphaButton_->awakeFromNib();
  alphaButton_->setIntValue(1, false);
  // The controls act through the link, never on a layer that has gone.
  alphaSlider_->setTarget(std::weak_ptr<void>(link_));
  alphaButton_->setTarget(std::weak_ptr<const void>(link_));
  alphaSlider_->setAction(
      [link = link_](QKSliderCell&) { link->call([](Layer& layer) { layer.alphaSliderUsed(); }); });
  alphaButton_->setAction(
      [link = link_](QKButtonCell&) { link->call([](Layer& layer) { layer.alphaButtonUsed(); }); });
}

void Layer::makeOpacityDataSource() {
  DataSourceController* dsc = compositor_->dataSourceController();
  if (!dsc) return;
  if (!dsc->dataSourceForKeyArray({kOpacitiesHolder}))
    dsc->setDataSource(DataSourceHolder::createWithName(kOpacitiesHolder), {kOpacitiesHolder});
  opacityTarget_ = std::make_shared<CallTarget>([this](DataSource* source) {
    if (source) source->setValue(alphaVal_.load());
  });
  auto source = DSFloatFrequent::createWithName(layerName(), opacityTarget_, CallTarget::action());
  dsc->setDataSource(source, {kOpacitiesHolder, layerName()});
}

Layer::~Layer() {
  if (!deleted()) prepareToBeDeleted();
  observers_.clear();
  fileObservers_.clear();
  link_->cut();
  for (auto* target : {&opacityTarget_, &moviePosTarget_})
    if (*target) (*target)->cut();
  compositor_->layerSizeChangedFrom(layerSize(), QSizeF());
  if (current_.load() == sources_[MovieIdx].get())
    if (DataSourceController* dsc = compositor_->dataSourceController())
      dsc->setDataSource(nullptr, {kZAPH, kMoviePosFormat.arg(layerName())});
  // What a frame drew with goes after the frame.
  auto& arrays = DeferredReleaseArrays::shared();
  for (gl::TextureHandle* texture : {&bufferA_, &altA_, &bufferB_, &groupTexture_, &postFX_})
    if (*texture) arrays.addBuffer(std::make_shared<gl::TextureHandle>(std::move(*texture)));
  arrays.addRenderer(std::move(groupGLContext_));
  arrays.addRenderer(std::move(groupCIContext_));
  arrays.addRenderer(std::move(alphaFilter_));
  arrays.addRenderer(std::move(ciCompFilter_));
  sizeController_.reset();
  delete alphaSlider_.data();
  delete alphaButton_.data();
  delete localPresetView_.data();
  controlHolder_.reset();
}

QString Layer::description() const { return QStringLiteral("<Layer %1>").arg(layerName()); }

QString Layer::layerName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return name_;
}

QSizeF Layer::layerSize() const {
  std::lock_guard<std::mutex> lock(geometryMutex_);
  return geometry_.layerSize;
}

QKSliderControl* Layer::alphaSlider() const { return alphaSlider_; }
QKButton* Layer::alphaButton() const { return alphaButton_; }
QKLocalPresetView* Layer::localPresetView() const { return localPresetView_; }

// --- Opacity
// ---------------------------------------------------------------------------------------

void Layer::alphaSliderUsed() {
  if (!alphaSlider_) return;
  const float value = alphaSlider_->value();
  alphaVal_.store(value);
  if (deleted() || !alphaButton_) return;
  const int wanted = value > 0 ? 1 : 0;  // NaN is not above 0
  if (alphaButton_->intValue() != wanted) alphaButton_->setIntValue(wanted, false);
}

void Layer::alphaButtonUsed() {
  if (deleted() || !alphaButton_ || !alphaSlider_) return;
  const int state = alphaButton_->intValue();
  if (state != 0 && state != 1) return;
  const float value = state == 1 ? 1.0f : 0.0f;
  alphaSlider_->setValue(value, false);
  alphaVal_.store(value);
}

// --- Effects
// -------------------------------------------------------------------------------------------

bool Layer::addQCFXFromPath(const QString& path) {
  return addQCFXNamed(QFileInfo(path).fileName());
}

bool Layer::addQCFXNamed(const QString& name) {
  if (!chain_) return false;
  return chain_->appendEffect(LayerChainInterface::EffectKind::Composition, name,
                              QRectF(QPointF(0, 0), layerSize()));
}

bool Layer::addCIFXNamed(const QString& name) {
  if (!chain_) return false;
  return chain_->appendEffect(LayerChainInterface::EffectKind::Filter, name,
                              QRectF(QPointF(0, 0), layerSize()));
}

// --- Comp and rendering modes -------------------------------------------------------------------

void Layer::lockSpin() {
  while (!renderLock_.try_lock()) std::this_thread::yield();
}

void Layer::useCompModeNamed(const QString& name) {
  lockSpin();
  unlockedUseCompModeNamed(name);
  renderLock_.unlock();
}

// An unknown name keeps the filter the layer has (the comp step would
// otherwise drop everything below) but keeps the name, so that a save
// writes back what was asked for.
void Layer::unlockedUseCompModeNamed(const QString& name) {
  {
    std::lock_guard<std::mutex> lock(nameMutex_);
    compFilterName_ = name;
  }
  std::shared_ptr<image::Filter> filter = image::FilterRegistry::shared().filterWithName(name);
  if (!filter) {
    Log::limited(
        QStringLiteral("Layer.compFilter.") + name,
        QStringLiteral("\t\terr: no comp filter named %1: the layer keeps its own").arg(name), 1e9);
    return;
  }
  DeferredReleaseArrays::shared().addRenderer(std::move(ciCompFilter_));
  ciCompFilter_ = std::move(filter);
  if (groupRenderingMode() == 0 && compRenderingMode() == 0) setCompName(filterDisplayName());
}

QString Layer::compFilterName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return compFilterName_;
}

void Layer::useQCCompModeNamed(const QString& name) {
  lockSpin();
  unlockedUseQCCompModeNamed(name);
  renderLock_.unlock();
}

void Layer::unlockedUseQCCompModeNamed(const QString& name) {
  const QString path = QCUtils::pathForQCCompModeNamed(name);
  if (path.isEmpty()) return;
  if (!qcCompContext_) qcCompContext_ = LayerCompContext::create(compositor_->canvasSize());
  if (!qcCompContext_) return;
  qcCompContext_->useFile(path);
  if (groupRenderingMode() == 0 && compRenderingMode() == 1) setCompName(name);
}

CompModeContext* Layer::qcCompContext() { return qcCompContext_.get(); }

QString Layer::filterDisplayName() const {
  return image::FilterRegistry::shared().localizedNameForFilterName(
      ciCompFilter_ ? ciCompFilter_->name() : compFilterName());
}

QString Layer::compositionName() const {
  return qcCompContext_ ? QFileInfo(qcCompContext_->rendererPath()).fileName() : QString();
}

QString Layer::glCompName(GLenum factor) const {
  if (factor == kAddFactor) return QStringLiteral("OpenGL Add");
  if (factor == kOverFactor) return QStringLiteral("OpenGL Over");
  return {};
}

void Layer::setDFactor(GLenum factor) {
  if (dFactor_.exchange(factor) == factor) return;
  if (groupRenderingMode() != 1) return;
  const QString name = glCompName(factor);
  if (!name.isEmpty()) setCompName(name);
}

bool Layer::setContentsRenderingMode(int mode) {
  if (mode != 0 && mode != 1) {
    Log::line(QStringLiteral("\t\terr: rendering mode %1 refused").arg(mode));
    return false;
  }
  if (contentsMode_.exchange(mode) == mode) return true;
  for (const Ptr& child : children_) child->setGroupRenderingMode(mode);
  return true;
}

void Layer::setGroupRenderingMode(int mode) {
  if (mode != 0 && mode != 1) {
    Log::line(QStringLiteral("\t\terr: rendering mode %1 refused").arg(mode));
    return;
  }
  if (groupMode_.exchange(mode) == mode) return;
  if (mode == 0 && compRenderingMode() == 0) {
    setCompName(filterDisplayName());
  } else if (mode == 0) {
    const QString name = compositionName();
    setCompName(name.isEmpty() ? std::nullopt : std::optional<QString>(name));
  } else {
    const QString name = glCompName(dFactor());
    if (!name.isEmpty()) setCompName(name);
  }
}

bool Layer::setCompRenderingMode(int mode) {
  if (mode != 0 && mode != 1) {
    Log::line(QStringLiteral("\t\terr: comp rendering mode %1 refused").arg(mode));
    return false;
  }
  if (compMode_.exchange(mode) == mode) return true;
  if (groupRenderingMode() != 0) return true;
  if (mode == 0) {
    setCompName(filterDisplayName());
  } else {
    const QString name = compositionName();
    if (!name.isEmpty()) setCompName(name);
  }
  return true;
}

void Layer::setCompName(const std::optional<QString>& name) {
  {
    std::lock_guard<std::mutex> lock(nameMutex_);
    compName_ = name;
  }
  if (!name) return;
  NotificationCenter::defaultCenter().post(kCompModeChangeNotification, this);
  if (parentWindow_ && !parentWindow_->deleted() && MainThread::isMainThread())
    parentWindow_->updateSourceCompUI();
}

std::optional<QString> Layer::compName() const {
  std::lock_guard<std::mutex> lock(nameMutex_);
  return compName_;
}

// --- Tree
// ------------------------------------------------------------------------------------------------

void Layer::addThisLayer(const Ptr& layer) { addThisLayer(layer, int(children_.size())); }

void Layer::addThisLayer(const Ptr& layer, int index) {
  index = std::clamp(index, 0, int(children_.size()));
  children_.insert(children_.begin() + index, layer);
  layer->setParentLayer(this);
  layer->setGroupRenderingMode(contentsRenderingMode());
}

std::vector<Layer::Ptr>* Layer::parentArray() const {
  return parent_ ? &parent_->children_ : nullptr;
}

int Layer::parentContentsRenderingMode() const {
  return parent_ ? parent_->contentsRenderingMode() : compositor_->contentsRenderingMode();
}

bool Layer::deleteThisLayer(Layer* layer) {
  if (layer == this) {
    const Ptr self = compositor_->sharedLayer(this);  // alive to the end of this call
    prepareToBeDeleted();
    const int mode = parentContentsRenderingMode();
    if (parent_) {
      auto& siblings = parent_->children_;
      auto self = std::find_if(siblings.begin(), siblings.end(),
                               [this](const Ptr& p) { return p.get() == this; });
      const Ptr keep = self != siblings.end() ? *self : nullptr;  // until we are done
      const int index = int(self - siblings.begin());
      Layer* parent = parent_;
      parent_ = nullptr;
      for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        siblings.insert(siblings.begin() + index, *it);
        (*it)->setParentLayer(parent);
        (*it)->setGroupRenderingMode(mode);
      }
      children_.clear();
      siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
      return true;
    } else {
      compositor_->unlockedReplaceTopLevel(this, children_);
      for (const Ptr& child : children_) {
        child->setParentLayer(nullptr);
        child->setGroupRenderingMode(mode);
      }
      children_.clear();
    }
    parent_ = nullptr;
    return true;
  }
  if (!groupFlag()) return false;
  for (const Ptr& child : std::vector<Ptr>(children_))
    if (child->deleteThisLayer(layer)) return true;
  return false;
}

Layer::Ptr Layer::removeChild(const Layer* layer) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [layer](const Ptr& child) { return child.get() == layer; });
  if (it == children_.end()) return nullptr;
  Ptr child = *it;
  children_.erase(it);
  child->setParentLayer(nullptr);
  return child;
}

bool Layer::isThisMyChild(const Layer* layer) const {
  return std::any_of(children_.begin(), children_.end(),
                     [layer](const Ptr& child) { return child.get() == layer; });
}

bool Layer::containsThisLayer(const Layer* layer) const {
  if (layer == this) return true;
  bool found = false;
  for (const Ptr& child : children_) found = child->containsThisLayer(layer) || found;
  return found;
}

bool Layer::containsLayer(const Layer* layer) const {
  if (!layer) return false;
  if (layer == this) return true;
  if (children_.empty()) return false;
  if (isThisMyChild(layer)) return true;
  return std::any_of(children_.begin(), children_.end(),
                     [layer](const Ptr& child) { return child->containsLayer(layer); });
}

Layer* Layer::findLayerByUniqueID(long id) {
  if (uniqueID_ == id) return this;
  for (const Ptr& child : children_)
    if (Layer* found = child->findLayerByUniqueID(id)) return found;
  return nullptr;
}

Layer* Layer::findLayerByName(const QString& name) {
  if (layerName() == name) return this;
  for (const Ptr& child : children_)
    if (Layer* found = child->findLayerByName(name)) return found;
  return nullptr;
}

bool Layer::checkForName(const QString& name) const {
  for (const Ptr& child : children_) {
    if (child->layerName() == name) return true;
    if (child->groupFlag() && child->checkForName(name)) return true;
  }
  return false;
}

int Layer::returnNumberOfSublayersInWindow() const {
  int count = 1;
  for (const Ptr& child : children_)
    if (child->parentWindow() == parentWindow_) count += child->returnNumberOfSublayersInWindow();
  return count;
}

void Layer::setGroupFlag(bool flag) {
  if (groupFlag_.load() == flag) return;
  if (flag) {
    // The sources are ejected but kept: a layer made a group and back can
    // play again.
    for (int i : {MovieIdx, QC, ImageIdx, WebIdx}) sources_[i]->eject();
    setLayerSize(compositor_->canvasSize());
    useSourceNamed(kNil);
    groupFlag_.store(true);
    initialized_ = false;
    needsReshape_.store(true);
  } else {
    groupFlag_.store(false);
    DeferredReleaseArrays::shared().addRenderer(std::move(groupGLContext_));
    DeferredReleaseArrays::shared().addRenderer(std::move(groupCIContext_));
  }
}

bool Layer::setLayerName(const QString& name) {
  if (name.isEmpty()) {
    Log::line("\t\terr: a layer cannot be renamed to an empty name");
    return false;
  }
  if (compositor_->isLayerNameUsed(name)) return false;
  const QString old = layerName();
  if (DataSourceController* dsc = compositor_->dataSourceController()) {
    dsc->changeNameFrom({kOpacitiesHolder, old}, {kOpacitiesHolder, name});
    if (current_.load() == sources_[MovieIdx].get())
      dsc->changeNameFrom({kZAPH, kMoviePosFormat.arg(old)}, {kZAPH, kMoviePosFormat.arg(name)});
  }
  {
    std::lock_guard<std::mutex> lock(nameMutex_);
    name_ = name;
  }
  if (sTap_) sTap_->changeTapNameTo(name);
  NotificationCenter::defaultCenter().post(
      kNameChangeNotification, nullptr,
      {{QStringLiteral("newName"), name}, {QStringLiteral("oldName"), old}});
  if (parentWindow_ && !parentWindow_->deleted()) parentWindow_->reloadTabRects();
  compositor_->updateLayerView();
  return true;
}

void Layer::addToThisWindow(LayerWindowController* window) {
  if (parentWindow_ || !window) return;
  window->layerArray().push_back(this);
  parentWindow_ = window;
  for (const Ptr& child : children_)
    if (!child->parentWindow()) child->addToThisWindow(window);
}

void Layer::removeFromParentWindow() {
  if (!parentWindow_) return;
  auto& layers = parentWindow_->layerArray();
  layers.erase(std::remove(layers.begin(), layers.end(), this), layers.end());
  for (const Ptr& child : children_)
    if (child->parentWindow() == parentWindow_) child->removeFromParentWindow();
  parentWindow_ = nullptr;
}

void Layer::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  if (parentWindow_) parentWindow_->layerDeleted(this);
  if (DataSourceController* dsc = compositor_->dataSourceController())
    dsc->setDataSource(nullptr, {kOpacitiesHolder, layerName()});
  if (opacityTarget_) opacityTarget_->cut();
  if (chain_) chain_->prepareToBeDeleted();
  if (shortcuts_) shortcuts_->prepareToBeDeleted();
  if (sTap_) {
    sTap_->prepareToBeDeleted();
    // A frame may be reading it: let go under the layer's lock.
    std::shared_ptr<QKSTap> tap;
    lockSpin();
    tap.swap(sTap_);
    renderLock_.unlock();
  }
  for (int i : {QC, TapIdx, WebIdx, ImageIdx, MovieIdx}) sources_[i]->eject();
  for (int i : {MovieIdx, WebIdx, QC, ImageIdx, TapIdx}) sources_[i]->prepareToBeDeleted();
  if (qcCompContext_) qcCompContext_->prepareToBeDeleted();
  if (localPresetView_) localPresetView_->prepareToBeDeleted();
  if (alphaSlider_) alphaSlider_->prepareToBeDeleted();
  if (alphaButton_) alphaButton_->prepareToBeDeleted();
  if (sizeController_) sizeController_->prepareToBeDeleted();
}

// --- Sources
// -------------------------------------------------------------------------------------------

VidSourceObject* Layer::sourceOfKind(const QString& classKey) const {
  const int index = int(classKeys().indexOf(classKey));
  return index < 0 ? nullptr : sources_[index].get();
}

QString Layer::currentSourceAsString() const {
  VidSourceObject* current = current_.load();
  for (int i = 0; i < 5; ++i)
    if (sources_[i].get() == current) return sourceNames()[i];
  return kNil;
}

void Layer::useSourceNamed(const QString& name) {
  VidSourceObject* current = current_.load();
  if (current && name != kNil && name == currentSourceAsString()) return;
  const int index = int(sourceNames().indexOf(name));
  if (name != kNil && index < 0) {
    Log::line(QStringLiteral("\t\terr: layer %1 has no source named %2").arg(layerName(), name));
    return;
  }
  DataSourceController* dsc = compositor_->dataSourceController();
  if (current) {
    if (current == sources_[MovieIdx].get() || current == sources_[TapIdx].get()) current->stop();
    current->eject();
    if (current == sources_[MovieIdx].get()) {
      if (moviePosTarget_) moviePosTarget_->cut();
      if (dsc) dsc->setDataSource(nullptr, {kZAPH, kMoviePosFormat.arg(layerName())});
    }
  }
  if (name == kNil) {
    current_.store(nullptr);
  } else {
    VidSourceObject* next = sources_[index].get();
    if (index == WebIdx) next->refresh();
    current_.store(next);
    if (index == TapIdx) next->start();
    if (index == MovieIdx && dsc) {
      VidSourceObject* source = next;
      moviePosTarget_ =
          std::make_shared<CallTarget>([source](DataSource* s) { source->setDataSource(s); });
      dsc->setDataSource(DSFloatFrequent::createWithName(kMoviePosFormat.arg(layerName()),
                                                         moviePosTarget_, CallTarget::action()),
                         {kZAPH, kMoviePosFormat.arg(layerName())});
    }
  }
  updateFXChainFilePath();
  MainThread::post([link = link_] {
    link->call([](Layer& layer) {
      if (!layer.deleted()) layer.displayGeneralSource();
    });
  });
  NotificationCenter::defaultCenter().post(kSourceChangeNotification, this);
}

QString Layer::sourceNameForFile(const QKFile& file) const {
  switch (file.qkFileType()) {
    case QKFile::kMovieKind:
      return kMovie;
    case QKFile::kCompositionKind:
    case QKFile::kTextKind:
      return kQCPatch;
    case QKFile::kTapKind:
      return kVideoTap;
    case QKFile::kWebKind:
      return kWeb;
    case QKFile::kImageKind:
      break;
    default:
      return {};
  }
  const auto* image = dynamic_cast<const QKImageFile*>(&file);
  switch (image ? image->useImageSource() : 0) {
    case 1:
      return kQCPatch;
    case 2: {
      const QString style = sources_[QC]->lastImageStyleName();
      return style.isNull() || style == QKImageFile::kBuiltInPlayer ? kImage : kQCPatch;
    }
    default:
      return kImage;
  }
}

void Layer::triggerFile(const std::shared_ptr<QKFile>& file) {
  if (!file) {
    updateFXChainFilePath();
    return;
  }
  VidSourceObject* current = current_.load();
  if (auto playing = std::dynamic_pointer_cast<VidSourceObject>(file->currentSource());
      playing && playing.get() != current)
    playing->eject();
  const std::shared_ptr<QKFile> oldFile = current ? current->currentFile() : nullptr;
  const QString target = sourceNameForFile(*file);
  if (!target.isEmpty()) {
    if (target != currentSourceAsString()) {
      const bool replacedShowedPicture = current && !current->blackFrame();
      useSourceNamed(target);
      if (replacedShowedPicture && current_.load()) current_.load()->setBlackFrame(false);
    }
    if (target == kImage) sources_[QC]->setLastImageStyleName(QKImageFile::kBuiltInPlayer);
    if (VidSourceObject* now = current_.load()) now->loadThisFile(file);
  }
  if (sTap_)
    if (const auto stub = sTap_->stub()) stub->boundsChanged();
  QVariantMap info{{QStringLiteral("newFile"), QVariant::fromValue(file)}};
  if (oldFile) info.insert(QStringLiteral("oldFile"), QVariant::fromValue(oldFile));
  NotificationCenter::defaultCenter().post(kTriggerFileNotification, this, info);
  updateFXChainFilePath();
}

void Layer::unlockedTriggerFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) {
    Log::line("\t\terr- attempted to unlock trigger on deleted layer");
    return;
  }
  // A source restored from a snapshot triggers its file here while the
  // restore already holds the render lock.
  if (loadingSourceUnderRenderLock_) {
    triggerFile(file);
  } else {
    compositor_->lockForRender();
    triggerFile(file);
    compositor_->unlockRender();
  }
  checkVideoInput();
}

void Layer::checkVideoInput() {
  VidSourceObject* current = current_.load();
  if (!current || current != sources_[QC].get() || !current->refusedVideoInput()) return;
  current->eject();
  if (compositor_->willFullscreenHideAModal()) return;
  MainThread::post([] {
    Alert::show(QStringLiteral("Hang on a second...."),
                QStringLiteral("This Quartz Composer composition can't be loaded because it "
                               "contains a video input object- please remove the input from the "
                               "patch and try again."),
                {QStringLiteral("Okay")});
  });
}

void Layer::updateFXChainFilePath() {
  if (!chain_) return;
  VidSourceObject* now = current_.load();
  const QString path = now ? now->currentPath() : QString();
  chain_->setLayerFilePathForQCFX(path.isEmpty() ? QStringLiteral(" ") : path);
}

bool Layer::useTapNamed(const QString& name) {
  VidSourceObject* current = current_.load();
  const bool bound =
      current && current->name() == VidSourceObject::kTapSource && current->useTapNamed(name);
  updateFXChainFilePath();
  if (parentWindow_ && !parentWindow_->deleted()) parentWindow_->reloadTabRects();
  return bound;
}

bool Layer::checkForSourceNamed(const QString& name) const {
  std::vector<const Layer*> visited;
  return checkForSourceNamed(name, visited);
}

// The visited list ends the walk should a restore or a rename ever close a
// loop of taps.
bool Layer::checkForSourceNamed(const QString& name, std::vector<const Layer*>& visited) const {
  if (std::find(visited.begin(), visited.end(), this) != visited.end()) return false;
  visited.push_back(this);
  VidSourceObject* current = current_.load();
  if (!current || current != sources_[TapIdx].get()) return false;
  const QString tapped = current->receivingTapName();
  if (tapped == name) return true;
  QKTapManager* taps = compositor_->tapManager();
  const auto* sender = taps ? dynamic_cast<const Layer*>(taps->layerForSTapNamed(tapped)) : nullptr;
  return sender && sender->checkForSourceNamed(name, visited);
}

QImage Layer::layerThumb() const {
  std::vector<const Layer*> visited;
  return layerThumb(visited);
}

QImage Layer::layerThumb(std::vector<const Layer*>& visited) const {
  if (std::find(visited.begin(), visited.end(), this) != visited.end()) return {};
  visited.push_back(this);
  if (groupFlag()) return compositor_->layerTabGroupImage();
  VidSourceObject* current = current_.load();
  if (!current) return {};
  if (current == sources_[TapIdx].get()) {
    const auto* sender = dynamic_cast<const Layer*>(current->tappedLayer());
    return sender ? sender->layerThumb(visited) : QImage();
  }
  const std::shared_ptr<QKFile> file = current->currentFile();
  return file ? file->posterImage() : QImage();
}

void Layer::fxChainModified() {
  if (parentWindow_ && !parentWindow_->deleted()) parentWindow_->reloadTabRects();
}

void Layer::displayGeneralSource() {
  if (deleted()) {
    Log::line("err:\t\tattempted display general source after layer was deleted");
    return;
  }
  if (!parentWindow_ || parentWindow_->deleted()) return;
  if (parentWindow_->currentlyDisplayedLayer() == this) parentWindow_->updateSourceCompUI();
  parentWindow_->reloadTabRects();
}

void Layer::observeDeletedFiles(bool observe) {
  fileObservers_.clear();
  if (!observe) return;
  fileObservers_.observe(QStringLiteral("QKMBFileFolderDeletedNotification"), nullptr,
                         [this](const Notification& n) { fileFolderDeleted(n); });
}

// The notification comes on the poster's thread: the switch happens on the
// main thread under the render lock.
void Layer::fileFolderDeleted(const Notification& notification) {
  const void* file = notification.object;
  MainThread::run([link = link_, file] {
    link->call([file](Layer& layer) {
      VidSourceObject* current = layer.current_.load();
      if (layer.deleted() || !current || !current->currentFile() ||
          current->currentFile().get() != file)
        return;
      layer.compositor_->spinRenderLock();
      layer.useSourceNamed(kNil);
      layer.compositor_->unlockRenderLock();
    });
  });
}

// --- Frame
// -----------------------------------------------------------------------------------------

void Layer::takeFrameCopies() {
  renderAlphaVal_ = alphaVal_.load();
  std::lock_guard<std::mutex> lock(geometryMutex_);
  frame_ = geometry_;
  frame_.sizeMode = sizeController_ ? sizeController_->layerSizeMode() : 0;
}

void Layer::lockForRender() {
  renderLock_.lock();
  takeFrameCopies();
  if (chain_) chain_->lockForRender();
  for (const Ptr& child : children_) child->lockForRender();
}

bool Layer::tryLockForRender() {
  if (!renderLock_.try_lock()) return false;
  if (chain_ && !chain_->tryLockForRender()) {
    renderLock_.unlock();
    return false;
  }
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (children_[i]->tryLockForRender()) continue;
    while (i-- > 0) children_[i]->unlockRender();
    if (chain_) chain_->unlockRender();
    renderLock_.unlock();
    return false;
  }
  takeFrameCopies();
  return true;
}

void Layer::unlockRender() {
  for (const Ptr& child : children_) child->unlockRender();
  if (chain_) chain_->unlockRender();
  renderLock_.unlock();
}

bool Layer::needsToBeProcessed() const {
  if (sTap_ && sTap_->stub()) return true;
  if (parent_ && !parent_->needsToBeProcessed()) return false;
  return renderAlphaVal_ != 0.0f;  // NaN passes
}

void Layer::render(const gl::DisplayLink::Frame& frame) {
  groupTexture_.reset();
  if (deleted()) return;
  VidSourceObject* current = current_.load();
  if (!needsToBeProcessed()) {
    if (current && current == sources_[MovieIdx].get()) {
      current->skippedRenderTask(frame);
      return;
    }
    for (const Ptr& child : children_) child->render(frame);
    return;
  }
  std::swap(bufferA_, altA_);
  if (groupFlag()) {
    gl::GLContext* context = gl::GLContext::current();
    if (!groupGLContext_)
      groupGLContext_ = QKGLContext::create(context, &gl::TexturePool::shared(), frame_.layerSize);
    if (!groupCIContext_)
      groupCIContext_ =
          QKCIGLContext::create(context, &gl::TexturePool::shared(), frame_.layerSize);
    initialized_ = true;
    if (needsReshape_.load()) remakeBuffers();
    for (const Ptr& child : children_) child->render(frame);
    return;
  }
  if (needsReshape_.load()) remakeBuffers();
  if (current) current->render(frame);
}

void Layer::remakeBuffers() {
  needsReshape_.store(false);
  auto& arrays = DeferredReleaseArrays::shared();
  for (gl::TextureHandle* buffer : {&bufferA_, &altA_, &bufferB_})
    if (*buffer) arrays.addBuffer(std::make_shared<gl::TextureHandle>(std::move(*buffer)));
  const QSize size(int(frame_.layerSize.width()), int(frame_.layerSize.height()));
  bufferA_ = gl::TexturePool::shared().acquire(size);
  altA_ = gl::TexturePool::shared().acquire(size);
  bufferB_ = gl::TexturePool::shared().acquire(size);
  if (!bufferA_)
    Log::limited(QStringLiteral("Layer.bufferA"),
                 QStringLiteral("\t\terr while creating buffer A ref for layer %1 sized %2 x %3")
                     .arg(layerName())
                     .arg(size.width())
                     .arg(size.height()));
  if (groupGLContext_) groupGLContext_->setSize(frame_.layerSize);
  if (groupCIContext_) groupCIContext_->setSize(frame_.layerSize);
  ++bufferGeneration_;
}

bool Layer::hasContent() const {
  VidSourceObject* current = current_.load();
  if (!current) return groupFlag();
  if (current->blackFrame()) return false;
  if (current == sources_[TapIdx].get() || current == sources_[WebIdx].get()) return true;
  return current->hasFile();
}

void Layer::drawToBuffer() {
  if (groupFlag()) {
    if (contentsRenderingMode() == 0)
      drawCIGroupToBuffer();
    else if (contentsRenderingMode() == 1)
      drawGLGroupToBuffer();
    return;
  }
  const std::shared_ptr<QKRTapStub> stub = sTap_ ? sTap_->stub() : nullptr;
  VidSourceObject* current = current_.load();
  if (!current || ((current == sources_[MovieIdx].get() || current == sources_[QC].get()) &&
                   !current->hasFile())) {
    postFX_.reset();
    return;
  }
  const gl::TextureHandle texture = current->currentTexture();
  if (!texture) return;  // keeps last frame's image
  postFX_.reset();
  const QVariantMap dict = compositor_->bufferPool().dictionaryFor(frame_.layerSize);
  if (dict.isEmpty()) {
    Log::limited(QStringLiteral("Layer.sizeDict"),
                 QStringLiteral("\t\terr: layer sizeDict was nil"));
    return;
  }
  auto object = MutableTextureObject::create(texture, dict);
  if (!object) {
    Log::limited(QStringLiteral("Layer.handMeDown"),
                 QStringLiteral("\t\terr: layer handMeDown was nil"));
    return;
  }
  if (current == sources_[WebIdx].get()) object->setQuestionableColors(true);
  finishWithChain(object, stub);
}

void Layer::finishWithChain(const std::shared_ptr<MutableTextureObject>& object,
                            const std::shared_ptr<QKRTapStub>& stub) {
  if (chain_) {
    BoundTarget bound(gl::GLContext::current());
    chain_->passPtrThruChain(*object);
    bound.restore();
  }
  postFX_ = object->textureRef();
  if (stub) {
    stub->setTextureRef(postFX_);
    stub->setQuestionableColors(object->questionableColors());
  }
}

void Layer::drawGLGroupToBuffer() {
  groupTexture_.reset();
  if (!groupGLContext_ || !bufferA_) return;
  const std::shared_ptr<QKRTapStub> stub = sTap_ ? sTap_->stub() : nullptr;
  BoundTarget bound(gl::GLContext::current());
  groupGLContext_->setPBufferRef(bufferA_);
  groupGLContext_->render();
  if (!groupGLContext_->attachPBuffer()) {
    bound.restore();
    return;
  }
  groupGLContext_->context().clear(QVector4D(0, 0, 0, 0));
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) (*it)->drawGLContent();
  groupGLContext_->setPBufferRef(gl::TextureHandle());
  bound.restore();
  groupTexture_ = bufferA_.withFlipped(false);
  const QVariantMap dict = compositor_->bufferPool().dictionaryFor(frame_.layerSize);
  if (dict.isEmpty()) {
    Log::limited(QStringLiteral("Layer.groupSizeDict"),
                 QStringLiteral("\t\terr: group sizeDict was nil"));
    return;
  }
  auto object = MutableTextureObject::create(groupTexture_, dict);
  if (!object) {
    Log::limited(QStringLiteral("Layer.groupHandMeDown"),
                 QStringLiteral("\t\terr: handMeDown was nil"));
    return;
  }
  finishWithChain(object, stub);
}

void Layer::drawCIGroupToBuffer() {
  if (!groupCIContext_ || !bufferA_) return;
  const std::shared_ptr<QKRTapStub> stub = sTap_ ? sTap_->stub() : nullptr;
  const QVariantMap dict = compositor_->bufferPool().dictionaryFor(frame_.layerSize);
  if (dict.isEmpty()) return;
  auto object = MutableTextureObject::create(gl::TextureHandle(), dict);
  if (!object) return;
  BoundTarget bound(gl::GLContext::current());
  image::Image accumulated;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    Layer& child = **it;
    const float opacity = child.renderAlphaVal();
    const image::Image picture = child.drawAndGetCIContentForCanvas();
    if (picture.isNull() || opacity == 0.0f) continue;
    accumulated = Compositor::compositeLayerImage(child, picture, opacity, accumulated,
                                                  frame_.layerSize, [&object] {
                                                    gl::TextureHandle next = object->bufferARef();
                                                    object->rotateXBuffers(1);
                                                    return next;
                                                  });
  }
  groupCIContext_->setPBufferRef(bufferA_);
  groupCIContext_->render();
  groupCIContext_->drawImage(accumulated);
  groupCIContext_->setPBufferRef(gl::TextureHandle());
  bound.restore();
  object->setTextureRef(groupCIContext_->textureRef());
  finishWithChain(object, stub);
}

void Layer::drawGLContent() {
  if (renderAlphaVal_ == 0.0f || !hasContent()) return;
  gl::GLContext* context = gl::GLContext::current();
  if (!context) return;
  const BoundTarget bound(context);
  if (!(sTap_ && sTap_->stub())) {
    drawToBuffer();
    bound.restore();
  }
  if (!postFX_) return;
  gl::QuadShader* quad = gl::QuadShader::forCurrentContext();
  if (!quad) return;
  context->setBlend(gl::GLContext::Blend{true, GLenum(sFactor()), GLenum(dFactor())});
  const QRectF rect = depth() == 0 ? frame_.windowActiveRect : frame_.canvasActiveRect;
  // The rectangles have y upward; the targets' projections run downward.
  QMatrix4x4 upward;
  upward.scale(1, -1, 1);
  context->setProjection(upward * bound.projection);
  // The picture's bottom row sits at the rectangle's lower edge.
  const float w = float(frame_.layerSize.width()), h = float(frame_.layerSize.height());
  const gl::QuadShader::TexCoords tex = postFX_.isFlipped() ? gl::QuadShader::TexCoords{0, h, w, 0}
                                                            : gl::QuadShader::TexCoords{0, 0, w, h};
  quad->draw(postFX_, rect, tex, QVector4D(1, 1, 1, renderAlphaVal_), false,
             frame_.sizeMode == LayerSizeController::OneToOne);
  context->setProjection(bound.projection);
}

image::Image Layer::drawAndGetCIContentForCanvas() {
  if (!hasContent()) return {};
  if (!(sTap_ && sTap_->stub()) && renderAlphaVal_ != 0.0f) {
    const BoundTarget bound(gl::GLContext::current());
    drawToBuffer();
    bound.restore();
  }
  if (!postFX_) return {};
  return image::Image::fromTexture(postFX_).byApplyingTransform(frame_.canvasPositionTransform);
}

// --- Size and position
// -------------------------------------------------------------------------------

void Layer::setLayerSize(QSizeF size) {
  size = clampedLayerSize(size);
  QSizeF old;
  {
    std::lock_guard<std::mutex> lock(geometryMutex_);
    old = geometry_.layerSize;
    geometry_.layerSize = size;
  }
  compositor_->layerSizeChangedFrom(old, size);
  needsReshape_.store(true);
  if (chain_) chain_->setActiveRect(QRectF(QPointF(0, 0), size));
  if (sizeController_) sizeController_->setLayerSize(size);
}

void Layer::canvasSizeChanged(QSizeF size) {
  if (groupFlag()) {
    for (const Ptr& child : children_) child->canvasSizeChanged(size);
    setLayerSize(size);
  }
  if (sizeController_) sizeController_->setCanvasSize(size);
  if (qcCompContext_) qcCompContext_->setSize(parent_ ? parent_->layerSize() : size);
}

void Layer::setCanvasActiveRect(const QRectF& rect) {
  if (deleted()) return;
  {
    std::lock_guard<std::mutex> lock(geometryMutex_);
    geometry_.canvasActiveRect = rect;
    const QSizeF size = geometry_.layerSize;
    if (size.width() > 0 && size.height() > 0)
      geometry_.canvasPositionTransform = QTransform(
          rect.width() / size.width(), 0, 0, rect.height() / size.height(), rect.x(), rect.y());
  }
  if (sTap_) sTap_->boundsChanged();
  NotificationCenter::defaultCenter().post(kBoundsChangedNotification, this);
}

QRectF Layer::canvasActiveRect() const {
  std::lock_guard<std::mutex> lock(geometryMutex_);
  return geometry_.canvasActiveRect;
}

void Layer::setWindowActiveRect(const QRectF& rect) {
  std::lock_guard<std::mutex> lock(geometryMutex_);
  geometry_.windowActiveRect = rect;
}

QRectF Layer::windowActiveRect() const {
  std::lock_guard<std::mutex> lock(geometryMutex_);
  return geometry_.windowActiveRect;
}

QTransform Layer::canvasPositionTransform() const {
  std::lock_guard<std::mutex> lock(geometryMutex_);
  return geometry_.canvasPositionTransform;
}

void Layer::setDisplaySize(QSizeF size) {
  if (sizeController_) sizeController_->setDisplaySize(size);
  for (const Ptr& child : children_) child->setDisplaySize(size);
}

void Layer::setCanvasPresentationMode(long mode) {
  if (sizeController_) sizeController_->setCanvasPresentationMode(mode);
  for (const Ptr& child : children_) child->setCanvasPresentationMode(mode);
}

int Layer::setOrderedLayerIndex(int index, int depth, bool recompute) {
  orderedIndex_.store(index);
  depth_.store(depth);
  if (recompute) recomputeRects();
  int next = index + 1;
  for (const Ptr& child : children_) next = child->setOrderedLayerIndex(next, depth + 1, recompute);
  return next;
}

void Layer::recomputeRects() {
  if (sizeController_) sizeController_->buttonUsed(nullptr);
}

void Layer::idleCallback() {
  std::lock_guard<std::mutex> lock(renderLock_);
  if (groupFlag()) {
    for (const Ptr& child : children_) child->idleCallback();
    return;
  }
  VidSourceObject* current = current_.load();
  if (current && current == sources_[MovieIdx].get()) {
    std::weak_ptr<VidSourceObject> movie = sources_[MovieIdx];
    MainThread::post([movie] {
      if (auto source = movie.lock()) source->movieTaskNow();
    });
  }
}

// --- Snapshots
// ------------------------------------------------------------------------------------

namespace {

const QString kLayerName = QStringLiteral("layerName");
const QString kGroupFlag = QStringLiteral("groupFlag");
const QString kParentLayerName = QStringLiteral("parentLayerName");
const QString kAlphaSlider = QStringLiteral("alphaSlider");
const QString kAlphaButton = QStringLiteral("alphaButton");
const QString kLayerArray = QStringLiteral("layerArray");
const QString kCompFilterName = QStringLiteral("compFilterName");
const QString kQCCompFilterName = QStringLiteral("qcCompFilterName");
const QString kDFactor = QStringLiteral("dFactor");
const QString kContentsMode = QStringLiteral("contentsRenderingMode");
const QString kGroupMode = QStringLiteral("groupRenderingMode");
const QString kCompMode = QStringLiteral("compRenderingMode");
const QString kSourceDict = QStringLiteral("sourceDict");
const QString kSourceType = QStringLiteral("sourceType");
const QString kMovieSourceDict = QStringLiteral("movieSourceDict");
const QString kQCSourceDict = QStringLiteral("qcSourceDict");
const QString kWebSourceDict = QStringLiteral("webSourceDict");
const QString kSizeController = QStringLiteral("sizeController");
const QString kFXChainSnapshot = QStringLiteral("fxChainSnapshot");
const QString kPresetShortcutsDict = QStringLiteral("presetShortcutsDict");
const QString kLocalPresetView = QStringLiteral("localPresetView");

// A number of any stored kind, else none (a value of the wrong type is
// ignored, never read as 0).
std::optional<int> storedInt(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
      return int(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
      const double number = value.toDouble();
      if (!std::isfinite(number) || std::abs(number) > 1e9) return std::nullopt;
      return int(number);
    }
    default:
      return std::nullopt;
  }
}

std::optional<QVariantMap> storedMap(const QVariantMap& snapshot, const QString& key) {
  const QVariant value = snapshot.value(key);
  if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
  return value.toMap();
}

std::optional<QString> storedString(const QVariantMap& snapshot, const QString& key) {
  const QVariant value = snapshot.value(key);
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

void insertUnlessEmpty(QVariantMap& snapshot, const QString& key, const QVariantMap& value) {
  if (!value.isEmpty()) snapshot.insert(key, value);
}

// Source type → the source to switch to and the other sources loaded
// besides (without their files, but for the composition source).
struct SourceRestore {
  const char* type;
  SourceIndex current;
  std::initializer_list<SourceIndex> besides;
};
const SourceRestore kSourceRestores[] = {
    {"movieSource", MovieIdx, {QC, WebIdx}},           {"qcSource", QC, {MovieIdx, WebIdx}},
    {"tapSource", TapIdx, {MovieIdx, QC, WebIdx}},     {"webSource", WebIdx, {MovieIdx, QC}},
    {"imageSource", ImageIdx, {MovieIdx, QC, WebIdx}},
};

const QString& besideKey(SourceIndex index) {
  return index == MovieIdx ? kMovieSourceDict : index == QC ? kQCSourceDict : kWebSourceDict;
}

}  // namespace

QVariantMap Layer::createSnapshot() const {
  QVariantMap snapshot;
  snapshot.insert(kLayerName, layerName());
  snapshot.insert(kGroupFlag, groupFlag());
  snapshot.insert(kParentLayerName, parent_ ? parent_->layerName() : kNil);
  if (alphaSlider_) insertUnlessEmpty(snapshot, kAlphaSlider, alphaSlider_->createSnapshot());
  if (alphaButton_) insertUnlessEmpty(snapshot, kAlphaButton, alphaButton_->createSnapshot());
  if (groupFlag()) {
    QVariantList members;
    for (const Ptr& child : children_) {
      const QVariantMap member = child->createSnapshot();
      if (!member.isEmpty()) members.append(member);
    }
    snapshot.insert(kLayerArray, members);
  }
  // The name asked for, also when no filter of that name exists here.
  snapshot.insert(kCompFilterName, compFilterName());
  const QString composition = compositionName();
  if (!composition.isEmpty()) snapshot.insert(kQCCompFilterName, composition);
  snapshot.insert(kDFactor, int(dFactor()));
  snapshot.insert(kContentsMode, contentsRenderingMode());
  snapshot.insert(kGroupMode, groupRenderingMode());
  snapshot.insert(kCompMode, compRenderingMode());
  VidSourceObject* current = current_.load();
  if (current)
    insertUnlessEmpty(snapshot, kSourceDict, current->createSnapshot());
  else
    snapshot.insert(kSourceType, kNil);
  for (SourceIndex index : {MovieIdx, QC, WebIdx})
    if (sources_[index].get() != current)
      insertUnlessEmpty(snapshot, besideKey(index), sources_[index]->createSnapshot());
  if (sizeController_)
    insertUnlessEmpty(snapshot, kSizeController, sizeController_->createSnapshot());
  snapshot.insert(kFXChainSnapshot, chain_ ? chain_->createSnapshot() : QVariantList());
  snapshot.insert(kPresetShortcutsDict, shortcuts_->createSnapshot());
  if (localPresetView_)
    insertUnlessEmpty(snapshot, kLocalPresetView, localPresetView_->createSnapshot());
  return snapshot;
}

void Layer::loadMiscellaneaFromSnapshot(const QVariantMap& snapshot) {
  if (deleted()) return;
  if (auto button = storedMap(snapshot, kAlphaButton); button && alphaButton_)
    alphaButton_->loadSnapshot(*button, false);
  if (auto slider = storedMap(snapshot, kAlphaSlider); slider && alphaSlider_) {
    alphaSlider_->loadSnapshot(*slider);
    alphaSliderUsed();
  }
  const std::optional<int> contents = storedInt(snapshot.value(kContentsMode));
  const std::optional<int> group = storedInt(snapshot.value(kGroupMode));
  setContentsRenderingMode(contents.value_or(0));
  setGroupRenderingMode(group.value_or(0));
  setCompRenderingMode(storedInt(snapshot.value(kCompMode)).value_or(0));
  if (auto name = storedString(snapshot, kCompFilterName)) unlockedUseCompModeNamed(*name);
  if (auto name = storedString(snapshot, kQCCompFilterName)) unlockedUseQCCompModeNamed(*name);
  if (!snapshot.contains(kContentsMode) && !snapshot.contains(kGroupMode)) {
    // A layer saved before rendering modes existed: everything in filters.
    if (parent_)
      parent_->setContentsRenderingMode(0);
    else
      compositor_->unlockedSetContentsRenderingMode(0);
    setGroupRenderingMode(0);
    setCompRenderingMode(0);
  }
  if (auto factor = storedInt(snapshot.value(kDFactor))) setDFactor(GLenum(*factor));
  if (auto size = storedMap(snapshot, kSizeController); size && sizeController_)
    sizeController_->loadSnapshot(*size);
  shortcuts_->loadSnapshot(snapshot.value(kPresetShortcutsDict));
  if (auto strip = storedMap(snapshot, kLocalPresetView); strip && localPresetView_)
    localPresetView_->loadSnapshot(*strip);
}

void Layer::loadSourceFromSnapshot(const QVariantMap& snapshot) {
  loadingSourceUnderRenderLock_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{loadingSourceUnderRenderLock_};
  if (deleted() || groupFlag()) return;
  if (!snapshot.contains(kSourceDict)) {
    // Saved without a source: a recall shows none either.
    if (storedString(snapshot, kSourceType) == kNil && current_.load()) useSourceNamed(kNil);
    return;
  }
  const std::optional<QVariantMap> dict = storedMap(snapshot, kSourceDict);
  const std::optional<QString> type = dict ? storedString(*dict, kSourceType) : std::nullopt;
  if (!type) {
    Log::line(QStringLiteral("\t\terr: the source of %1 names no source type").arg(layerName()));
    return;
  }
  for (const SourceRestore& restore : kSourceRestores) {
    if (*type != QLatin1String(restore.type)) continue;
    useSourceNamed(sourceNames()[restore.current]);
    sources_[restore.current]->loadSnapshot(*dict);
    for (SourceIndex index : restore.besides) {
      const std::optional<QVariantMap> beside = storedMap(snapshot, besideKey(index));
      if (!beside) continue;
      // The composition source loads its file, the others only their settings.
      sources_[index]->loadSnapshot(*beside, index == QC);
    }
    break;
  }
  if (sTap_)
    if (std::shared_ptr<QKRTapStub> stub = sTap_->stub()) stub->boundsChanged();
}

void Layer::loadChainFromSnapshot(const QVariant& chainSnapshot) {
  if (deleted() || !chain_ || !chainSnapshot.isValid()) return;
  chain_->loadSnapshot(chainSnapshot);
}

QVariantMap Layer::createLayerFXSnapshot() const {
  QVariantMap snapshot;
  for (const Ptr& child : children_) snapshot.insert(child->createLayerFXSnapshot());
  snapshot.insert(layerName(), chain_ ? chain_->createSnapshot() : QVariantList());
  return snapshot;
}

void Layer::matchThisLayerFXSnapshot(const QVariantMap& snapshot) {
  for (const Ptr& child : std::vector<Ptr>(children_)) child->matchThisLayerFXSnapshot(snapshot);
  auto it = snapshot.find(layerName());
  if (it != snapshot.end()) loadChainFromSnapshot(*it);
}

QVariantMap Layer::createLayerFXShortcutSnapshot() const {
  QVariantMap snapshot;
  for (const Ptr& child : children_) snapshot.insert(child->createLayerFXShortcutSnapshot());
  snapshot.insert(layerName(), shortcuts_->createSnapshot());
  return snapshot;
}

void Layer::matchThisLayerFXShortcutSnapshot(const QVariantMap& snapshot) {
  for (const Ptr& child : children_) child->matchThisLayerFXShortcutSnapshot(snapshot);
  auto it = snapshot.find(layerName());
  if (it == snapshot.end() || deleted()) return;
  shortcuts_->loadSnapshot(*it);
}

QVariantMap Layer::createLocalSnapshot() { return createLayerFXSnapshot(); }

void Layer::loadLocalSnapshot(const QVariantMap& snapshot) {
  if (deleted()) return;
  RestoreGate::Scope gate(compositor_->restoreGate());
  matchThisLayerFXSnapshot(snapshot);
}

// --- Chain presets and shortcuts
// -----------------------------------------------------------------

void Layer::useFXChainPresetNamed(const QString& name) {
  if (deleted() || !chain_) return;
  LayerChainManager* manager = compositor_->chainManager();
  const QVariantMap preset = manager ? manager->findPresetNamed(name) : QVariantMap();
  if (preset.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: there is no chain preset named %1").arg(name));
    return;
  }
  chain_->loadSnapshot(preset.value(FXChainManager::kPresetSnapshotKey));
  if (parentWindow_ && !parentWindow_->deleted()) parentWindow_->fxChainPresetApplied(this, name);
}

QString Layer::shortcutStringForFXChainPresetNamed(const QString& name) const {
  return shortcuts_->shortcutString(name);
}

void Layer::startDetectForFXChainShortcutNamed(const QString& name) {
  shortcuts_->startDetect(name);
}

void Layer::clearShortcutForFXChainNamed(const QString& name) { shortcuts_->clear(name); }

void Layer::cancelDetect() { shortcuts_->cancelDetect(); }
