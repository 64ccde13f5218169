#include "framework/params/QCAttributeLoader.h"

#include "framework/datasource/MasterClockInterface.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCPanelStack.h"
#include "framework/render/QKQCComposition.h"
#include "framework/taps/QKRTapMenuController.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

using Kind = QCElementFactories::Kind;
using Role = QCAttributeLoader::Choice::Role;

QCAttributeLoader::Choice element(Kind kind) { return {Role::Element, kind}; }

bool beginsWithAny(const QString& key, std::initializer_list<const char*> forms) {
  for (const char* form : forms)
    if (key.startsWith(QLatin1String(form), Qt::CaseSensitive)) return true;
  return false;
}

QCAttributeLoader::Choice classifyNumber(const QString& key) {
  if (key.startsWith(QLatin1String("ZAPHBPM"))) return {Role::Tempo};
  if (beginsWithAny(key, {"MeasurePosition", "measureposition", "Measure Position",
                          "measure position", "Measure_Position", "measure_position"}))
    return {Role::MeasurePosition};
  if (key.contains(QLatin1String("LogSlider"), Qt::CaseSensitive)) return element(Kind::LogSlider);
  return element(Kind::Slider);
}

QCAttributeLoader::Choice classifyString(const QString& key) {
  if (key.contains(QLatin1String("FontMenu"), Qt::CaseSensitive)) return element(Kind::FontMenu);
  if (key.contains(QLatin1String("FileInput"), Qt::CaseSensitive)) return element(Kind::Text);
  return element(Kind::String);
}

QCAttributeLoader::Choice classifyStructure(const QString& key) {
  if (key.contains(QLatin1String("XY"), Qt::CaseInsensitive)) return element(Kind::Position);
  if (key.contains(QLatin1String("RECT"), Qt::CaseInsensitive)) return element(Kind::Rectangle);
  return {Role::Skip};  // only a form's control of that key would take it
}

// Kinds whose elements report no snapshot-worthy changes to the panel.
bool takesNoNotices(Kind kind) {
  return kind == Kind::FontMenu || kind == Kind::IndexMenu || kind == Kind::Tap;
}

}  // namespace

QCAttributeLoader::Choice QCAttributeLoader::classify(const QString& portClass,
                                                      const QString& key) {
  if (portClass == QLatin1String("QCNumberPort")) return classifyNumber(key);
  if (portClass == QLatin1String("QCBooleanPort")) return element(Kind::Button);
  if (portClass == QLatin1String("QCStringPort")) return classifyString(key);
  if (portClass == QLatin1String("QCColorPort")) return element(Kind::Color);
  if (portClass == QLatin1String("QCGLImagePort")) return element(Kind::Tap);
  if (portClass == QLatin1String("QCIndexPort")) return element(Kind::IndexMenu);
  if (portClass == QLatin1String("QCStructurePort")) return classifyStructure(key);
  return {Role::Skip};
}

QStringList QCAttributeLoader::sortedKeys(QStringList keys) {
  std::stable_sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return keys;
}

QCAttributeLoader::QCAttributeLoader(QWidget* parent)
    : QWidget(parent),
      handOff_(std::make_shared<QCElementHandOff>()),
      accepting_(std::make_shared<std::atomic<bool>>(false)),
      renderPlan_(std::make_shared<const RenderPlan>()),
      alive_(std::make_shared<int>(0)) {
  setAutoFillBackground(true);
  observers_.observe(QKRTapMenuController::kRestoreStartNotification, nullptr,
                     [this](const Notification&) { presetsAreLoading_ = true; });
  observers_.observe(QKRTapMenuController::kRestoreEndNotification, nullptr,
                     [this](const Notification&) { presetsAreLoading_ = false; });
}

QCAttributeLoader::~QCAttributeLoader() {
  observers_.clear();
  clockObservers_.clear();
  if (!deleted_.load()) prepareToBeDeleted();
  alive_.reset();
}

void QCAttributeLoader::awakeFromNib() {
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(this));
}

void QCAttributeLoader::setMasterClock(MasterClockInterface* clock) {
  clockObservers_.clear();
  masterClock_.store(clock);
  if (clock)
    clockObservers_.observe(
        QString::fromLatin1(MasterClockInterface::kMeasureDurationChangedNotification), nullptr,
        [this](const Notification&) { masterClockChangedNotification(); });
  masterClockChangedNotification();
}

