#include "framework/taps/QKRTap.h"

#include "framework/taps/QKRTapDelegate.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKRTap> QKRTap::create() {
  auto tap = std::make_shared<QKRTap>();
  QKTapManager::announce(tap.get());
  return tap;
}

QKRTap::QKRTap() : lastSelectedTapName_(QKTapManager::kEmptyDeselectedString) {}

QKRTap::~QKRTap() {
  if (deleted_) return;
  Log::line(
      QStringLiteral("\t\tERROR: rtap %1 wasn't prepped for deletion!").arg(lastSelectedTapName()));
  prepareToBeDeleted();
}

std::unique_lock<std::recursive_mutex> QKRTap::lockManager() const {
  return link_ ? std::unique_lock<std::recursive_mutex>(link_->mutex)
               : std::unique_lock<std::recursive_mutex>();
}

void QKRTap::useTapNamed(const QString& name) {
  if (deleted_) return;
  auto lock = lockManager();
  const QString& current = lastSelectedTapName_;
  if (!name.isEmpty() && !current.isEmpty() && current != QKTapManager::kEmptyDeselectedString &&
      name == current)
    return;
  if (QKTapManager* manager = link_ ? link_->manager : nullptr)
    manager->thisRTap(this, name);
  else
    lastSelectedTapName_ = name;
}

// Only an adopted receiver has a stub.
gl::TextureHandle QKRTap::getTextureRef() const {
  if (!link_) return {};
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return stub_ ? stub_->textureRef_ : gl::TextureHandle();
}

QSizeF QKRTap::sourceSize() const {
  auto lock = lockManager();
  QKTapManager* manager = link_ ? link_->manager : nullptr;
  const QKSTap* source = manager ? manager->sTapNamed(lastSelectedTapName_) : nullptr;
  return source ? source->imageSize() : QSizeF(0, 0);
}

void QKRTap::updateTapSize() {
  auto lock = lockManager();
  if (delegate_) delegate_->updateTapSize();
}

void QKRTap::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  auto lock = lockManager();
  delegate_ = nullptr;
  if (QKTapManager* manager = link_ ? link_->manager : nullptr)
    manager->removeThisRTap(this);
  else
    stub_.reset();
}

QString QKRTap::lastSelectedTapName() const {
  auto lock = lockManager();
  return lastSelectedTapName_;
}

void QKRTap::setLastSelectedTapName(const QString& name) {
  auto lock = lockManager();
  lastSelectedTapName_ = name;
}

std::shared_ptr<QKRTapStub> QKRTap::stub() const {
  auto lock = lockManager();
  return stub_;
}

QKRTapDelegate* QKRTap::delegate() const {
  auto lock = lockManager();
  return delegate_;
}

void QKRTap::setDelegate(QKRTapDelegate* delegate) {
  auto lock = lockManager();
  delegate_ = delegate;
}

QString QKRTap::description() const {
  auto lock = lockManager();
  return stub_ ? QStringLiteral("<rtap, stub = %1>").arg(stub_->description())
               : QStringLiteral("<rtap, nil stub>");
}

void QKRTap::setTapManager(QKTapManager* manager) { link_ = manager ? manager->link() : nullptr; }

QKTapManager* QKRTap::tapManager() const {
  auto lock = lockManager();
  return link_ ? link_->manager : nullptr;
}
