#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>

// One rectangle as an object, so that rectangles can be kept in lists (the
// handles of a slider's marks).
class QKRectHolder {
 public:
  explicit QKRectHolder(const QRectF& rect = {}) : rect_(rect) {}
  static std::shared_ptr<QKRectHolder> createWithRect(const QRectF& rect);

  QRectF rect() const { return rect_; }
  void setRect(const QRectF& rect) { rect_ = rect; }

  double x() const { return rect_.x(); }
  double y() const { return rect_.y(); }
  double width() const { return rect_.width(); }
  double height() const { return rect_.height(); }
  QPointF origin() const { return rect_.topLeft(); }
  QSizeF size() const { return rect_.size(); }

  // "(x, y) : width x height", each printed with six decimals.
  QString description() const;

 private:
  QRectF rect_;
};
