#include "framework/params/QKQCSTap.h"

std::shared_ptr<QKQCSTap> QKQCSTap::create(const QString& name, const QString& key) {
  auto tap = std::make_shared<QKQCSTap>(name, key);
  tap->announce();
  return tap;
}

QKQCSTap::QKQCSTap(const QString& name, QString key)
    : QKSTap(nullptr, name), key_(std::move(key)) {}

void QKQCSTap::setImageSize(QSizeF size) {
  std::lock_guard lock(sizeMutex_);
  imageSize_ = size;
}

QSizeF QKQCSTap::imageSize() const {
  std::lock_guard lock(sizeMutex_);
  return imageSize_;
}
