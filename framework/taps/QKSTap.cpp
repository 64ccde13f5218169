#include "framework/taps/QKSTap.h"

#include "framework/taps/LayerInterface.h"
#include "framework/taps/QKRTapStub.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKSTap> QKSTap::create(LayerInterface* layer) {
  auto tap = std::make_shared<QKSTap>(layer);
  tap->announce();
  return tap;
}

QKSTap::QKSTap(LayerInterface* layer, QString tapName)
    : layer_(layer), tapName_(tapName.isEmpty() && layer ? layer->layerName() : tapName) {}

QKSTap::~QKSTap() {
  if (deleted_) return;
  Log::line(QStringLiteral("\t\tERROR: stap %1 wasn't prepped for deletion!").arg(tapName()));
  prepareToBeDeleted();
}

void QKSTap::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  if (QKTapManager* manager = tapManager()) manager->removeThisSTap(this);
}

void QKSTap::changeTapNameTo(const QString& newName) {
  if (QKTapManager* manager = tapManager())
    manager->sTapNameChange(this, newName);
  else if (QKTapManager::isValidTapName(newName))
    tapName_ = newName;
}

int QKSTap::orderedIndexRelativeTo(const QKSTap& other) const {
  const int mine = layer_ ? layer_->orderedLayerIndex() : -1;
  const int theirs = other.layer_ ? other.layer_->orderedLayerIndex() : -1;
  return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
}

void QKSTap::boundsChanged() {
  if (auto stub = this->stub()) stub->boundsChanged();
}

QSizeF QKSTap::imageSize() const { return layer_ ? layer_->layerSize() : QSizeF(); }

QString QKSTap::tapName() const {
  if (!link_) return tapName_;
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return tapName_;
}

std::shared_ptr<QKRTapStub> QKSTap::stub() const {
  if (!link_) return stub_;
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return stub_;
}

QString QKSTap::description() const {
  return layer_ ? QStringLiteral("<stap, layer = %1>").arg(layer_->layerName())
                : QStringLiteral("<stap, nil layer>");
}

void QKSTap::setTapManager(QKTapManager* manager) { link_ = manager ? manager->link() : nullptr; }

QKTapManager* QKSTap::tapManager() const {
  if (!link_) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return link_->manager;
}
