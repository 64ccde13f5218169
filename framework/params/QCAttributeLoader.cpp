#include "framework/params/QCAttributeLoader.h"

#include "framework/datasource/MasterClockInterface.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCPanelStack.h"
#include "framework/params/QCFormLoader.h"
#include "framework/params/QCTabViewElement.h"
#include "framework/params/QKQCScrollView.h"
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
    std::shared_ptr<const QKQCComposition> composition, const QString& formPath) {
  QWidget* form = nullptr;
  if (composition && !formPath.isEmpty() && !deleted_.load()) {
    QString error;
    form = QCFormLoader::load(formPath, &error);
    if (!form)
      Log::line(QStringLiteral("\t\terr: panel form %1 not loaded, the panel is generated: %2")
                    .arg(formPath, error));
  }
  loadAttributesForComposition(std::move(composition), form);
}

void QCAttributeLoader::loadAttributesForComposition(
    std::shared_ptr<const QKQCComposition> composition, QWidget* form) {
  std::unique_ptr<QWidget> taken(form);
  setComposition(composition);
  if (!composition) return;
  removeAllExistingElements();
  setComposition(composition);
  if (taken && !deleted_.load()) {
    topNibView_ = taken.release();
    topNibView_->setParent(this);
    topNibViewNativeSize_ = QSizeF(topNibView_->size());
  }
  generateInterface();
  if (topNibView_) {
    topNibView_->show();
    resizeAndReposition();
    update();
  }
  updateParentScrollView();
  currentSnapshotDict_ = createSnapshot();
}

void QCAttributeLoader::updateParentScrollView() {
  if (auto* scrollView = qobject_cast<QKQCScrollView*>(parentScrollView_.data()))
    scrollView->updateContents();
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
    else if (choice.role == Role::Element && wantsElementForInput(key, choice))
      addElementForInput(key, description, choice);
    else if (topNibView_ && portClass == QLatin1String("QCStructurePort"))
      addElementForInput(key, description, element(Kind::Position));  // a form's own control
  }
  if (topNibView_) addFormTabViews();
  publishRenderPlan();
  resizeAndReposition();
  if (parentScrollView_) parentScrollView_->ensureVisible(0, 0, 0, 0);
}

void QCAttributeLoader::addElementForInput(const QString& key, const QVariantMap& description,
                                           Choice choice) {
  std::shared_ptr<QCPanelElement> made;
  if (topNibView_) {
    made = findInForm(key, description, choice);
    if (!made) return;  // a form leaves out what it does not show
  } else {
    QCElementFactories::Request request{choice.kind, key, description, double(width()), this};
    made = QCElementFactories::create(request);
    if (!made) {
      Log::line(QStringLiteral("\t\terr: no %1 element for the input %2, skipped")
                    .arg(QCElementFactories::kindName(choice.kind), key));
      return;
    }
  }
  const bool tabView = dynamic_cast<QCTabViewElement*>(made.get()) != nullptr;
  bindElement(made, choice, tabView || !takesNoNotices(choice.kind));
  if (choice.kind == Kind::Position || choice.kind == Kind::Rectangle) uiElementUsed(made);
}

std::shared_ptr<QCPanelElement> QCAttributeLoader::findInForm(const QString& key,
                                                              const QVariantMap& description,
                                                              Choice choice) const {
  QWidget* found = recursivelySearchView(topNibView_, key);
  if (!found) return nullptr;
  QCElementFactories::Request request{choice.kind, key, description, double(width()), nullptr};
  std::shared_ptr<QCPanelElement> adopted = QCElementFactories::adopt(found, request);
  if (!adopted) {
    Log::line(QStringLiteral("\t\terr: the form's control %1 (%2) drives no input, skipped")
                  .arg(key, QString::fromLatin1(found->metaObject()->className())));
    return nullptr;
  }
  if (choice.kind == Kind::Tap && !adopted->isTap()) return nullptr;
  return adopted;
}

