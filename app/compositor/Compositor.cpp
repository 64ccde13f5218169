#include "app/compositor/Compositor.h"

#include "app/compositor/CIFilterListController.h"
#include "app/compositor/CanvasTransform.h"
#include "app/compositor/CaptureRenderer.h"
#include "app/compositor/CompModeContext.h"
#include "app/compositor/CompositorClient.h"
#include "app/compositor/CompositorLayer.h"
#include "app/compositor/FrameDrawer.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerChainInterface.h"
#include "app/compositor/LayerFXShortcuts.h"
#include "app/compositor/LayerListInterface.h"
#include "app/compositor/LayerSetRestorePlan.h"
#include "app/compositor/LayerWindowController.h"
#include "app/effects/LayerChainManager.h"
#include "app/sources/VidSourceObject.h"
#include "platform/foundation/MainThread.h"
#include "framework/filters/CustomFilters.h"
#include "framework/render/QCUtils.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QDir>

#include <algorithm>
#include <thread>

const QString Compositor::kCompModesChangedNotification =
    QStringLiteral("QKCompModesChangedNotification");
const QString Compositor::kCanvasSizeChangedNotification =
    QStringLiteral("CanvasSizeChangedNotification");
const QString Compositor::kFinderNotification = QStringLiteral("QKCompositorFinderNotification");

const QStringList& Compositor::sourceClassNames() {
  static const QStringList names{QStringLiteral("QCSource"), QStringLiteral("MovieSource"),
                                 QStringLiteral("TapSource"), QStringLiteral("ImageSource"),
                                 QStringLiteral("WebSource")};
  return names;
}

Compositor::Environment Compositor::Environment::fromSystem() {
  Environment environment;
  environment.gpuVendors = QKStatChecker::gpuVendorArray();
  environment.compositeFiltersFromRegistry = true;
  environment.localizedFilterName = [](const QString& name) {
    return image::FilterRegistry::shared().localizedNameForFilterName(name);
  };
  environment.applicationFolder = Paths::resourcesDir() + "/";
  const QString user = UserDefaults::standard().stringValue(QStringLiteral("QCUserDirectoryPath"));
  if (!user.isEmpty())
    environment.userFolder = user.startsWith('~') ? QDir::homePath() + user.mid(1) : user;
  environment.isValidCompMode = &QCUtils::isValidQCCompModeAtPath;
  return environment;
}

bool Compositor::eightBitForVendors(const QStringList& vendors) {
  bool eightBit = false;
  if (vendors.isEmpty()) {
    Log::line("\t\t8bit");
    eightBit = true;
  }
  for (const QString& vendor : vendors) {
    if (vendor.contains(QLatin1String("NVIDIA")) || vendor.contains(QLatin1String("ATI"))) continue;
    Log::line(QStringLiteral("\t\t3rd-party GPU: %1").arg(vendor));
    Log::line("\t\t8bit");
    eightBit = true;
  }
  return eightBit;
}

Compositor::Compositor(std::unique_ptr<QKTapManager> tapManager, Environment environment)
    : environment_(std::move(environment)), tapManager_(std::move(tapManager)) {
  eightBit_ = eightBitForVendors(environment_.gpuVendors);
  loadCustomFilters();
  if (environment_.compositeFiltersFromRegistry)
    environment_.compositeFilterNames = image::FilterRegistry::shared().filterNamesInCategories(
        {FilterKeys::kCategoryCompositeOperation, FilterKeys::kCategoryVideo});
  prepareFontSynthPathsDict();
  prepareImageSourcePathsDict();
  loadIcons();
}

// A missing icon stays null; the messages name the files as they always have.
void Compositor::loadIcons() {
  const struct {
    const char* name;
    QImage* image;
    const char* message;
  } icons[] = {
      {"groupIcon", &layerTabGroupImage_, "\t\terror: couldn't load 'groupIcon.pdf'"},
      {"tapIcon", &layerTabTapImage_, "\t\terror: couldn't load 'tapIcon.pdf'"},
      {"videoInputIcon", &layerTabVideoInputImage_,
       "\t\terror: couldn't load 'videoInputIcon.pdf'"},
      {"RecordingFileImage", &recordingFileImage_,
       "\t\terror: couldn't load 'RecordingFileImage.pdf.pdf'"},
  };
  for (const auto& icon : icons) {
    const QString path = Paths::resourcePath(QStringLiteral("images/") + QLatin1String(icon.name),
                                             QStringLiteral("png"));
    *icon.image = path.isEmpty() ? QImage() : QImage(path);
    if (icon.image->isNull()) Log::line(QString::fromLatin1(icon.message));
  }
}

Compositor::~Compositor() {
  observers_.clear();
  filterListController_.reset();
  // The windows hand their borrowed controls back to layers still alive.
  layerWindows_.clear();
  layers_.clear();
}

// --- Set-up -------------------------------------------------------------------------

void Compositor::loadCustomFilters() { CustomFilters::initialize(); }

CIFilterListController* Compositor::makeFilterListController() {
  if (!filterListController_) {
    filterListController_ = std::make_unique<CIFilterListController>(this);
    filterListController_->awakeFromNib();
  }
  return filterListController_.get();
}

void Compositor::refreshQCFXLists() {
  if (filterListController_) filterListController_->refreshQCFXLists();
}

void Compositor::awake() {
  loadSourceClassDict();
  observers_.observe(kCanvasSizeChangedNotification, nullptr, [this](const Notification& n) {
    canvasSizeChanged(n.userInfo.value(QStringLiteral("canvasSize")).toSizeF());
  });
  observers_.observe(kFinderNotification, nullptr, [this](const Notification& n) {
    if (n.object) static_cast<CompositorClient*>(n.object)->setCompositor(this);
  });
  populateCompFilterTypes();
  if (chainManager_) chainManager_->loadFXChainPresetsFromDisk();
}

