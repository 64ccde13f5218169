#pragma once

#include "framework/taps/QKSTap.h"

#include <QSizeF>

#include <atomic>
#include <memory>

// A live input's source tap ("VidIn 1", …): no layer, so the tap manager
// lists it among the inputs. Its size is the picture's last published
// size, set on the render thread before that picture is handed on.
class QKSGSTap : public QKSTap {
 public:
  static std::shared_ptr<QKSGSTap> create(const QString& name);
  explicit QKSGSTap(const QString& name) : QKSTap(nullptr, name) {}

  QSizeF imageSize() const override;
  void setImageSize(QSizeF size);

 private:
  std::atomic<float> width_{0.0f};
  std::atomic<float> height_{0.0f};
};