void QCAttributeLoader::bindElement(const std::shared_ptr<QCPanelElement>& element, Choice choice,
                                    bool notices) {
  watchElement(element, notices);
  elementArray_.push_back(element);
  if (QWidget* view = element->view()) view->show();
  if (choice.kind == Kind::Tap) tapArray_.push_back(element);
  if (choice.kind == Kind::Text) defaultFileInput_ = element;
}

void QCAttributeLoader::watchElement(const std::shared_ptr<QCPanelElement>& element, bool notices) {
  std::weak_ptr<QCPanelElement> weak = element;
  element->setAction(QCPanelStack::queueingAction(element, handOff_, accepting_));
  if (!notices) return;
  // Notices come on any thread and may outlive the panel by a call in
  // flight: the panel is touched on the main thread only, while it lives.
  std::weak_ptr<int> alive = alive_;
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
}

void QCAttributeLoader::addFormTabViews() {
  // Depth first, in the order of the children.
  for (QKNSTabView* tabView : topNibView_->findChildren<QKNSTabView*>()) {
    const bool bound = std::any_of(elementArray_.begin(), elementArray_.end(),
                                   [tabView](const auto& held) { return held->view() == tabView; });
    if (bound) continue;
    auto element = QCTabViewElement::adopt(tabView, keyOfView(tabView), false);
    if (!element) continue;
    watchElement(element, true);
    tabViewArray_.push_back(element);
  }
}

QString QCAttributeLoader::keyOfView(const QWidget* view) {
  if (!view) return QString();
  const QVariant property = view->property("key");
  if (property.isValid()) return property.toString();
  if (auto* slider = qobject_cast<const QKSliderControl*>(view)) return slider->key();
  if (auto* button = qobject_cast<const QKButton*>(view)) return button->key();
  if (auto* tabView = qobject_cast<const QKNSTabView*>(view)) return tabView->key();
  return QString();
}

QWidget* QCAttributeLoader::recursivelySearchView(QWidget* view, const QString& key) const {
  if (deleted_.load() || !view || key.isEmpty()) return nullptr;
  if (auto* tabs = qobject_cast<QTabWidget*>(view)) {
    for (int index = 0; index < tabs->count(); ++index) {
      QWidget* page = tabs->widget(index);
      if (keyOfView(page) == key) return page;
      if (QWidget* found = recursivelySearchView(page, key)) return found;
    }
    return nullptr;
  }
  for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (keyOfView(child) == key) return child;
    if (QWidget* found = recursivelySearchView(child, key)) return found;
  }
  return nullptr;
}

void QCAttributeLoader::publishRenderPlan() {
  auto plan = std::make_shared<RenderPlan>();
  plan->bpmKeys = bpmInputsArray_;
  plan->measurePositionKeys = measurePositionInputsArray_;
  plan->taps = tapArray_;
  plan->textElement = defaultFileInput_.lock();
  renderPlan_.store(std::move(plan));
  tempoPending_.store(true);
}

// --- Layout --------------------------------------------------------------------

void QCAttributeLoader::setParentScrollView(QScrollArea* scrollView) {
  parentScrollView_ = scrollView;
  resizeAndReposition();
}

std::shared_ptr<QCPanelElement> QCAttributeLoader::renderThreadFileInput() const {
  return renderPlan_.load()->textElement;
}

void QCAttributeLoader::resizeAndReposition() {
  if (deleted_.load()) {
    Log::line("err: attribute loader called resize and position after being deleted");
    return;
  }
  if (topNibView_) {
    setGeometry(QRect(QPoint(0, 0), topNibView_->size()));
    topNibView_->setGeometry(rect());
    return;
  }
  const int panelWidth = parentScrollView_ ? parentScrollView_->viewport()->width() : width();
  orderElementsForLayout(elementArray_);
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
    static std::atomic<std::uint64_t> bindings{0};
    renderer_ = renderer;
    rendererBinding_ = ++bindings;
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
  const QCPanelElement::RendererListing& listing = listingOf(*element, renderer);
  if (listing.listed)
    if (std::optional<composition::PortValue> value = element->value())
      renderer.setValue(listing.key, *value);
  if (liveUpdating_.load() && element->snapshotAfterDelivery(listing.listed))
    requestSnapshotRefresh(element);
}