void Compositor::setChainManager(std::shared_ptr<LayerChainManager> manager) {
  chainManager_ = std::move(manager);
  if (chainManager_) chainManager_->setCompositor(this);
}

void Compositor::loadSourceClassDict() {
  std::map<QString, SourceFactory> table;
  for (const QString& name : sourceClassNames()) {
    auto it = sourceClasses_.find(name);
    table[name] = it == sourceClasses_.end() ? SourceFactory() : it->second;
  }
  sourceClasses_ = std::move(table);
}

void Compositor::registerSourceFactory(const QString& className, SourceFactory factory) {
  sourceClasses_[className] = std::move(factory);
}

QStringList Compositor::folders(const QString& name) const {
  QStringList list{environment_.applicationFolder + name + "/"};
  if (!environment_.userFolder.isEmpty())
    list << QStringLiteral("%1/%2/").arg(environment_.userFolder, name);
  return list;
}

void Compositor::populateCompFilterTypes() {
  auto valid = environment_.isValidCompMode ? environment_.isValidCompMode
                                            : [](const QString&) { return true; };
  auto localized = environment_.localizedFilterName ? environment_.localizedFilterName
                                                    : [](const QString& name) { return name; };
  compModes_ = CompModeLists::build(environment_.compositeFilterNames, localized,
                                    folders(QCUtils::kCompModesFolder), valid);
  compModeMenu_ = compModes_.makeMenu();
  NotificationCenter::defaultCenter().post(kCompModesChangedNotification, this);
}

void Compositor::prepareFontSynthPathsDict() {
  const auto& kind = SourceFolderTable::textSources();
  fontSynth_ = SourceFolderTable::scan(kind, folders(kind.folderName));
}

void Compositor::prepareImageSourcePathsDict() {
  const auto& kind = SourceFolderTable::imageSources();
  imageSources_ = SourceFolderTable::scan(kind, folders(kind.folderName));
}

int Compositor::contentsRenderingMode() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return contentsRenderingMode_;
}

void Compositor::setContentsRenderingMode(int mode) {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (mode == contentsRenderingMode_) return;
    contentsRenderingMode_ = mode;
  }
  for (const LayerPtr& layer : layerArray()) layer->setGroupRenderingMode(mode);
}

void Compositor::unlockedSetContentsRenderingMode(int mode) {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (mode == contentsRenderingMode_) return;
    contentsRenderingMode_ = mode;
  }
  for (const LayerPtr& layer : layers_) layer->setGroupRenderingMode(mode);
}

// --- Locks ------------------------------------------------------------------------------

void Compositor::lockForRender() {
  renderLock_.lock();
  if (capture_) capture_->lock();
  for (const LayerPtr& layer : layers_) layer->lockForRender();
}

void Compositor::unlockRender() {
  if (capture_) capture_->unlock();
  for (const LayerPtr& layer : layers_) layer->unlockRender();
  renderLock_.unlock();
}

std::unique_ptr<Compositor::FrameLock> Compositor::tryLockForFrame(FrameState* state) {
  if (!renderLock_.try_lock()) return nullptr;
  auto lock = std::make_unique<FrameLock>(*this);
  if (capture_) {
    if (!capture_->tryLock()) return nullptr;  // lock's destructor lets the render lock go
    lock->capture_ = true;
  }
  for (const LayerPtr& layer : layers_) {
    if (!layer->tryLockForRender()) return nullptr;
    lock->layers_.push_back(layer);
  }
  if (state) {
    std::lock_guard<std::mutex> stateLock(stateMutex_);
    state->displaySize = displaySize_;
    state->canvasSize = canvasSize_;
    state->canvasToWindow = canvasToWindow_;
    state->contentsRenderingMode = contentsRenderingMode_;
    state->canvasSet = pool_.setFor(canvasSize_);
  }
  return lock;
}

Compositor::FrameLock::~FrameLock() { compositor_->releaseFrameLock(*this); }

void Compositor::releaseFrameLock(FrameLock& lock) {
  if (lock.capture_ && capture_) capture_->unlock();
  for (const LayerPtr& layer : lock.layers_) layer->unlockRender();
  // Let go of the layers while the lock keeps them in the tree: the last
  // reference never falls to the render thread.
  lock.layers_.clear();
  renderLock_.unlock();
}

// --- Layers and windows -----------------------------------------------------------------

void Compositor::setLayerArray(std::vector<LayerPtr> layers) {
  // The old layers' locks are taken by lockForRender and given back by hand.
  renderLock_.lock();
  if (capture_) capture_->lock();
  std::vector<LayerPtr> old;
  for (const LayerPtr& layer : layers_) layer->lockForRender();
  old.swap(layers_);
  layers_ = std::move(layers);
  for (const LayerPtr& layer : old) layer->unlockRender();
  if (capture_) capture_->unlock();
  renderLock_.unlock();
}

std::vector<Compositor::LayerPtr> Compositor::layerArray() const {
  std::lock_guard<std::mutex> lock(renderLock_);
  return layers_;
}

void Compositor::setCaptureRenderer(CaptureRenderer* capture) {
  std::lock_guard<std::mutex> lock(renderLock_);
  capture_ = capture;
}

void Compositor::setMediaInspector(FrameDrawer* inspector) {
  lockForRender();
  mediaInspector_ = inspector;
  unlockRender();
}

void Compositor::registerNewPreviewWindow(FrameDrawer* window) {
  lockForRender();
  if (std::find(previewWindows_.begin(), previewWindows_.end(), window) == previewWindows_.end())
    previewWindows_.push_back(window);
  unlockRender();
}

void Compositor::removeRegisteredPreviewWindow(FrameDrawer* window) {
  lockForRender();
  previewWindows_.erase(std::remove(previewWindows_.begin(), previewWindows_.end(), window),
                        previewWindows_.end());
  unlockRender();
}

void Compositor::idleCallback() {
  std::lock_guard<std::mutex> lock(renderLock_);
  for (const LayerPtr& layer : layers_) layer->idleCallback();
}