void QCAttributeLoader::setComposition(std::shared_ptr<const QKQCComposition> composition) {
  composition_ = std::move(composition);
  accepting_->store(composition_ && !deleted_.load());
}

// --- Loading -------------------------------------------------------------------

void QCAttributeLoader::loadAttributesForComposition(
    std::shared_ptr<const QKQCComposition> composition) {
  setComposition(composition);
  if (!composition) return;
  removeAllExistingElements();
  setComposition(composition);
  generateInterface();
  currentSnapshotDict_ = createSnapshot();
}

void QCAttributeLoader::generateInterface() {
  if (!composition_) {
    Log::line("err:composition was nil on loadAttributesForComposition");
    return;
  }
  if (deleted_.load()) {
    Log::line("err: attribute loader called loadAttributesForComposition after being deleted");
    return;
  }
  const QVariantMap& inputs = composition_->publishedInputsDict();
  for (const QString& key : sortedKeys(inputs.keys())) {
    const QVariantMap description = inputs.value(key).toMap();
    const QString portClass = description.value(QStringLiteral("portClass")).toString();
    if (portClass.isEmpty()) continue;
    const Choice choice = classify(portClass, key);
    if (choice.role == Role::Tempo)
      bpmInputsArray_ << key;
    else if (choice.role == Role::MeasurePosition)
      measurePositionInputsArray_ << key;
    else if (choice.role == Role::Element)
      addElementForInput(key, description, choice);
  }
  publishRenderPlan();
  resizeAndReposition();
  if (parentScrollView_) parentScrollView_->ensureVisible(0, 0, 0, 0);
}

void QCAttributeLoader::addElementForInput(const QString& key, const QVariantMap& description,
                                           Choice choice) {
  QCElementFactories::Request request{choice.kind, key, description, double(width()), this};
  std::shared_ptr<QCPanelElement> made = QCElementFactories::create(request);
  if (!made) {
    Log::line(QStringLiteral("\t\terr: no %1 element for the input %2, skipped")
                  .arg(QCElementFactories::kindName(choice.kind), key));
    return;
  }
  bindElement(made, choice);
  if (choice.kind == Kind::Position || choice.kind == Kind::Rectangle) uiElementUsed(made);
}

void QCAttributeLoader::bindElement(const std::shared_ptr<QCPanelElement>& element, Choice choice) {
  std::weak_ptr<QCPanelElement> weak = element;
  element->setAction(QCPanelStack::queueingAction(element, handOff_, accepting_));
  // Notices come on any thread and may outlive the panel by a call in
  // flight: the panel is touched on the main thread only, while it lives.
  std::weak_ptr<int> alive = alive_;
  if (!takesNoNotices(choice.kind))
    element->setSnapshotNotice([this, weak, alive] {
      if (!MainThread::isMainThread()) {
        MainThread::coalesce(weak.lock().get(), [this, weak, alive] {
          auto changed = weak.lock();
          if (changed && alive.lock()) paramSnapUpdated(*changed);
        });
        return;
      }
      auto changed = weak.lock();
      if (changed && alive.lock()) paramSnapUpdated(*changed);
    });
  elementArray_.push_back(element);
  if (QWidget* view = element->view()) view->show();
  if (choice.kind == Kind::Tap) tapArray_.push_back(element);
  if (choice.kind == Kind::Text) defaultFileInput_ = element;
}

void QCAttributeLoader::publishRenderPlan() {
  auto plan = std::make_shared<RenderPlan>();
  plan->bpmKeys = bpmInputsArray_;
  plan->measurePositionKeys = measurePositionInputsArray_;
  plan->taps = tapArray_;
  renderPlan_.store(std::move(plan));
  tempoPending_.store(true);
}

// --- Layout --------------------------------------------------------------------

void QCAttributeLoader::setParentScrollView(QScrollArea* scrollView) {
  parentScrollView_ = scrollView;
  resizeAndReposition();
}

void QCAttributeLoader::resizeAndReposition() {
  if (deleted_.load()) {
    Log::line("err: attribute loader called resize and position after being deleted");
    return;
  }
  const int panelWidth = parentScrollView_ ? parentScrollView_->viewport()->width() : width();
  QCPanelStack::layOut(elementArray_, panelWidth, *this);
}

