#include "app/inspector/MovieLayersMenuController.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/inspector/MovieLayersMenuTarget.h"
#include "app/sources/MovieSource.h"
#include "framework/media/QKFile.h"
#include "framework/taps/QKRTapMenuController.h"
#include "platform/foundation/MainThread.h"

#include <QAction>
#include <QMenu>

const QString MovieLayersMenuController::kMostRecentlyTriggered =
    QStringLiteral("Most Recently Triggered");
const QString MovieLayersMenuController::kLastSelectedItemNameKey =
    QStringLiteral("lastSelectedItemName");
const QString MovieLayersMenuController::kMostRecentlyTriggeredLayerKey =
    QStringLiteral("mostRecentlyTriggeredLayer");

namespace {

bool showsMovie(const Layer& layer) {
  return dynamic_cast<MovieSource*>(layer.currentSource()) != nullptr;
}

std::optional<QString> stringIn(const QVariantMap& snapshot, const QString& key) {
  const QVariant value = snapshot.value(key);
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

}  // namespace

MovieLayersMenuController::MovieLayersMenuController(QWidget* parent) : QKNSPopUpButton(parent) {}

MovieLayersMenuController::~MovieLayersMenuController() {
  layerObservers_.clear();
  restoreObservers_.clear();
  MainThread::cancel(this);
}

void MovieLayersMenuController::awakeFromNib() {
  connect(this, &QKNSPopUpButton::activated, this, [this] { iAmMyOwnTarget(); });
  allQTLayers_.clear();
  lastSelectedItemName_ = kMostRecentlyTriggered;
  mostRecentlyTriggeredLayer_.reset();
  observeLayers();
  restoreObservers_.observe(
      QKRTapMenuController::kRestoreStartNotification, nullptr,
      [this](const Notification&) { onMain([](auto& menu) { menu.startPresetRestore(); }); });
  restoreObservers_.observe(
      QKRTapMenuController::kRestoreEndNotification, nullptr,
      [this](const Notification&) { onMain([](auto& menu) { menu.stopPresetRestore(); }); });
}

void MovieLayersMenuController::prepareToBeDeleted() {
  layerObservers_.clear();
  restoreObservers_.clear();
  MainThread::cancel(this);
  thingToSetLayer_ = nullptr;
}

void MovieLayersMenuController::onMain(std::function<void(MovieLayersMenuController&)> work) {
  MainThread::run([this, alive = std::weak_ptr<int>(alive_), work = std::move(work)] {
    if (alive.lock()) work(*this);
  });
}

// The layer is read here, on the posting thread, which holds it.
void MovieLayersMenuController::observeLayers() {
  layerObservers_.observe(Layer::kTriggerFileNotification, nullptr, [this](const Notification& n) {
    const auto* layer = static_cast<const Layer*>(n.object);
    if (!layer) return;
    const QString name = layer->layerName();
    const bool movie = showsMovie(*layer);
    const auto file = n.userInfo.value(QStringLiteral("newFile")).value<std::shared_ptr<QKFile>>();
    onMain([name, movie, file](auto& menu) { menu.layerTriggeredFile(name, movie, file); });
  });
  layerObservers_.observe(Layer::kNameChangeNotification, nullptr, [this](const Notification& n) {
    const QString oldName = n.userInfo.value(QStringLiteral("oldName")).toString();
    const QString newName = n.userInfo.value(QStringLiteral("newName")).toString();
    onMain([oldName, newName](auto& menu) { menu.layerChangedName(oldName, newName); });
  });
  layerObservers_.observe(Layer::kDeleteNotification, nullptr, [this](const Notification& n) {
    const auto* layer = static_cast<const Layer*>(n.object);
    if (!layer) return;
    const QString name = layer->layerName();
    onMain([name](auto& menu) { menu.layerDeleted(name); });
  });
  for (const QString& name : {Layer::kCreateNotification, Layer::kSourceChangeNotification})
    layerObservers_.observe(name, nullptr, [this](const Notification&) {
      onMain([](auto& menu) { menu.populateAllMenus(); });
    });
}

void MovieLayersMenuController::setCompositor(Compositor* compositor) {
  compositor_ = compositor;
  populateAllMenus();
}

// --- The menu --------------------------------------------------------------------------------

QStringList MovieLayersMenuController::findAllQTLayers(
    const std::vector<std::shared_ptr<Layer>>& layers) {
  QStringList names;
  for (const std::shared_ptr<Layer>& layer : layers) {
    if (!layer) continue;
    if (layer->groupFlag())
      names += findAllQTLayers(layer->layerArray());
    else if (showsMovie(*layer))
      names.append(layer->layerName());
  }
  return names;
}

void MovieLayersMenuController::populateAllMenus() {
  removeAllItems();
  addItemWithTitle(kMostRecentlyTriggered);
  menu()->addSeparator();
  allQTLayers_ = compositor_ ? findAllQTLayers(compositor_->topLevelLayers()) : QStringList();
  for (const QString& name : allQTLayers_) addItemWithTitle(name);
  forgetVanishedTrigger();
  if (lastSelectedItemName_)
    selectItemWithTitle(*lastSelectedItemName_);
  else
    selectItem(nullptr);
  iAmMyOwnTarget();
}

void MovieLayersMenuController::forgetVanishedTrigger() {
  if (mostRecentlyTriggeredLayer_ && !allQTLayers_.contains(*mostRecentlyTriggeredLayer_))
    mostRecentlyTriggeredLayer_.reset();
}

void MovieLayersMenuController::iAmMyOwnTarget() {
  const std::optional<QString> title =
      selectedItem() ? std::optional<QString>(selectedItem()->text()) : std::nullopt;
  tellTarget(title == kMostRecentlyTriggered ? mostRecentlyTriggeredLayer_ : title);
  if (title) lastSelectedItemName_ = title;
}

void MovieLayersMenuController::tellTarget(const std::optional<QString>& name) {
  if (thingToSetLayer_) thingToSetLayer_->setLayerWithName(name);
}

// --- Layer events ----------------------------------------------------------------------------

void MovieLayersMenuController::layerTriggeredFile(const QString& layerName, bool movieLayer,
                                                   const std::shared_ptr<QKFile>& file) {
  if (!movieLayer || layerName.isEmpty()) return;
  mostRecentlyTriggeredLayer_ = layerName;
  if (titleOfSelectedItem() != kMostRecentlyTriggered) return;
  tellTarget(layerName);
  if (thingToSetLayer_ && thingToSetLayer_->answersUpdateInterfaceForFile())
    thingToSetLayer_->updateInterfaceForFile(file);
}

// The most recently triggered layer is not renamed: the rebuild forgets it.
void MovieLayersMenuController::layerChangedName(const QString& oldName, const QString& newName) {
  if (lastSelectedItemName_ == oldName) lastSelectedItemName_ = newName;
  populateAllMenus();
}

void MovieLayersMenuController::layerDeleted(const QString& layerName) {
  if (!allQTLayers_.contains(layerName)) return;
  for (QAction* item : menu()->actions()) {
    if (item->isSeparator() || item->text() != layerName) continue;
    menu()->removeAction(item);
    delete item;
    break;
  }
  allQTLayers_.removeAll(layerName);
  if (lastSelectedItemName_ == layerName) {
    lastSelectedItemName_.reset();
    selectItem(nullptr);
  }
  forgetVanishedTrigger();
  iAmMyOwnTarget();
}

// --- Preset restore --------------------------------------------------------------------------

void MovieLayersMenuController::startPresetRestore() { layerObservers_.clear(); }

void MovieLayersMenuController::stopPresetRestore() {
  layerObservers_.clear();
  observeLayers();
  MainThread::runLater(this, kRestoreRebuildDelay, [this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) populateAllMenus();
  });
}

// --- Snapshot --------------------------------------------------------------------------------

QVariantMap MovieLayersMenuController::createSnapshot() const {
  QVariantMap snapshot;
  if (lastSelectedItemName_) snapshot.insert(kLastSelectedItemNameKey, *lastSelectedItemName_);
  if (mostRecentlyTriggeredLayer_)
    snapshot.insert(kMostRecentlyTriggeredLayerKey, *mostRecentlyTriggeredLayer_);
  return snapshot;
}

void MovieLayersMenuController::loadSnapshot(const QVariantMap& snapshot) {
  if (auto name = stringIn(snapshot, kLastSelectedItemNameKey)) lastSelectedItemName_ = name;
  if (auto name = stringIn(snapshot, kMostRecentlyTriggeredLayerKey))
    mostRecentlyTriggeredLayer_ = name;
}