void Compositor::recordingToggleUsed(int value) {
  if (value != 0 && value != 1) return;
  std::lock_guard<std::mutex> lock(renderLock_);
  recording_ = value == 1;
}

// --- Canvas ---------------------------------------------------------------------------------

void Compositor::updateCanvasToWindowTransform() {
  canvasToWindow_ = CanvasTransform::canvasToWindow(displaySize_, canvasSize_, presentationMode_);
}

QSizeF Compositor::canvasSize() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return canvasSize_;
}

QSizeF Compositor::displaySize() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return displaySize_;
}

long Compositor::canvasPresentationMode() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return presentationMode_;
}

QTransform Compositor::canvasToWindowTransform() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return canvasToWindow_;
}

void Compositor::setDisplaySize(QSizeF size) {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    displaySize_ = size;
    updateCanvasToWindowTransform();
  }
  for (const LayerPtr& layer : layerArray()) layer->setDisplaySize(size);
}

bool Compositor::setCanvasPresentationMode(long mode) {
  if (!CanvasTransform::isValidMode(mode)) {
    Log::line(QStringLiteral("\t\terr: canvas presentation mode %1 refused").arg(mode));
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    presentationMode_ = mode;
    updateCanvasToWindowTransform();
  }
  for (const LayerPtr& layer : layerArray()) layer->setCanvasPresentationMode(mode);
  return true;
}

void Compositor::canvasSizeChanged(QSizeF size) {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    canvasSize_ = size;
    updateCanvasToWindowTransform();
  }
  // Called with the render lock held (the notification is posted under it).
  for (const LayerPtr& layer : layers_) layer->canvasSizeChanged(size);
}

// --- Frame --------------------------------------------------------------------------------------

void Compositor::render(const gl::DisplayLink::Frame& frame) {
  if (capture_) capture_->render(frame);
  for (const LayerPtr& layer : layers_) layer->render(frame);
}

void Compositor::drawContent(const FrameState& state, gl::RenderTarget& target,
                             image::ImageContext& imageContext) {
  tapPass();
  if (state.contentsRenderingMode == 0) {
    if (!state.canvasSet) {
      Log::limited(QStringLiteral("Compositor.sizeDict"),
                   QStringLiteral("\t\terr: layer sizeDict was nil"));
      return;  // no canvas, no previews this frame
    }
    compositeWithFilters(state, target, imageContext);
  } else if (state.contentsRenderingMode == 1) {
    target.bind();
    if (gl::GLContext* context = gl::GLContext::current()) compositeWithGL(*context);
  }
  drawPreviews();
}

// Layers that feed taps render first, the deepest first, so that a layer
// showing another layer's tap sees this frame's picture.
void Compositor::tapPass() {
  if (!tapManager_) return;
  std::lock_guard<QKTapManager> lock(*tapManager_);
  for (const QKTapManager::StubPtr& stub : tapManager_->stubsDeepestFirst()) {
    QKSTap* source = stub->sTap();
    if (auto* layer = source ? dynamic_cast<CompositorLayer*>(source->layer()) : nullptr)
      layer->drawToBuffer();
  }
}

void Compositor::compositeWithGL(gl::GLContext& context) {
  context.setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) (*it)->drawGLContent();
}

void Compositor::compositeWithFilters(const FrameState& state, gl::RenderTarget& target,
                                      image::ImageContext& imageContext) {
  image::Image accumulated;
  int rotation = 0;
  for (auto it = layers_.rbegin(); it != layers_.rend(); ++it)
    accumulated = compositeLayer(**it, accumulated, state, &rotation);
  if (accumulated.isNull() || state.displaySize.isEmpty()) return;
  // Straight alpha over the black clear: the same as adding a premultiplied
  // image.
  target.setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  target.bind();
  const QSize pixels = target.attached().size();
  const double scale = pixels.width() / state.displaySize.width();
  const QTransform toPixels = state.canvasToWindow * QTransform::fromScale(scale, scale);
  imageContext.drawImage(accumulated.byApplyingTransform(toPixels), QPointF(0, 0),
                         QRectF(QPointF(0, 0), QSizeF(pixels)));
}

image::Image Compositor::compositeLayer(CompositorLayer& layer, const image::Image& below,
                                        const FrameState& state, int* rotation) {
  const image::Image layerImage = layer.drawAndGetCIContentForCanvas();
  const float opacity = layer.renderAlphaVal();
  if (layerImage.isNull() || opacity == 0.0f) return below;
  const BufferSetPool::SetPtr& set = state.canvasSet;
  return compositeLayerImage(layer, layerImage, opacity, below, state.canvasSize, [&] {
    const QKBufferHolderPtr holders[] = {set ? set->a : nullptr, set ? set->b : nullptr,
                                         set ? set->c : nullptr};
    const QKBufferHolderPtr& buffer = holders[(*rotation)++ % 3];
    return buffer ? buffer->bufferRef() : gl::TextureHandle();
  });
}

image::Image Compositor::compositeLayerImage(CompositorLayer& layer, const image::Image& layerImage,
                                             float opacity, const image::Image& below, QSizeF size,
                                             const NextBuffer& nextBuffer) {
  const int mode = layer.compRenderingMode();
  if (mode == CompositorLayer::kCompositionComp)
    return compositeThroughComposition(layer, layerImage, opacity, below, size, nextBuffer);
  if (mode != CompositorLayer::kFilterComp) return layerImage;

  image::Image faded = layerImage;
  if (image::Filter* alpha = layer.alphaFilter()) {
    alpha->setValue(QVariant::fromValue(layerImage), FilterKeys::kInputImage);
    alpha->setValue(double(opacity), QStringLiteral("alphaNumber"));
    faded = alpha->outputImage();
  }
  if (below.isNull()) return faded;  // the lowest visible layer skips its comp filter
  image::Filter* comp = layer.ciCompFilter();
  image::Image result;
  if (comp) {
    comp->setValue(QVariant::fromValue(below), FilterKeys::kInputBackgroundImage);
    comp->setValue(QVariant::fromValue(faded), FilterKeys::kInputImage);
    result = comp->outputImage();
  }
  if (result.isNull()) {
    Log::limited(QStringLiteral("Compositor.compFilter"),
                 QStringLiteral("\t\terr: a layer's comp filter gave no image"));
    return below;
  }
  return result;
}

