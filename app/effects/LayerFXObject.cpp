#include "app/effects/LayerFXObject.h"

#include "app/compositor/CompModeLists.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXHost.h"
#include "app/effects/LayerFXMixer.h"
#include "app/effects/LayerFXObjectPanel.h"
#include "app/effects/LayerFXRenderContext.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/MutableTextureObject.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"

const QString LayerFXObject::kEnableDefaultKey = QStringLiteral("FXEnableDefault");
const QString LayerFXObject::kAttributeLoaderKey = QStringLiteral("attributeLoader");
const QString LayerFXObject::kBypassToggleKey = QStringLiteral("theEffectBypassToggle");
const QString LayerFXObject::kWetDrySliderKey = QStringLiteral("wetDrySlider");
const QString LayerFXObject::kCollapsedFlagKey = QStringLiteral("collapsedFlag");
const QString LayerFXObject::kWetDryContextKey = QStringLiteral("wetDryContext");

namespace {
constexpr int kSrcAlpha = 770;          // GL_SRC_ALPHA
constexpr int kOneMinusSrcAlpha = 771;  // GL_ONE_MINUS_SRC_ALPHA
constexpr int kDstAlpha = 772;          // GL_DST_ALPHA
}  // namespace

LayerFXObject::LayerFXObject(const QString& filterName, const QString& displayName,
                             QSizeF renderSize)
    : FXObject(displayName), filterName_(filterName), renderSize_(renderSize) {}

LayerFXObject::~LayerFXObject() {
  if (!deleted()) prepareToBeDeleted();
  delete panel_.data();
  releaseContexts();
  if (wetDrySlider_) wetDrySlider_->prepareToBeDeleted();
}

void LayerFXObject::awakeFromNib() {
  FXObject::awakeFromNib();
  wetDrySlider_ = QKSliderCell::create();
  wetDrySlider_->setSliderName(QStringLiteral("wet/dry"));
  std::weak_ptr<FXObject> weakSelf = weak_from_this();
  wetDrySlider_->setTarget(std::static_pointer_cast<void>(shared_from_this()));
  wetDrySlider_->setAction([weakSelf](QKSliderCell& sender) {
    if (auto self = std::static_pointer_cast<LayerFXObject>(weakSelf.lock()))
      self->processUIElement(sender);
  });
  wetDrySlider_->setValue(1.0f, true);
  wetDry_.store(1.0f);
  const UserDefaults& defaults = UserDefaults::standard();
  if (defaults.contains(kEnableDefaultKey) && bypassButton()) {
    bypassButton()->setIntValue(int(defaults.integerValue(kEnableDefaultKey)), false);
    bypassToggleUsed();
  }
  makeContexts();
  awake_.store(true);
}

void LayerFXObject::processUIElement(QKSliderCell& sender) {
  if (deleted() || &sender != wetDrySlider_.get()) return;
  wetDry_.store(sender.value());
}

float LayerFXObject::wetDrySliderValue() const {
  return wetDrySlider_ && awake_.load() ? wetDrySlider_->value() : wetDry_.load();
}

QSizeF LayerFXObject::renderSize() const { return renderSize_; }

void LayerFXObject::setActiveRect(const QRectF& rect) {
  std::lock_guard lock(renderLock_);
  renderSize_ = rect.size();
  if (context_) context_->setSize(renderSize_);
  if (mixer_) mixer_->setSize(renderSize_);
}

void LayerFXObject::setContexts(std::shared_ptr<LayerFXRenderContext> context,
                                std::shared_ptr<LayerFXMixer> mixer) {
  std::lock_guard lock(renderLock_);
  releaseContexts();
  context_ = std::move(context);
  mixer_ = std::move(mixer);
}

void LayerFXObject::releaseContexts() {
  // A frame may still draw from them: they go on the render thread.
  if (context_) DeferredReleaseArrays::shared().addRenderer(std::move(context_));
  if (mixer_) DeferredReleaseArrays::shared().addRenderer(std::move(mixer_));
  context_.reset();
  mixer_.reset();
}

LayerFXHost* LayerFXObject::host() const {
  auto* chain = dynamic_cast<LayerFXChain*>(myChain());
  return chain ? chain->host() : nullptr;
}

bool LayerFXObject::isActive() const {
  return !bypass() && !deleted() && wetDrySliderValue() != 0.0f;
}

namespace {
// The first active element from one end of the chain (the chain's lock is
// held by the caller: a pass, or the chain's own queries).
const LayerFXObject* firstActive(const FXChain& chain, bool fromEnd) {
  const auto& elements = chain.lockedFxArray();
  const size_t n = elements.size();
  for (size_t step = 0; step < n; ++step) {
    const auto* element =
        dynamic_cast<const LayerFXObject*>(elements[fromEnd ? n - 1 - step : step].get());
    if (element && element->isActive()) return element;
  }
  return nullptr;
}
}  // namespace