// --- Hand-off ------------------------------------------------------------------

void QCAttributeLoader::uiElementUsed(const std::shared_ptr<QCPanelElement>& element) {
  if (!element || !accepting_->load()) return;
  handOff_->queue(element);
}

void QCAttributeLoader::dumpToRenderer(const std::shared_ptr<composition::QCRenderer>& renderer,
                                       const composition::PortValue& fallbackImage) {
  if (deleted_.load()) {
    Log::limited(QStringLiteral("QCAttributeLoader.dumpAfterDelete"),
                 QStringLiteral("err:attributeLoader dumpToRenderer after deleted"));
    return;
  }
  const std::shared_ptr<const RenderPlan> plan = renderPlan_.load();
  bool pushTempoNow = tempoPending_.exchange(false);
  if (renderer_.lock() != renderer) {
    renderer_ = renderer;
    pushTempoNow = true;
  }
  if (!renderer) {
    if (pushTempoNow) tempoPending_.store(true);
    return;
  }
  if (pushTempoNow) pushTempo(*renderer, *plan);
  handOff_->deliver([this, &renderer](const std::shared_ptr<QCPanelElement>& element) {
    processUIElement(element, *renderer);
  });
  dumpMeasurePositions(*renderer, *plan);
  dumpTaps(*renderer, *plan, fallbackImage);
}

void QCAttributeLoader::processUIElement(const std::shared_ptr<QCPanelElement>& element,
                                         composition::QCRenderer& renderer) {
  const QString key = element->key();
  const bool keyListed = renderer.hasInputKey(key);
  if (keyListed)
    if (std::optional<composition::PortValue> value = element->value())
      renderer.setValue(key, *value);
  if (element->snapshotAfterDelivery(keyListed)) requestSnapshotRefresh(element);
}

void QCAttributeLoader::requestSnapshotRefresh(const std::shared_ptr<QCPanelElement>& element) {
  if (!liveUpdating_.load()) return;
  if (MainThread::isMainThread()) {
    paramSnapUpdated(*element);
    return;
  }
  std::weak_ptr<int> alive = alive_;
  std::weak_ptr<QCPanelElement> weak = element;
  MainThread::coalesce(element.get(), [this, alive, weak] {
    auto changed = weak.lock();
    if (alive.lock() && changed) paramSnapUpdated(*changed);
  });
}

// --- Clock and taps --------------------------------------------------------------

std::optional<float> QCAttributeLoader::tempoOf(const MasterClockInterface& clock) {
  const float duration = clock.measureDuration();
  const float bpm = 60.0f / duration * static_cast<float>(clock.beatsPerMeasure());
  if (!std::isfinite(bpm)) return std::nullopt;
  return bpm;
}

void QCAttributeLoader::masterClockChangedNotification() { tempoPending_.store(true); }

void QCAttributeLoader::pushTempo(composition::QCRenderer& renderer, const RenderPlan& plan) {
  MasterClockInterface* clock = masterClock_.load();
  if (!clock || plan.bpmKeys.isEmpty()) return;
  const std::optional<float> bpm = tempoOf(*clock);
  if (!bpm) return;
  for (const QString& key : plan.bpmKeys)
    if (renderer.hasInputKey(key)) renderer.setNumber(key, *bpm);
}

void QCAttributeLoader::dumpMeasurePositions(composition::QCRenderer& renderer,
                                             const RenderPlan& plan) {
  MasterClockInterface* clock = masterClock_.load();
  if (!clock || plan.measurePositionKeys.isEmpty()) return;
  const float position = clock->measurePosition();
  for (const QString& key : plan.measurePositionKeys)
    if (renderer.hasInputKey(key)) renderer.setNumber(key, position);
}

void QCAttributeLoader::dumpTaps(composition::QCRenderer& renderer, const RenderPlan& plan,
                                 const composition::PortValue& fallbackImage) {
  for (const auto& tap : plan.taps) {
    const QString key = tap->key();
    if (!renderer.hasInputKey(key)) continue;
    if (gl::TextureHandle texture = tap->tapTexture())
      renderer.setImage(key, texture);
    else if (!fallbackImage.isEmpty())
      renderer.setValue(key, fallbackImage);
  }
}

