#pragma once

#include "framework/taps/LayerInterface.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapDelegate.h"
#include "framework/taps/QKSTap.h"

#include <QSizeF>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

// A layer whose answers may change on the main thread while the render
// thread asks them.
class FakeLayer : public LayerInterface {
 public:
  FakeLayer(QString name, int orderedIndex = 0, int depth = 0, QSizeF size = QSizeF(64, 48))
      : name_(std::move(name)), size_(size), depth_(depth), orderedIndex_(orderedIndex) {}

  QString layerName() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return name_;
  }
  QSizeF layerSize() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
  }
  int depth() const override { return depth_.load(); }
  int orderedLayerIndex() const override { return orderedIndex_.load(); }
  void setDepth(int depth) { depth_.store(depth); }

 private:
  mutable std::mutex mutex_;
  QString name_;
  QSizeF size_;
  std::atomic<int> depth_;
  std::atomic<int> orderedIndex_;
};

// A source without a layer (a live input), answering its own size.
class InputTap : public QKSTap {
 public:
  static std::shared_ptr<InputTap> create(const QString& name) {
    auto tap = std::make_shared<InputTap>(name);
    tap->announce();
    return tap;
  }
  explicit InputTap(const QString& name) : QKSTap(nullptr, name) {}
  QSizeF imageSize() const override { return QSizeF(320, 240); }
};

// Counts size updates; calls after the receiver was prepared for deletion
// are counted apart.
class CountingDelegate : public QKRTapDelegate {
 public:
  void updateTapSize() override {
    ++updates;
    if (gone.load()) ++lateUpdates;
  }
  std::atomic<int> updates{0};
  std::atomic<int> lateUpdates{0};
  std::atomic<bool> gone{false};
};