bool LayerFXObject::lastActiveObjectInChain() const {
  FXChain* chain = myChain();
  if (!chain) return false;
  chain->lockForRender();
  const bool last = firstActive(*chain, true) == this;
  chain->unlockRender();
  return last;
}

bool LayerFXObject::firstActiveObjectInChain() const {
  FXChain* chain = myChain();
  if (!chain) return false;
  chain->lockForRender();
  const bool first = firstActive(*chain, false) == this;
  chain->unlockRender();
  return first;
}

void LayerFXObject::processPassedPtr(void* passed) {
  if (passed) render(*static_cast<MutableTextureObject*>(passed));
}

void LayerFXObject::render(MutableTextureObject& passed) {
  if (!context_ || !mixer_ || !canRender() || bypass() || deleted() ||
      wetDrySliderValue() == 0.0f || !awake_.load())
    return;
  if (!passed.textureRef() || !passed.bufferARef() || !passed.bufferBRef()) {
    Log::limited(QStringLiteral("LayerFXObject nil"),
                 QStringLiteral("\t\terr: passed texture or buffer was nil"));
    return;
  }
  std::lock_guard lock(renderLock_);
  if (!context_ || !mixer_ || deleted()) return;
  const bool last = lastActiveObjectInChain();
  const float wetDry = wetDrySliderValue();
  LayerFXHost* layer = host();
  if (!layer) {
    Log::limited(QStringLiteral("LayerFXObject layer"), QLatin1String(noLayerMessage()));
    return;
  }
  const gl::TextureHandle input = passed.textureRef();

  if (last && wetDry == 1.0f) {
    context_->setPBufferRef(layer->pBufferBRef());
  } else {
    context_->setPBufferRef(passed.bufferARef());
    passed.rotateXBuffers(1);
  }
  context_->renderEffect(input);
  context_->setPBufferRef({});
  const gl::TextureHandle effect = context_->textureRef();

  if (wetDry == 1.0f) {
    if (effect) passed.setTextureRef(effect);
  } else {
    mixer_->setWetDryValue(wetDry);
    if (last) {
      mixer_->setPBufferRef(layer->pBufferBRef());
    } else {
      mixer_->setPBufferRef(passed.bufferARef());
      passed.rotateXBuffers(1);
    }
    mixer_->setFrontTextureRef(effect);
    mixer_->setBackTextureRef(input);
    mixer_->render();
    mixer_->draw();
    mixer_->setPBufferRef({});
    mixer_->setFrontTextureRef({});
    mixer_->setBackTextureRef({});
    // A mix that gives nothing keeps the image as it came, so the rest of
    // the chain still has a picture.
    if (const gl::TextureHandle mixed = mixer_->textureRef())
      passed.setTextureRef(mixed);
    else
      Log::limited(QStringLiteral("LayerFXObject null"),
                   QStringLiteral("\t\terr: passing null texture"));
  }
  if (passed.questionableColors()) passed.setQuestionableColors(false);
}

// --- Mix mode ----------------------------------------------------------------

void LayerFXObject::compButtonUsed(int index) {
  LayerFXHost* layer = host();
  if (!layer) return;
  const QStringList names = layer->compFilterNames();
  const QStringList kinds = layer->compFilterKinds();
  if (index < 0 || index >= names.size() || index >= kinds.size()) return;
  const QString& value = names[index];
  const QString& kind = kinds[index];
  std::lock_guard lock(renderLock_);
  if (!mixer_) return;
  if (kind == CompModeLists::kBlendKind) {
    const QStringList factors = value.split(QLatin1Char(':'));
    if (factors.size() == 2) mixer_->useGLCompMode(factors[1].toInt());
  } else if (kind == CompModeLists::kFilterKind) {
    mixer_->useCICompMode(value);
  } else if (kind == CompModeLists::kQCKind) {
    mixer_->useQCCompMode(value);
  }
}

CompModeLists LayerFXObject::mixModeLists() const {
  CompModeLists lists;
  if (LayerFXHost* layer = host()) {
    lists.humanNames = layer->compFilterHumanNames();
    lists.names = layer->compFilterNames();
    lists.tags = layer->compFilterKinds();
  }
  return lists;
}

LayerFXObjectPanel* LayerFXObject::panel() {
  if (panel_ || deleted()) return panel_;
  panel_ = new LayerFXObjectPanel(*this);
  panel_->setCollapsedFlag(collapsed());
  const QSizeF natural(panel_->width(), panel_->naturalHeight());
  if (collapsed()) {
    // Unfolding later restores the panel's own height.
    FXObject::expand();
    setLocalFrame(QRectF(localFrame().topLeft(), natural));
    setCollapsed(true);
  } else {
    setLocalFrame(QRectF(localFrame().topLeft(), natural));
  }
  return panel_;
}

