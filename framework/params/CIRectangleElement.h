#pragma once

#include "framework/params/QCComponentSliders.h"
#include "framework/params/QCBoxedElement.h"
#include "framework/params/QCElementFactories.h"

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QVector4D>

#include <atomic>
#include <memory>
#include <optional>

class QKRectangleUI;
class QKSliderCell;

// A rectangle: one slider per edge ("left", "bottom", "right", "top",
// 0..1, ranged over the canvas) and a pad that shows it. The edges limit
// one another: a left edge never passes the right one (each slider's
// envelope stops at the other's value), nor the bottom the top.
//
// The edges are read from the slider cells and the canvas from atomics, so
// any thread may read the values. Slider moves may come on a data source's
// thread: the pad follows, the panel is told on the main thread without
// waiting (and not at all once the element is deleted), and the change is
// noticed for the live snapshot. Snapshot: "xSlider", "ySlider",
// "widthSlider", "heightSlider", "title", "key".
class CIRectangleElement : public QCBoxedElement,
                           public std::enable_shared_from_this<CIRectangleElement> {
 public:
  enum Edge { Left = 0, Bottom = 1, Right = 2, Top = 3 };

  // The element of a composition's "RECT" input: canvas (1, 1).
  static std::shared_ptr<CIRectangleElement> create(const QCElementFactories::Request& request);
  // An element in `parent`, awake, its edges from `rect` (0..1).
  static std::shared_ptr<CIRectangleElement> create(const QRectF& frame, QWidget* parent,
                                                    QSizeF canvas = QSizeF(320, 240),
                                                    const QRectF& rect = QRectF(0, 0, 1, 1));

  void setCanvasSize(QSizeF size) override;
  QSizeF canvasSize() const;
  // Canvas units, y measured from the top.
  QRectF outputRect() const;
  // Canvas units from the sliders' ranged values, y from the bottom.
  QRectF returnSizedRect() const;
  // outputRect as (x, y, width, height).
  QVector4D returnCIVector() const;
  std::optional<QVector4D> returnFlippedCIVector() const { return std::nullopt; }
  // Canvas units from the bottom: each edge set with output.
  void setStateFromRect(const QRectF& rect);
  // An edge slider moved.
  void edgeSliderUsed(int edge, QKSliderCell& sender);
  void bang();

  QKSliderControl* slider(int edge) const { return sliders_.slider(edge); }
  QKRectangleUI* pad() const { return pad_; }
  float edge(int edge) const { return sliders_.value(edge); }

  Row row() const override { return Row::Rectangle; }
  // A composition takes returnSizedRect.
  std::optional<composition::PortValue> value() const override;
  // A filter takes returnSizedRect as (x, y, width, height): its image
  // plane's y runs upward.
  QVariant filterValue() const override;
  bool snapshotAfterDelivery(bool keyListed) const override { return keyListed; }
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

 private:
  CIRectangleElement(const QRectF& frame, QWidget* parent, QSizeF canvas);
  void awakeFromNib(const QRectF& rect);
  void layOut(const QRect& content);
  void paramSnapUpdated();
  // The pad takes the edges (on the main thread).
  void syncPad();

  QCComponentSliders sliders_;
  QKRectangleUI* pad_ = nullptr;
  std::atomic<double> canvasWidth_;
  std::atomic<double> canvasHeight_;
  std::atomic<bool> deleted_{false};
};
