#include "framework/controls/QKRectHolder.h"

std::shared_ptr<QKRectHolder> QKRectHolder::createWithRect(const QRectF& rect) {
  return std::make_shared<QKRectHolder>(rect);
}

QString QKRectHolder::description() const {
  return QString::asprintf("(%f, %f) : %f x %f", rect_.x(), rect_.y(), rect_.width(),
                           rect_.height());
}
