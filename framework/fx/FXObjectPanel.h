#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "platform/foundation/NotificationObservers.h"

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QPolygonF>
#include <QRectF>
#include <QWidget>

#include <memory>

class DataSourceController;
class FXObject;
class QKButton;

// The title-bar panel of one chain element: a 15-point title strip with the
// element's name, an expand/collapse triangle at its left, the delete image
// and the element's On/Off button at its right; the element's own controls
// lie below the strip. A press on the delete image deletes the element on
// release, a press on the triangle folds or unfolds it, and a press
// elsewhere dragged more than 40 points starts a drag of the element (an
// in-process drag of the manager's element type with no payload; the drop
// box finds the element through the drag's source, this panel). Alt held
// at the press asks for a copy instead of a move.
//
// The element owns its panel; the panel refers to the element weakly.
// Coordinates are the widget's own (origin top left), so a collapsed panel
// is simply 15 points high and shows its title strip.
//
// Main thread only.
class FXObjectPanel : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  static constexpr double kTitleHeight = 15.0;
  static constexpr double kDragDistance = 40.0;
  enum ClickMask { kClickNothing = 0, kClickExpandCollapse = 1, kClickDelete = 4 };

  // The triangle's and the delete image's rectangles in a panel `width`
  // wide; the same folded and unfolded (both lie in the title strip).
  struct ImageRects {
    QRectF expandCollapse;
    QRectF remove;
  };
  static ImageRects imageRectsFor(double width);
  // What a press at `point` hits: the delete image first, then the triangle.
  static ClickMask clickMaskAt(const ImageRects& rects, const QPointF& point);
  // A drag starts once the pointer is more than 40 points away from the
  // press, horizontally or vertically.
  static bool isDragDistance(const QPointF& down, const QPointF& now);
  // The triangle in `rect`: pointing down when unfolded, right when folded.
  static QPolygonF triangleIn(const QRectF& rect, bool collapsed);
  // The On/Off button's frame in a panel `width` wide (the top right corner).
  static QRectF bypassButtonFrameFor(double width);

  explicit FXObjectPanel(QWidget* parent = nullptr);
  ~FXObjectPanel() override;

  // The panel's set-up with its element: the On/Off button showing the
  // element's bypass button (which the element's set-up switched on, so it
  // starts active) and the element told of its state; the manager's delete
  // image. An element without a bypass button gets no On/Off button.
  void setMyFXObject(FXObject* element);
  std::shared_ptr<FXObject> myFXObject() const { return element_.lock(); }

  QKButton* bypassButton() const;
  bool collapsedFlag() const { return collapsedFlag_; }
  void setCollapsedFlag(bool collapsed);
  bool optOnClick() const { return optOnClick_; }
  int clickMask() const { return clickMask_; }
  ImageRects imageRects() const { return imageRectsFor(width()); }

  // Takes the manager's delete image (when the element has a manager).
  void loadImagesFromManager();
  void prepareToBeDeleted();
  bool deleted() const { return deleted_; }

  void setDataSourceController(DataSourceController* controller) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Runs the drag of the element (a nested event loop until the drop).
  virtual void startDrag(const QPointF& hotSpot);

 private:
  void deselectEverything();

  std::weak_ptr<FXObject> element_;
  QPointer<QKButton> bypassButton_;
  QImage deleteImg_;
  QPointF mouseDownClickLoc_;
  ClickMask clickMask_ = kClickNothing;
  bool optOnClick_ = false;
  bool collapsedFlag_ = false;
  bool dragging_ = false;
  bool deleted_ = false;
  DataSourceController* dataSourceController_ = nullptr;
  NotificationObservers observers_;
};