const QCPanelElement::RendererListing& QCAttributeLoader::listingOf(
    const QCPanelElement& element, const composition::QCRenderer& renderer) const {
  QCPanelElement::RendererListing& listing = element.rendererListing();
  if (listing.binding != rendererBinding_) {
    QString key = element.key();
    const bool listed = renderer.hasInputKey(key);
    listing = {rendererBinding_, listed, std::move(key)};
  }
  return listing;
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

std::shared_ptr<QCPanelElement> QCAttributeLoader::findTabViewWithKey(const QString& key) const {
  return deleted_.load() ? nullptr : QCPanelStack::find(tabViewArray_, key);
}

void QCAttributeLoader::removeAllExistingElements() {
  accepting_->store(false);
  defaultFileInput_.reset();
  QCPanelStack::retire(elementArray_);
  QCPanelStack::retire(tabViewArray_);
  if (QWidget* top = topNibView_.data()) {
    top->hide();
    top->setParent(nullptr);
    top->deleteLater();
  }
  topNibView_.clear();
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
  if (elementArray_.empty() && tabViewArray_.empty()) return {};
  QVariantMap snapshot;
  const auto collect = [](const std::vector<std::shared_ptr<QCPanelElement>>& elements,
                          const char* nilKeyError) {
    QVariantMap dicts;
    for (const auto& element : elements) {
      const QString key = element->key();
      if (key.isEmpty()) {
        Log::line(QString::fromLatin1(nilKeyError).arg(element->legacyName()));
        continue;
      }
      const QVariantMap elementSnapshot = element->createSnapshot();
      if (!elementSnapshot.isEmpty()) dicts.insert(key, elementSnapshot);
    }
    return dicts;
  };
  if (!elementArray_.empty())
    snapshot.insert(QStringLiteral("attributeDicts"),
                    collect(elementArray_, "\t\terr: attribute element's key was nil: %1"));
  if (!tabViewArray_.empty())
    snapshot.insert(QStringLiteral("tabViewsDict"),
                    collect(tabViewArray_, "\t\terr: tab view's key was nil: %1"));
  return snapshot;
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
  if (snapshot.isEmpty() || !hasAttributes()) return;
  const QVariantMap attributeDicts = snapshot.value(QStringLiteral("attributeDicts")).toMap();
  for (const QVariant& entry : attributeDicts) {
    const QVariantMap elementSnapshot = entry.toMap();
    if (auto element = matchSnapshot(elementSnapshot))
      loadElementSnapshot(*element, elementSnapshot);
  }
  const QVariantMap tabViewsDict = snapshot.value(QStringLiteral("tabViewsDict")).toMap();
  for (auto it = tabViewsDict.cbegin(); it != tabViewsDict.cend(); ++it)
    if (auto tabView = findTabViewWithKey(it.key())) tabView->loadSnapshot(it.value().toMap());
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
  const auto holds = [&element](const std::vector<std::shared_ptr<QCPanelElement>>& elements) {
    return std::any_of(elements.begin(), elements.end(),
                       [&element](const auto& held) { return held.get() == &element; });
  };
  const QString dictKey = holds(elementArray_)   ? QStringLiteral("attributeDicts")
                          : holds(tabViewArray_) ? QStringLiteral("tabViewsDict")
                                                 : QString();
  const QString key = element.key();
  if (dictKey.isEmpty() || key.isEmpty()) return;
  const QVariantMap snapshot = element.createSnapshot();
  if (snapshot.isEmpty()) return;
  QVariantMap dicts = currentSnapshotDict_.value(dictKey).toMap();
  dicts.insert(key, snapshot);
  currentSnapshotDict_.insert(dictKey, dicts);
}
