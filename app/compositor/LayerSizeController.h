#pragma once

#include "platform/foundation/CutLink.h"

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

class QKButton;
class QKButtonCell;
class QKSliderCell;
class QKSliderControl;
class QWidget;

// Where a layer lies on the canvas and in the output view: the size and
// position panel (four sliders, four size-mode and three position-mode
// buttons, one of each group on) and the two rectangles computed from it
// and from the canvas, layer and display sizes and the canvas presentation
// mode. Every change recomputes both rectangles and publishes them (the
// canvas rectangle first), after the lock is let go.
//
// Threads: the controls' actions come on the main thread or on the thread
// of a data source that moves them; the size setters on the main thread.
// `controlLock` guards the inputs and the computation and is taken by
// spinning; nothing run under it makes a control act (the other buttons of
// a group are set without output). `layerSizeMode` is an atomic the frame
// reads.
class LayerSizeController {
 public:
  enum SizeMode { Fit = 0, Fill = 1, Stretch = 2, OneToOne = 3 };
  enum PosMode { Offscreen = 0, Centered = 1, Onscreen = 2 };

  // The slider ranges: position -1..1, scale 0..8, so the snap points (0.5
  // of the position travel, 0.25 and 0.125 of the scale travel) fall on 0,
  // 2 and 1.
  static constexpr float kPositionMin = -1.0f, kPositionMax = 1.0f;
  static constexpr float kScaleMin = 0.0f, kScaleMax = 8.0f;

  struct Inputs {
    QSizeF canvasSize{640, 480};
    QSizeF layerSize{640, 480};
    QSizeF displaySize{320, 240};
    long canvasPresentationMode = 2;
    float xPos = 0, yPos = 0, xScale = 1, yScale = 1;
    int sizeMode = Fit;
    int posMode = Offscreen;
  };
  struct Rects {
    QRectF canvas;
    QRectF window;
  };
  // Called with the canvas and window rectangles.
  using Publish =
      std::function<void(const QRectF& canvasActiveRect, const QRectF& windowActiveRect)>;

  // The arithmetic. A mode outside its range, a zero divisor or a result
  // that is not finite keeps that part of `previous`.
  static QRectF calculateCanvasActiveRect(const Inputs& in, const QRectF& previous);
  static QRectF calculateWindowActiveRect(const Inputs& in, const QRectF& canvasRect,
                                          const QRectF& previous);

  // Builds the panel (the "Layer" interface) with its controls, then wakes:
  // fit on (computing and publishing once), offscreen on.
  explicit LayerSizeController(Publish publish);
  ~LayerSizeController();
  LayerSizeController(const LayerSizeController&) = delete;
  LayerSizeController& operator=(const LayerSizeController&) = delete;

  // The panel; owned by the controller until someone takes it into a
  // window (the controller deletes it in either case).
  QWidget* view() const { return view_; }

  void sliderUsed(QKSliderCell& sender);
  // `sender` null only recomputes and publishes.
  void buttonUsed(QKButtonCell* sender);
  void setCanvasSize(QSizeF size);
  void setLayerSize(QSizeF size);
  void setDisplaySize(QSizeF size);
  void setCanvasPresentationMode(long mode);
  int layerSizeMode() const { return sizeMode_.load(); }
  int layerPosMode() const;
  Inputs inputs() const;
  Rects rects() const;

  QVariantMap createSnapshot() const;
  // Restores, then recomputes and publishes once at its end.
  void loadSnapshot(const QVariantMap& snapshot);
  // Detaches all eleven controls; afterwards nothing is computed or
  // published by the controls.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }

  QKSliderControl* xPosSlider() const { return xPos_; }
  QKSliderControl* yPosSlider() const { return yPos_; }
  QKSliderControl* xScaleSlider() const { return xScale_; }
  QKSliderControl* yScaleSlider() const { return yScale_; }
  QKButton* sizeButton(int mode) const;
  QKButton* posButton(int mode) const;

 private:
  void buildView();
  QKSliderControl* makeSlider(const QString& name, float min, float max, float value, int row);
  QKButton* makeButton(const QString& title, QRectF frame);
  void lock();
  void unlock() { controlLock_.unlock(); }
  // Under the lock.
  void calculateActiveRect();
  void publish();
  void radio(QKButton* const* group, int count, QKButtonCell& sender, int* mode);

  Publish publish_;
  // The controls' actions reach the controller through it.
  std::shared_ptr<CutLink<LayerSizeController>> link_;
  QPointer<QWidget> view_;
  QKSliderControl* xPos_ = nullptr;
  QKSliderControl* yPos_ = nullptr;
  QKSliderControl* xScale_ = nullptr;
  QKSliderControl* yScale_ = nullptr;
  QKButton* sizeButtons_[4] = {};
  QKButton* posButtons_[3] = {};

  mutable std::mutex controlLock_;
  Inputs in_;  // under controlLock_
  Rects rects_;
  std::atomic<int> sizeMode_{Fit};
  std::atomic<bool> deleted_{false};
};
