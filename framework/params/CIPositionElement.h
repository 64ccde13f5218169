#pragma once

#include "framework/params/QCComponentSliders.h"
#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"

#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QVector2D>

#include <atomic>
#include <memory>

class QKPositionUI;
class QKSliderCell;

// A 2-D position: the sliders "x position" and "y position" (0..1, ranged
// over the canvas's width and height) and the pad, which also binds both
// to a point source (a right click opens the point-source menu).
//
// The pad's point (x from the left, y from the bottom, 0..1) and the
// canvas are kept in atomics, so any thread may read the values:
// pointValue is in canvas units measured from the top, returnCIVector from
// the bottom. Slider moves may come on a data source's thread: the pad
// follows, and the panel is told on the main thread without waiting.
// Snapshot: "title", "xSlider", "ySlider", "key".
class CIPositionElement : public QCBoxedElement,
                          public std::enable_shared_from_this<CIPositionElement> {
 public:
  // The element of a composition's "XY" input: canvas (1, 1), point
  // (0.5, 0.5).
  static std::shared_ptr<CIPositionElement> create(const QCElementFactories::Request& request);
  // An element in `parent` over `canvas`, awake.
  static std::shared_ptr<CIPositionElement> create(const QRectF& frame, QWidget* parent,
                                                   QSizeF canvas = QSizeF(320, 240));

  void setCanvasSize(QSizeF size) override;
  QSizeF canvasSize() const;
  // Canvas units, y measured from the top.
  QPointF pointValue() const;
  void setPointValue(const QPointF& point);
  // (width × x, height × y): y from the bottom.
  QVector2D returnCIVector() const;
  // (width × x, height × (1 − y)): y from the top.
  QVector2D returnFlippedCIVector() const;
  // The pad's point, 0..1, y from the bottom.
  QPointF padPoint() const { return QPointF(x_.load(), y_.load()); }
  void sliderUsed(int index, QKSliderCell& sender);
  void posnControlUsed();
  void contextualPointHolderChosen(const KeyPath& path);
  void bang();

  QKSliderControl* slider(int index) const { return sliders_.slider(index); }
  QKPositionUI* pad() const { return pad_; }

  Row row() const override { return Row::Position; }
  // A composition takes (x, 1 − y) of pointValue.
  std::optional<composition::PortValue> value() const override;
  // A filter takes returnCIVector: its image plane's y runs upward.
  QVariant filterValue() const override;
  bool snapshotAfterDelivery(bool keyListed) const override { return keyListed; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

 private:
  CIPositionElement(const QRectF& frame, QWidget* parent, QSizeF canvas);
  void awakeFromNib();
  void layOut(const QRect& content);
  void paramSnapUpdated();
  // The pad and sliders show the point (sliders without output).
  void showPoint();
  // The pad follows the point, on the main thread.
  void syncPad();

  QCComponentSliders sliders_;
  QKPositionUI* pad_ = nullptr;
  std::atomic<float> x_{0.5f};
  std::atomic<float> y_{0.5f};
  std::atomic<double> canvasWidth_;
  std::atomic<double> canvasHeight_;
  std::atomic<bool> deleted_{false};
};