image::Image Compositor::compositeThroughComposition(CompositorLayer& layer,
                                                     const image::Image& layerImage, float opacity,
                                                     const image::Image& below, QSizeF size,
                                                     const NextBuffer& nextBuffer) {
  CompModeContext* context = layer.qcCompContext();
  if (context && !context->hasRenderer()) context->render();
  if (!context || !context->hasRenderer()) return layerImage;  // covers what lies below
  const QStringList keys = context->inputKeys();
  if (keys.contains(QStringLiteral("background"))) {
    // The lowest visible composition gets a transparent background rather
    // than whatever it was given last frame.
    const image::Image background = below.isNull()
                                        ? image::ImageContext::constantColor(Qt::transparent)
                                              .byCropping(QRectF(QPointF(0, 0), size))
                                        : below;
    context->setImageInput(QStringLiteral("background"), background);
  }
  if (keys.contains(QStringLiteral("foreground")))
    context->setImageInput(QStringLiteral("foreground"), layerImage);
  if (keys.contains(QStringLiteral("opacity")))
    context->setNumberInput(QStringLiteral("opacity"), opacity);
  context->setPBufferRef(nextBuffer());
  context->render();
  context->draw();
  context->setPBufferRef(gl::TextureHandle());
  const gl::TextureHandle texture = context->textureRef();
  if (!texture) {
    Log::limited(QStringLiteral("Compositor.compComposition"),
                 QStringLiteral("\t\terr: a comp-mode composition gave no image"));
    return below;
  }
  return image::Image::fromTexture(texture);
}

void Compositor::drawPreviews() {
  for (FrameDrawer* window : previewWindows_) window->draw();
  if (mediaInspector_) mediaInspector_->draw();
}

// --- Layer-set editing ------------------------------------------------------------------------

std::unique_ptr<LayerChainInterface> Compositor::makeLayerChain(Layer& layer) {
  return chainFactory_ ? chainFactory_(layer) : nullptr;
}

std::shared_ptr<FXObject> Compositor::createCIFXLoaderInstanceNamed(const QString& name) const {
  return filterEffectFactory_ ? filterEffectFactory_(name, QRectF(QPointF(0, 0), displaySize()))
                              : nullptr;
}

std::shared_ptr<FXObject> Compositor::createQCFXLoaderInstanceNamed(const QString& name) const {
  return compositionEffectFactory_
             ? compositionEffectFactory_(name, QRectF(QPointF(0, 0), displaySize()))
             : nullptr;
}

void Compositor::spinRenderLock() {
  while (!renderLock_.try_lock()) std::this_thread::yield();
  if (renderLockObserver_) renderLockObserver_(true);
}

void Compositor::unlockRenderLock() {
  if (renderLockObserver_) renderLockObserver_(false);
  renderLock_.unlock();
}

std::vector<std::shared_ptr<Layer>> Compositor::topLevelLayers() const {
  std::vector<std::shared_ptr<Layer>> layers;
  for (const LayerPtr& layer : layers_)
    if (auto real = std::dynamic_pointer_cast<Layer>(layer)) layers.push_back(std::move(real));
  return layers;
}