QWidget* LayerFXObject::myPanel() const { return const_cast<LayerFXObject*>(this)->panel(); }

QByteArray LayerFXObject::copyDragData() const {
  return isMissing() ? QByteArray() : LayerFXChain::dragDataFor(*this);
}

QString LayerFXObject::compValueFor(const LayerFXMixer& mixer) {
  if (mixer.contentsRenderingMode() != 0)
    return CompModeLists::blendIdentifier(
        kSrcAlpha, mixer.dFactor() == kOneMinusSrcAlpha ? kOneMinusSrcAlpha : kDstAlpha);
  return mixer.compRenderingMode() == 0 ? mixer.CIFilterName() : mixer.QCFilterName();
}

int LayerFXObject::updateCompButton() const {
  LayerFXHost* layer = host();
  if (!mixer_ || !layer) return -1;
  const QString value = compValueFor(*mixer_);
  const int index = value.isEmpty() ? -1 : int(layer->compFilterNames().indexOf(value));
  if (index < 0) Log::line("\t\terr: couldn't find index to select");
  return index;
}

// --- Snapshot ------------------------------------------------------------------

std::optional<QVariantMap> LayerFXObject::createSnapshot() const {
  QVariantMap snapshot;
  if (context_)
    if (std::optional<QVariantMap> values = context_->createSnapshot())
      snapshot.insert(kAttributeLoaderKey, *values);
  if (bypassButton())
    if (const QVariantMap button = bypassButton()->createSnapshot(); !button.isEmpty())
      snapshot.insert(kBypassToggleKey, button);
  if (wetDrySlider_)
    if (const QVariantMap slider = wetDrySlider_->createSnapshot(); !slider.isEmpty())
      snapshot.insert(kWetDrySliderKey, slider);
  snapshot.insert(kCollapsedFlagKey, collapsed());
  if (mixer_)
    if (const QVariantMap mixer = mixer_->createSnapshot(); !mixer.isEmpty())
      snapshot.insert(kWetDryContextKey, mixer);
  return snapshot;
}

void LayerFXObject::loadSnapshot(const QVariantMap& snapshot) {
  awake_.store(false);
  if (context_) {
    const QVariant values = snapshot.value(kAttributeLoaderKey);
    context_->loadSnapshot(values.typeId() == QMetaType::QVariantMap ? values.toMap() : snapshot);
  }
  const QVariant mixer = snapshot.value(kWetDryContextKey);
  if (mixer.typeId() == QMetaType::QVariantMap && mixer_) {
    std::lock_guard lock(renderLock_);
    mixer_->loadSnapshot(mixer.toMap());
  }
  const QVariant slider = snapshot.value(kWetDrySliderKey);
  if (slider.typeId() == QMetaType::QVariantMap && wetDrySlider_) {
    wetDrySlider_->loadSnapshot(slider.toMap());
    wetDry_.store(wetDrySlider_->value());
  }
  const QVariant collapsedFlag = snapshot.value(kCollapsedFlagKey);
  if (collapsedFlag.isValid() && collapsedFlag.toBool() != collapsed())
    setCollapsed(collapsedFlag.toBool());
  const QVariant button = snapshot.value(kBypassToggleKey);
  if (bypassButton()) {
    if (button.typeId() == QMetaType::QVariantMap)
      bypassButton()->loadSnapshot(button.toMap(), false);
    bypassToggleUsed();
  }
  awake_.store(true);
}

void LayerFXObject::setCollapsed(bool collapse) {
  if (panel_) panel_->setCollapsedFlag(collapse);
  if (!collapse) {
    FXObject::expand();
    return;
  }
  FXObject::collapse();
  QRectF frame = localFrame();
  frame.setHeight(kCollapsedHeight);
  setLocalFrame(frame);
}

void LayerFXObject::collapse() {
  setCollapsed(true);
  if (myChain()) myChain()->resizeChain();
}

void LayerFXObject::expand() {
  setCollapsed(false);
  if (panel_ && panel_->naturalHeight() != int(localFrame().height()))
    fxResizingHeight(panel_->naturalHeight());
}

void LayerFXObject::tellMyChainToDeleteMe() {
  if (bypassButton()) bypassButton()->setIntValue(0, false);
  bypassToggleUsed();
  FXObject::tellMyChainToDeleteMe();
}

void LayerFXObject::prepareToBeDeleted() {
  if (deleted()) return;
  if (panel_) panel_->handBackParameters();
  if (bypassButton()) bypassButton()->setIntValue(0, false);
  bypassToggleUsed();
  {
    std::lock_guard lock(renderLock_);
    if (context_) context_->prepareToBeDeleted();
    if (mixer_) mixer_->prepareToBeDeleted();
  }
  FXObject::prepareToBeDeleted();
}
