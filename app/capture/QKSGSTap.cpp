#include "app/capture/QKSGSTap.h"

std::shared_ptr<QKSGSTap> QKSGSTap::create(const QString& name) {
  auto tap = std::make_shared<QKSGSTap>(name);
  tap->announce();
  return tap;
}

QSizeF QKSGSTap::imageSize() const { return {width_.load(), height_.load()}; }

void QKSGSTap::setImageSize(QSizeF size) {
  width_.store(float(size.width()));
  height_.store(float(size.height()));
}