// --- Elements --------------------------------------------------------------------

std::shared_ptr<QCPanelElement> QCAttributeLoader::findElementWithKey(const QString& key) const {
  return deleted_.load() ? nullptr : QCPanelStack::find(elementArray_, key);
}

void QCAttributeLoader::removeAllExistingElements() {
  accepting_->store(false);
  defaultFileInput_.reset();
  QCPanelStack::retire(elementArray_);
  tapArray_.clear();
  bpmInputsArray_.clear();
  measurePositionInputsArray_.clear();
  publishRenderPlan();
  handOff_->clear();
  composition_.reset();
}

void QCAttributeLoader::prepareToBeDeleted() {
  deleted_.store(true);
  liveUpdating_.store(false);
  observers_.clear();
  clockObservers_.clear();
  removeAllExistingElements();
}

// --- Snapshots -------------------------------------------------------------------

QVariantMap QCAttributeLoader::createSnapshot() const {
  if (elementArray_.empty()) return {};
  QVariantMap attributeDicts;
  for (const auto& element : elementArray_) {
    const QString key = element->key();
    if (key.isEmpty()) {
      Log::line(QStringLiteral("\t\terr: attribute element's key was nil: %1")
                    .arg(element->legacyName()));
      continue;
    }
    const QVariantMap snapshot = element->createSnapshot();
    if (!snapshot.isEmpty()) attributeDicts.insert(key, snapshot);
  }
  return {{QStringLiteral("attributeDicts"), attributeDicts}};
}

std::shared_ptr<QCPanelElement> QCAttributeLoader::matchSnapshot(
    const QVariantMap& snapshot) const {
  const auto key = snapshot.constFind(QStringLiteral("key"));
  for (const auto& element : elementArray_) {
    if (key != snapshot.constEnd()) {
      if (key->toString() == element->key()) return element;
      continue;
    }
    const auto name = snapshot.constFind(element->legacyNameKey());
    if (name != snapshot.constEnd() && name->toString() == element->legacyName()) return element;
  }
  return nullptr;
}

void QCAttributeLoader::loadElementSnapshot(QCPanelElement& element, const QVariantMap& snapshot) {
  element.loadSnapshot(snapshot);
  if (element.isTap() && !presetsAreLoading_) element.reloadAvailableTaps();
}

void QCAttributeLoader::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.isEmpty() || elementArray_.empty()) return;
  const QVariantMap attributeDicts = snapshot.value(QStringLiteral("attributeDicts")).toMap();
  for (const QVariant& entry : attributeDicts) {
    const QVariantMap elementSnapshot = entry.toMap();
    if (auto element = matchSnapshot(elementSnapshot))
      loadElementSnapshot(*element, elementSnapshot);
  }
  currentSnapshotDict_ = createSnapshot();
}

void QCAttributeLoader::deprecatedLoadSnapshot(const QVariantMap& snapshot) {
  if (elementArray_.empty()) return;
  const QVariantMap attributeDicts = snapshot.value(QStringLiteral("attributeDicts")).toMap();
  for (const auto& element : elementArray_) {
    const auto entry = attributeDicts.constFind(element->key());
    if (element->key().isEmpty() || entry == attributeDicts.constEnd()) continue;
    loadElementSnapshot(*element, entry->toMap());
  }
  currentSnapshotDict_ = createSnapshot();
}

void QCAttributeLoader::setCurrentSnapshotDict(const QVariantMap& snapshot) {
  currentSnapshotDict_ = snapshot.isEmpty() ? createSnapshot() : snapshot;
}

void QCAttributeLoader::paramSnapUpdated(const QCPanelElement& element) {
  if (!liveUpdating_.load() || currentSnapshotDict_.isEmpty()) return;
  const QString key = element.key();
  const bool ours = std::any_of(elementArray_.begin(), elementArray_.end(),
                                [&element](const auto& held) { return held.get() == &element; });
  if (!ours || key.isEmpty()) return;
  const QVariantMap snapshot = element.createSnapshot();
  if (snapshot.isEmpty()) return;
  QVariantMap attributeDicts = currentSnapshotDict_.value(QStringLiteral("attributeDicts")).toMap();
  attributeDicts.insert(key, snapshot);
  currentSnapshotDict_.insert(QStringLiteral("attributeDicts"), attributeDicts);
}
