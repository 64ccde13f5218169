#pragma once

#include "framework/taps/QKSTap.h"

#include <QSizeF>
#include <QString>

#include <memory>
#include <mutex>

// A source tap fed by an image output of a composition: named
// "<category>:<output key>", without a layer, its image size set by the
// render thread from each frame.
class QKQCSTap : public QKSTap {
 public:
  // Registers the tap with the tap manager.
  static std::shared_ptr<QKQCSTap> create(const QString& name, const QString& key);
  QKQCSTap(const QString& name, QString key);

  const QString& key() const { return key_; }
  // Any thread.
  void setImageSize(QSizeF size);
  QSizeF imageSize() const override;

 private:
  const QString key_;
  mutable std::mutex sizeMutex_;
  QSizeF imageSize_;
};
