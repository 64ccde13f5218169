#include "app/compositor/Compositor.h"

#include "app/compositor/CanvasTransform.h"
#include "app/compositor/CaptureRenderer.h"
#include "app/compositor/CompModeContext.h"
#include "app/compositor/CompositorLayer.h"
#include "app/compositor/FrameDrawer.h"
#include "framework/filters/CustomFilters.h"
#include "framework/render/QCUtils.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
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

const QStringList& Compositor::sourceClassNames() {
  static const QStringList names{QStringLiteral("QCSource"), QStringLiteral("MovieSource"),
                                 QStringLiteral("TapSource"), QStringLiteral("ImageSource"),
                                 QStringLiteral("WebSource")};
  return names;
}

Compositor::Environment Compositor::Environment::fromSystem() {
  Environment environment;
  environment.gpuVendors = QKStatChecker::gpuVendorArray();
  auto& registry = image::FilterRegistry::shared();
  environment.compositeFilterNames = registry.filterNamesInCategories(
      {FilterKeys::kCategoryCompositeOperation, FilterKeys::kCategoryVideo});
  environment.localizedFilterName = [](const QString& name) {
    return image::FilterRegistry::shared().localizedNameForFilterName(name);
  };
  environment.applicationFolder = QDir(TheApplication::pathToFolderNamed(QString())).path() + "/";
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
  prepareFontSynthPathsDict();
  prepareImageSourcePathsDict();
}

Compositor::~Compositor() {
  observers_.clear();
  layers_.clear();
}

// --- Set-up -------------------------------------------------------------------------

void Compositor::loadCustomFilters() { CustomFilters::initialize(); }

void Compositor::awake() {
  loadSourceClassDict();
  observers_.observe(kCanvasSizeChangedNotification, nullptr, [this](const Notification& n) {
    canvasSizeChanged(n.userInfo.value(QStringLiteral("canvasSize")).toSizeF());
  });
  populateCompFilterTypes();
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
    compositeWithGL(target);
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

void Compositor::compositeWithGL(gl::RenderTarget& target) {
  target.setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  target.bind();
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
  const int mode = layer.compRenderingMode();
  if (mode == CompositorLayer::kCompositionComp)
    return compositeThroughComposition(layer, layerImage, opacity, below, state, rotation);
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
                                                     const image::Image& below,
                                                     const FrameState& state, int* rotation) {
  CompModeContext* context = layer.qcCompContext();
  if (context && !context->hasRenderer()) context->render();
  if (!context || !context->hasRenderer()) return layerImage;  // covers what lies below
  const QStringList keys = context->inputKeys();
  if (keys.contains(QStringLiteral("background"))) {
    // The lowest visible composition gets a transparent background rather
    // than whatever it was given last frame.
    const image::Image background = below.isNull()
                                        ? image::ImageContext::constantColor(Qt::transparent)
                                              .byCropping(QRectF(QPointF(0, 0), state.canvasSize))
                                        : below;
    context->setImageInput(QStringLiteral("background"), background);
  }
  if (keys.contains(QStringLiteral("foreground")))
    context->setImageInput(QStringLiteral("foreground"), layerImage);
  if (keys.contains(QStringLiteral("opacity")))
    context->setNumberInput(QStringLiteral("opacity"), opacity);
  const BufferSetPool::SetPtr& set = state.canvasSet;
  const QKBufferHolderPtr holders[] = {set ? set->a : nullptr, set ? set->b : nullptr,
                                       set ? set->c : nullptr};
  const QKBufferHolderPtr& buffer = holders[(*rotation)++ % 3];
  context->setPBufferRef(buffer ? buffer->bufferRef() : gl::TextureHandle());
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