namespace {

std::shared_ptr<Layer> findShared(const std::vector<std::shared_ptr<Layer>>& layers,
                                  const Layer* wanted) {
  for (const auto& layer : layers) {
    if (layer.get() == wanted) return layer;
    if (auto found = findShared(layer->layerArray(), wanted)) return found;
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<Layer> Compositor::sharedLayer(const Layer* layer) const {
  return layer ? findShared(topLevelLayers(), layer) : nullptr;
}

Layer* Compositor::findLayerByUniqueID(long id) const {
  for (const auto& layer : topLevelLayers())
    if (Layer* found = layer->findLayerByUniqueID(id)) return found;
  return nullptr;
}

Layer* Compositor::findLayerByName(const QString& name) const {
  for (const auto& layer : topLevelLayers())
    if (Layer* found = layer->findLayerByName(name)) return found;
  return nullptr;
}

bool Compositor::containsLayer(const Layer* layer) const {
  if (!layer) return false;
  for (const auto& top : topLevelLayers())
    if (top.get() == layer || top->containsLayer(layer)) return true;
  return false;
}

bool Compositor::isLayerNameUsed(const QString& name) const {
  for (const auto& layer : topLevelLayers())
    if (layer->layerName() == name || (layer->groupFlag() && layer->checkForName(name)))
      return true;
  return false;
}

QString Compositor::freeName(const QString& format) const {
  for (long n = 1;; ++n) {
    const QString name = format.arg(n);
    if (!isLayerNameUsed(name)) return name;
  }
}

void Compositor::renumberLayers() {
  int next = 0;
  for (const LayerPtr& layer : layers_)
    if (auto* real = dynamic_cast<Layer*>(layer.get()))
      next = real->setOrderedLayerIndex(next, 0, false);
}

void Compositor::republishLayerRects() {
  std::function<void(const std::shared_ptr<Layer>&)> publish = [&](const auto& layer) {
    layer->recomputeRects();
    for (const auto& child : layer->layerArray()) publish(child);
  };
  for (const auto& layer : topLevelLayers()) publish(layer);
}

void Compositor::reloadOrderedLayerIndices() {
  renumberLayers();
  republishLayerRects();
}

void Compositor::updateLayerView() {
  if (layerView_) layerView_->update();
}

// The most recently activated visible window, else the first.
LayerWindowController* Compositor::windowForNewLayer() {
  LayerWindowController* chosen = nullptr;
  const std::vector<LayerWindowController*> windows = usableWindows();
  for (LayerWindowController* window : windows)
    if (window->isVisible() && (!chosen || window->lastActivation() > chosen->lastActivation()))
      chosen = window;
  if (!chosen && !windows.empty()) chosen = windows.front();
  return chosen;
}

std::shared_ptr<Layer> Compositor::createNewLayer() {
  const QString name = freeName(QStringLiteral("Layer %1"));
  LayerWindowController* made = nullptr;
  if (layers_.empty() && windowFactory_) {
    if (auto window = windowFactory_(*this)) {
      made = window.get();
      layerWindows_.push_back(std::move(window));
    }
  }
  LayerWindowController* window = windowForNewLayer();
  std::shared_ptr<Layer> layer = Layer::create(name, this, window);
  layer->setGroupRenderingMode(contentsRenderingMode());
  spinRenderLock();
  layers_.insert(layers_.begin(), layer);
  renumberLayers();
  unlockRenderLock();
  republishLayerRects();
  if (window) window->addLayerToWindow(layer.get());
  if (made) made->showWindow();
  layer->displayGeneralSource();
  updateLayerView();
  if (tapManager_) tapManager_->reloadTapsPostDict({});
  return layer;
}

// Render lock held.
std::shared_ptr<Layer> Compositor::removeFromParent(Layer* layer) {
  if (Layer* parent = layer->parentLayer()) return parent->removeChild(layer);
  for (auto it = layers_.begin(); it != layers_.end(); ++it) {
    if (it->get() != static_cast<CompositorLayer*>(layer)) continue;
    auto shared = std::dynamic_pointer_cast<Layer>(*it);
    layers_.erase(it);
    return shared;
  }
  return nullptr;
}

// Render lock held.
void Compositor::insertInto(Layer* parent, int index, const std::shared_ptr<Layer>& layer) {
  if (parent) {
    parent->addThisLayer(layer, index);
    return;
  }
  index = std::clamp(index, 0, int(layers_.size()));
  layers_.insert(layers_.begin() + index, layer);
  layer->setParentLayer(nullptr);
  layer->setGroupRenderingMode(contentsRenderingMode());
}

void Compositor::unlockedReplaceTopLevel(const Layer* layer,
                                         const std::vector<std::shared_ptr<Layer>>& replacements) {
  auto it = std::find_if(layers_.begin(), layers_.end(), [layer](const LayerPtr& entry) {
    return entry.get() == static_cast<const CompositorLayer*>(layer);
  });
  if (it == layers_.end()) return;
  const LayerPtr keep = *it;  // goes with the caller's reference, not here
  it = layers_.erase(it);
  layers_.insert(it, replacements.begin(), replacements.end());
}

std::shared_ptr<Layer> Compositor::groupSelectedLayers() {
  if (!layerView_) return nullptr;
  return groupLayers(layerView_->selectedLayers());
}

std::shared_ptr<Layer> Compositor::groupLayers(std::vector<Layer*> layers) {
  layers.erase(std::remove_if(layers.begin(), layers.end(),
                              [this](Layer* layer) { return !containsLayer(layer); }),
               layers.end());
  if (layers.empty()) return nullptr;
  const QString name = freeName(QStringLiteral("Group %1"));
  std::sort(layers.begin(), layers.end(), [](const Layer* a, const Layer* b) {
    return a->orderedLayerIndex() < b->orderedLayerIndex();
  });
  Layer* first = layers.front();
  LayerWindowController* window = first->parentWindow();
  Layer* parent = first->parentLayer();
  int index = 0;
  if (parent) {
    const auto& siblings = parent->layerArray();
    index = int(std::find_if(siblings.begin(), siblings.end(),
                             [first](const auto& p) { return p.get() == first; }) -
                siblings.begin());
  } else {
    index = int(std::find_if(layers_.begin(), layers_.end(),
                             [first](const LayerPtr& p) {
                               return p.get() == static_cast<CompositorLayer*>(first);
                             }) -
                layers_.begin());
  }
  // Made before the lock is taken.
  std::shared_ptr<Layer> group = Layer::create(name, this, window);
  group->setGroupFlag(true);
  group->setContentsRenderingMode(first->groupRenderingMode());
  group->setGroupRenderingMode(parent ? parent->contentsRenderingMode() : contentsRenderingMode());
  std::vector<std::shared_ptr<Layer>> members;

  spinRenderLock();
  for (Layer* layer : layers)
    if (auto shared = removeFromParent(layer)) members.push_back(std::move(shared));
  insertInto(parent, index, group);
  for (const auto& member : members) group->addThisLayer(member);
  renumberLayers();
  unlockRenderLock();

  republishLayerRects();
  if (window) window->addLayerToWindow(group.get());
  // Posted after the lock is let go: an observer may take it.
  if (tapManager_) tapManager_->reloadTapsPostDict({});
  updateLayerView();
  if (layerView_) layerView_->deselectAll();
  for (const auto& each : layerWindows_) each->reloadTabRects();
  return group;
}

void Compositor::deleteSelectedLayers() {
  std::vector<Layer*> selected = layerView_ ? layerView_->selectedLayers() : std::vector<Layer*>();
  std::reverse(selected.begin(), selected.end());
  if (layerView_) layerView_->deselectAll();
  for (Layer* layer : selected) {
    if (!containsLayer(layer)) continue;  // went with an earlier one
    NotificationCenter::defaultCenter().post(Layer::kDeleteNotification, layer);
    if (LayerWindowController* window = layer->parentWindow())
      window->deleteThisLayer(layer);
    else
      deleteThisLayer(layer);
  }
  if (tapManager_) tapManager_->reloadTapsPostDict({});
}

void Compositor::deleteThisLayer(Layer* layer) {
  // Held until the lock is let go: the layer is released here, on the main
  // thread.
  const std::shared_ptr<Layer> keep = sharedLayer(layer);
  // A layer in a window leaves through it: the window lets go of it (closing
  // when left empty) and comes back here with the layer out of every window.
  if (LayerWindowController* window = keep ? keep->parentWindow() : nullptr) {
    if (!window->deleted()) window->deleteThisLayer(layer);
    if (!containsLayer(layer)) return;
    keep->removeFromParentWindow();
  }
  if (keep) keep->prepareToBeDeleted();
  spinRenderLock();
  unlockedDeleteThisLayer(layer);
  unlockRenderLock();
  republishLayerRects();
  updateLayerView();
}

void Compositor::unlockedDeleteThisLayer(Layer* layer) {
  for (const auto& top : topLevelLayers())
    if (top->deleteThisLayer(layer)) break;
  renumberLayers();
}

void Compositor::deleteAllLayers() {
  // The first top-level layer each time (a deleted group's members come up
  // in its place), through its window, else through the compositor: every
  // pass takes one layer out, so the loop ends.
  for (;;) {
    const std::vector<std::shared_ptr<Layer>> top = topLevelLayers();
    if (top.empty()) return;
    const std::shared_ptr<Layer>& first = top.front();
    if (LayerWindowController* window = first->parentWindow()) window->deleteThisLayer(first.get());
    if (containsLayer(first.get())) deleteThisLayer(first.get());
  }
}

void Compositor::deleteThisWindow(LayerWindowController* window) {
  retiringWindows_.insert(window);
  MainThread::post([this, window, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.lock()) return;
    retiringWindows_.erase(window);
    auto it = std::find_if(layerWindows_.begin(), layerWindows_.end(),
                           [window](const auto& each) { return each.get() == window; });
    if (it == layerWindows_.end()) return;
    std::unique_ptr<LayerWindowController> going = std::move(*it);
    layerWindows_.erase(it);
    going->prepareToBeDeleted();
  });
}

std::vector<LayerWindowController*> Compositor::usableWindows() const {
  std::vector<LayerWindowController*> windows;
  for (const auto& window : layerWindows_)
    if (!retiringWindows_.count(window.get()) && !window->deleted())
      windows.push_back(window.get());
  return windows;
}

bool Compositor::moveTheseLayers(const std::vector<Layer*>& layers, int index, Layer* destination) {
  std::vector<Layer*> moved;
  for (Layer* layer : layers) {
    if (!containsLayer(layer) || std::find(moved.begin(), moved.end(), layer) != moved.end())
      continue;
    if (destination && layer->containsThisLayer(destination)) {
      Log::line(QStringLiteral("\t\terr: a layer cannot move into itself"));
      return false;
    }
    moved.push_back(layer);
  }
  if (destination && !containsLayer(destination)) return false;
  if (moved.empty()) return false;
  // The index in the destination once the moved layers above it are out.
  int adjusted = std::max(0, index);
  int position = 0;
  if (destination) {
    for (const auto& child : destination->layerArray()) {
      if (position++ >= index) break;
      if (std::find(moved.begin(), moved.end(), child.get()) != moved.end()) --adjusted;
    }
  } else {
    for (const LayerPtr& entry : layers_) {
      if (position++ >= index) break;
      if (std::find_if(moved.begin(), moved.end(), [&](Layer* m) {
            return static_cast<CompositorLayer*>(m) == entry.get();
          }) != moved.end())
        --adjusted;
    }
  }
  std::vector<std::shared_ptr<Layer>> shared;
  spinRenderLock();
  for (Layer* layer : moved)
    if (auto each = removeFromParent(layer)) shared.push_back(std::move(each));
  // In the order given, the first at the adjusted index (clamped to the end).
  for (std::size_t i = 0; i < shared.size(); ++i)
    insertInto(destination, adjusted + int(i), shared[i]);
  renumberLayers();
  unlockRenderLock();
  republishLayerRects();
  for (const auto& layer : shared) layer->displayGeneralSource();
  updateLayerView();
  for (const auto& window : layerWindows_) {
    auto& list = window->layerArray();
    std::stable_sort(list.begin(), list.end(), [](const Layer* a, const Layer* b) {
      return a->orderedLayerIndex() < b->orderedLayerIndex();
    });
    window->reloadTabRects();
  }
  if (tapManager_) tapManager_->reloadTapsPostDict({});
  return true;
}

// --- Snapshots and the differential restore ------------------------------------------------------

namespace {

const QString kLayerSnapArray = QStringLiteral("layerSnapArray");
const QString kContentsRenderingMode = QStringLiteral("contentsRenderingMode");
const QString kLayerWindSnapArray = QStringLiteral("layerWindSnapArray");
const QString kFXChainSnapshot = QStringLiteral("fxChainSnapshot");
const QString kWindowLayers = QStringLiteral("layerArray");
const QString kDisplayedName = QStringLiteral("currentlyDisplayedName");

void moveToWindow(Layer* layer, LayerWindowController* window) {
  if (LayerWindowController* old = layer->parentWindow()) {
    auto& list = old->layerArray();
    list.erase(std::remove(list.begin(), list.end(), layer), list.end());
  }
  window->layerArray().push_back(layer);
  layer->setParentWindow(window);
}

}  // namespace

// The working state of one restore.
struct Compositor::Restore {
  const LayerSetRestorePlan* plan = nullptr;
  std::vector<std::shared_ptr<Layer>> made;
  std::vector<std::shared_ptr<Layer>> going;
  std::map<QString, std::shared_ptr<Layer>> byName;  // once the tree matches
  std::vector<LayerWindowController*> madeWindows;
  std::vector<LayerWindowController*> surplusWindows;
  Layer* find(const QString& name) const {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second.get();
  }
};

QVariantMap Compositor::createSnapshot() const {
  QVariantList layers;
  for (const auto& layer : topLevelLayers()) {
    const QVariantMap snapshot = layer->createSnapshot();
    if (!snapshot.isEmpty()) layers.append(snapshot);
  }
  QVariantList windows;
  for (const auto& window : layerWindows_) windows.append(window->createSnapshot());
  return {{kLayerSnapArray, layers},
          {kContentsRenderingMode, contentsRenderingMode()},
          {kLayerWindSnapArray, windows}};
}

std::vector<std::shared_ptr<Layer>> Compositor::allLayers() const {
  std::vector<std::shared_ptr<Layer>> all;
  std::function<void(const std::vector<std::shared_ptr<Layer>>&)> walk = [&](const auto& level) {
    for (const auto& layer : level) {
      all.push_back(layer);
      walk(layer->layerArray());
    }
  };
  walk(topLevelLayers());
  return all;
}

LayerWindowController* Compositor::makeLayerWindow() {
  if (!windowFactory_) return nullptr;
  std::unique_ptr<LayerWindowController> window = windowFactory_(*this);
  if (!window) return nullptr;
  layerWindows_.push_back(std::move(window));
  return layerWindows_.back().get();
}

// Outside the render lock: a layer that is to go takes the first name that
// is to appear (renamed in place, so it keeps playing); names left over are
// made, layers left over go. A rename that cannot be done keeps its name
// for creation.
void Compositor::resolveCreation(QStringList create, QStringList remove, bool groups,
                                 Restore& restore) {
  while (!create.isEmpty() && !remove.isEmpty()) {
    const QString old = remove.takeFirst();
    Layer* layer = findLayerByName(old);
    if (!layer) continue;
    if (layer->groupFlag() == groups && layer->setLayerName(create.first())) {
      create.removeFirst();
      continue;
    }
    if (auto shared = sharedLayer(layer)) restore.going.push_back(std::move(shared));
  }
  for (const QString& name : remove)
    if (auto shared = sharedLayer(findLayerByName(name)))
      restore.going.push_back(std::move(shared));
  for (const QString& name : create) {
    std::shared_ptr<Layer> layer = Layer::create(name, this, nullptr);
    if (groups) layer->setGroupFlag(true);
    restore.made.push_back(std::move(layer));
  }
}

// Render lock held: every layer leaves its parent and the tree is built
// again from the plan; the layers that go are simply not put back.
void Compositor::rebuildTree(Restore& restore) {
  std::vector<LayerPtr> others;
  for (const LayerPtr& entry : layers_)
    if (!dynamic_cast<Layer*>(entry.get())) others.push_back(entry);
  const std::vector<std::shared_ptr<Layer>> live = allLayers();
  for (const auto& layer : live)
    for (const auto& child : std::vector<std::shared_ptr<Layer>>(layer->layerArray()))
      layer->removeChild(child.get());
  layers_.clear();
  std::vector<Layer*> placed;
  std::function<void(const std::vector<LayerSetRestorePlan::Entry>&, Layer*)> build =
      [&](const auto& entries, Layer* parent) {
        for (const LayerSetRestorePlan::Entry& entry : entries) {
          auto it = restore.byName.find(entry.name);
          if (it == restore.byName.end()) {
            Log::line(QStringLiteral("\t\terror: couldn't find layer named %1").arg(entry.name));
            continue;
          }
          const std::shared_ptr<Layer>& layer = it->second;
          if (std::find(placed.begin(), placed.end(), layer.get()) != placed.end()) continue;
          placed.push_back(layer.get());
          if (parent) {
            parent->addThisLayer(layer);
          } else {
            layers_.push_back(layer);
            layer->setParentLayer(nullptr);
            layer->setGroupRenderingMode(contentsRenderingMode());
          }
          if (entry.group && layer->groupFlag()) build(entry.members, layer.get());
        }
      };
  build(restore.plan->tree(), nullptr);
  // A layer the plan does not place (none should be) stays, at the bottom.
  for (const auto& [name, layer] : restore.byName) {
    if (std::find(placed.begin(), placed.end(), layer.get()) != placed.end()) continue;
    Log::line(QStringLiteral("\t\terror: the layer %1 kept its place at the bottom").arg(name));
    layers_.push_back(layer);
    layer->setParentLayer(nullptr);
  }
  layers_.insert(layers_.end(), others.begin(), others.end());
}

// Render lock held. Window i takes the layers of window snapshot i; a layer
// left in no window, or in one that goes, moves into the first window (made
// when there is none) before the surplus windows go.
void Compositor::arrangeWindows(const QVariantList& windowSnapshots, Restore& restore) {
  // Windows already on their way out take no layers.
  std::vector<LayerWindowController*> windows = usableWindows();
  auto make = [&]() -> LayerWindowController* {
    LayerWindowController* window = makeLayerWindow();
    if (window) {
      restore.madeWindows.push_back(window);
      windows.push_back(window);
    }
    return window;
  };
  std::size_t kept = 0;
  for (const QVariant& value : windowSnapshots) {
    const QVariantMap snapshot = value.toMap();
    LayerWindowController* window = kept < windows.size() ? windows[kept] : make();
    if (!window) break;
    ++kept;
    for (const QVariant& name : snapshot.value(kWindowLayers).toList()) {
      Layer* layer = name.typeId() == QMetaType::QString ? restore.find(name.toString()) : nullptr;
      if (!layer) {
        Log::line(
            QStringLiteral("\t\terror: couldn't find the layer named %1").arg(name.toString()));
        continue;
      }
      moveToWindow(layer, window);
    }
    window->loadSnapshot(snapshot);
  }
  auto isKept = [&](LayerWindowController* window) {
    return std::find(windows.begin(), windows.begin() + std::min(kept, windows.size()), window) !=
           windows.begin() + std::min(kept, windows.size());
  };
  for (const auto& [name, layer] : restore.byName) {
    if (layer->parentWindow() && isKept(layer->parentWindow())) continue;
    if (kept == 0) {
      if (windows.empty() && !make()) break;
      kept = 1;
    }
    moveToWindow(layer.get(), windows.front());
  }
  for (std::size_t i = kept; i < windows.size(); ++i) restore.surplusWindows.push_back(windows[i]);
}

bool Compositor::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant layerSnapArray = snapshot.value(kLayerSnapArray);
  if (layerSnapArray.typeId() != QMetaType::QVariantList) {
    // Read as an empty set it would delete every live layer.
    Log::line("\t\terr: a layer set without a \"layerSnapArray\" array was refused");
    return false;
  }
  const LayerSetRestorePlan plan(layerSnapArray.toList());
  const QVariant windowValue = snapshot.value(kLayerWindSnapArray);
  const QVariantList windowSnapshots =
      windowValue.typeId() == QMetaType::QVariantList ? windowValue.toList() : QVariantList();
  const QVariant mode = snapshot.value(kContentsRenderingMode);
  if (mode.isValid()) {
    bool ok = false;
    const int value = mode.toInt(&ok);
    if (ok && (value == 0 || value == 1))
      setContentsRenderingMode(value);
    else
      Log::line("\t\terr: a layer set's rendering mode was refused");
  }

  QStringList liveLayers, liveGroups;
  for (const auto& layer : allLayers())
    (layer->groupFlag() ? liveGroups : liveLayers) << layer->layerName();
  Restore restore;
  restore.plan = &plan;
  // Made, renamed and prepared to go before the lock: the lock covers only
  // the change of the tree.
  resolveCreation(LayerSetRestorePlan::missingFrom(plan.groupNames(), liveGroups),
                  LayerSetRestorePlan::missingFrom(liveGroups, plan.groupNames()), true, restore);
  resolveCreation(LayerSetRestorePlan::missingFrom(plan.layerNames(), liveLayers),
                  LayerSetRestorePlan::missingFrom(liveLayers, plan.layerNames()), false, restore);
  for (const auto& layer : restore.going) layer->prepareToBeDeleted();
  for (const auto& layer : allLayers())
    if (std::find(restore.going.begin(), restore.going.end(), layer) == restore.going.end())
      restore.byName[layer->layerName()] = layer;
  for (const auto& layer : restore.made) restore.byName[layer->layerName()] = layer;
  const std::vector<const LayerSetRestorePlan::Entry*> entries = plan.entries();

  spinRenderLock();
  for (const auto& layer : restore.going)
    if (LayerWindowController* window = layer->parentWindow()) {
      auto& list = window->layerArray();
      list.erase(std::remove(list.begin(), list.end(), layer.get()), list.end());
      layer->setParentWindow(nullptr);
    }
  rebuildTree(restore);
  arrangeWindows(windowSnapshots, restore);
  renumberLayers();
  for (const LayerSetRestorePlan::Entry* entry : entries)
    if (Layer* layer = restore.find(entry->name))
      layer->loadMiscellaneaFromSnapshot(entry->snapshot);
  for (const auto& [name, layer] : restore.byName)
    if (VidSourceObject* current = layer->currentSource();
        current && current == layer->sourceOfKind(VidSourceObject::kTapSource))
      current->eject();
  for (const LayerSetRestorePlan::Entry* entry : entries)
    if (Layer* layer = restore.find(entry->name)) layer->loadSourceFromSnapshot(entry->snapshot);
  unlockRenderLock();

  // Announced once the lock is let go: an observer may take it.
  for (const auto& layer : restore.going)
    NotificationCenter::defaultCenter().post(Layer::kDeleteNotification, layer.get());
  republishLayerRects();
  for (LayerWindowController* window : restore.surplusWindows) deleteThisWindow(window);
  for (const auto& window : layerWindows_) {
    auto& list = window->layerArray();
    std::stable_sort(list.begin(), list.end(), [](const Layer* a, const Layer* b) {
      return a->orderedLayerIndex() < b->orderedLayerIndex();
    });
    window->reloadTabRects();
  }
  const std::vector<LayerWindowController*> windows = usableWindows();
  for (int i = 0; i < windowSnapshots.size() && i < int(windows.size()); ++i) {
    const QVariant shown = windowSnapshots[i].toMap().value(kDisplayedName);
    windows[i]->displayLayer(shown.typeId() == QMetaType::QString ? restore.find(shown.toString())
                                                                  : nullptr);
  }
  for (LayerWindowController* window : restore.madeWindows) window->showWindow();
  updateLayerView();

  {
    RestoreGate::Scope gate(gate_);
    for (const LayerSetRestorePlan::Entry* entry : entries)
      if (Layer* layer = restore.find(entry->name))
        layer->loadChainFromSnapshot(entry->snapshot.value(kFXChainSnapshot));
  }
  if (tapManager_) tapManager_->reloadTapsPostDict({});
  return true;
}

QVariantMap Compositor::createLayerFXSnapshot() const {
  QVariantMap snapshot;
  for (const auto& layer : topLevelLayers()) snapshot.insert(layer->createLayerFXSnapshot());
  return snapshot;
}

void Compositor::matchThisLayerFXSnapshot(const QVariantMap& snapshot) {
  RestoreGate::Scope gate(gate_);
  for (const auto& layer : topLevelLayers()) layer->matchThisLayerFXSnapshot(snapshot);
}

QVariantMap Compositor::createLayerFXShortcutSnapshot() const {
  QVariantMap snapshot;
  for (const auto& layer : topLevelLayers())
    snapshot.insert(layer->createLayerFXShortcutSnapshot());
  return snapshot;
}

void Compositor::matchThisLayerFXShortcutSnapshot(const QVariant& snapshot) {
  if (snapshot.typeId() != QMetaType::QVariantMap) return;
  const QVariantMap shortcuts = snapshot.toMap();
  for (const auto& layer : topLevelLayers()) layer->matchThisLayerFXShortcutSnapshot(shortcuts);
}

void Compositor::clearShortcutsForFXChainNamed(const QString& name) {
  for (const auto& layer : allLayers()) layer->clearShortcutForFXChainNamed(name);
}
