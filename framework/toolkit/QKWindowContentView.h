#pragma once

#include "framework/controls/ButtonManagerClient.h"
#include "framework/controls/SliderManagerClient.h"
#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/toolkit/ModifierKeys.h"
#include "framework/toolkit/PalettePaths.h"
#include "framework/toolkit/WindowMenuControllerClient.h"
#include "platform/foundation/NotificationObservers.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QVariantMap>
#include <QWidget>

#include <optional>

class QKWindow;
class QKeyEvent;
class QPainter;
struct Notification;

// The content view of every palette: draws the frame and the title bar,
// collapses the palette to its 19-point bar, honours the interface lock,
// takes and loads frame snapshots, keeps the fixed palettes' frames in the
// user defaults, and takes part in grouped dragging and snapping with the
// other palettes through the "WSOB" notifications.
//
// Geometry is kept in bottom-left coordinates: `actualLocation` is the
// window's frame on screen (y up, the bar while collapsed) and the view's own
// coordinates have y growing upwards from the bottom of the expanded palette,
// so a point at Qt's y maps to (expanded height − y) whether collapsed or not.
// The palette's own widgets go into body(), the area under the title bar,
// laid out only while expanded (hidden while collapsed), so a collapse never
// squashes them.
//
// Main thread only. Set-up happens in awakeFromNib (the window calls it once
// its frame and title are set); prepareToBeDeleted stops every observation.
class QKWindowContentView : public QWidget,
                            public DataSourceControllerClient,
                            public SliderManagerClient,
                            public ButtonManagerClient,
                            public WindowMenuControllerClient {
  Q_OBJECT
 public:
  enum DragAction { NoDrag = -1, MoveDrag = 0, CollapseToggle = 1, ResizeDrag = 2 };

  explicit QKWindowContentView(QWidget* parent = nullptr);
  ~QKWindowContentView() override;

  // The content view that `widget` lies in; null outside a palette.
  static QKWindowContentView* enclosing(const QWidget* widget);

  virtual void awakeFromNib();
  virtual void prepareToBeDeleted();
  QWidget* body() const { return body_; }
  QKWindow* paletteWindow() const;

  // --- Drawing ---
  void renderPaths();
  QColor backgroundColor() const;
  QColor frameColor() const;
  QColor titleBarColor() const;
  // "locked" or "unlocked" of the window colour dictionary; empty without one.
  QVariantMap getRelevantColorDict() const;
  // Marks the view for redrawing.
  virtual void setNeedsDisplay();

  // --- Mouse, in bottom-left coordinates (the Qt events come here) ---
  virtual void mouseDown(const QPointF& viewPoint, const QPointF& screenPoint, ModifierKeys keys,
                         int clickCount);
  virtual void mouseDragged(const QPointF& screenPoint);
  virtual void mouseUp();

  // --- Collapse, frames and snapshots ---
  void expand();
  void collapse();
  // Puts the palette at an expanded frame (collapsed: its bar at that frame's
  // top edge).
  void moveWindowToHere(const QRectF& frame);
  void moveWindowToDefaultLocation();
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  // Brings the palette onto the main screen (Window menu), keeping
  // actualLocation and the expanded size in step with the window.
  void bringOnScreen();

  // --- Notification handlers ---
  virtual void windowLockedNotification(const Notification& notification);
  virtual void windowSelectNotification(const Notification& notification);
  virtual void windowSizePosReportNotification(const Notification& notification);
  virtual void windowRedrawNotification(const Notification& notification);
  virtual void dragSetupNotification(const Notification& notification);
  virtual void calculateAffectedAreaNotification(const Notification& notification);
  virtual void objectMoveNotification(const Notification& notification);
  virtual void moveAffectedObjectsNotification(const Notification& notification);
  // The window became the active one.
  void windowBecameKey();

  // Keys the palette does not use go to the data-source controller, presses
  // and releases alike.
  void keyDown(const QKeyEvent* event);

  // --- Accessors ---
  // The title drawn in the bar (the design's objectName; QObject has its own).
  void setPaletteName(const QString& name);
  QString paletteName() const { return objectName_; }
  virtual void setAllowResize(bool allow);
  bool allowResize() const { return allowResize_; }
  void setBgImage(const QImage& image);
  QRectF actualLocation() const { return actualLocation_; }
  void setActualLocation(const QRectF& frame) { actualLocation_ = frame; }
  QSizeF expandedSize() const { return expandedSize_; }
  QSizeF minSize() const { return minSize_; }
  void setMinSize(const QSizeF& size) { minSize_ = size; }
  bool collapsed() const { return collapsed_; }
  bool locked() const { return locked_; }
  bool fullyLocked() const { return fullyLocked_; }
  bool selected() const { return selected_; }
  bool affectedByChange() const { return affectedByChange_; }
  int dragAction() const { return dragAction_; }
  QPointF superClickLoc() const { return superClickLoc_; }
  QRectF clickFrame() const { return clickFrame_; }
  bool cmdClick() const { return cmdClick_; }
  bool optClick() const { return optClick_; }
  bool resizePreserveAspect() const { return resizePreserveAspect_; }
  float localAspectRatio() const { return localAspectRatio_; }
  void setLocalAspectRatio(float ratio) { localAspectRatio_ = ratio; }
  void setReRender(bool value) { reRender_ = value; }
  bool reRender() const { return reRender_; }
  const PalettePaths& paths() const { return paths_; }
  QVariantMap titleFontAttribDict() const { return titleFontAttribDict_; }
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setDataSourceController(DataSourceController* controller) override;
  QKButtonManager* buttonManager() const { return buttonManager_; }
  void setButtonManager(QKButtonManager* manager) override { buttonManager_ = manager; }
  QKSliderManager* sliderManager() const { return sliderManager_; }
  void setSliderManager(QKSliderManager* manager) override { sliderManager_ = manager; }
  WindowMenuControllerInterface* menuController() const { return menuController_; }
  void setMenuController(WindowMenuControllerInterface* controller) override;

 protected:
  // The drag steps, for subclasses that move or resize differently.
  virtual void moveDrag(const QPointF& screenPoint);
  virtual void resizeDrag(const QPointF& screenPoint);
  // The frame a resize step gives, after the screen and minimum-size limits;
  // a subclass may reshape it (the limits are not applied again).
  virtual QRectF resizedFrame(const QRectF& clamped) const { return clamped; }
  // Posts the drag set-up: every palette takes its frame and the group forms.
  void postDragSetup(bool optClick, bool cmdClick);
  // Draws with `dirty` in bottom-left view coordinates.
  virtual void drawRect(QPainter& painter, const QRectF& dirty);
  // Whether the window is on screen (a palette off screen neither snaps nor
  // joins a group).
  virtual bool windowIsVisible() const;
  // The window takes the frame (bottom-left) without moving anything else.
  void setWindowFrame(const QRectF& frame);
  QRectF windowFrame() const;
  // Mirrors the lock flags of the menu controller.
  void refreshLockState();
  void lookForDataSourceController();
  void lookForMenuController();

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

  // The drag state, read by subclasses.
  QRectF actualLocation_;
  QSizeF expandedSize_;
  QSizeF minSize_;
  QRectF clickFrame_;
  QPointF superClickLoc_;
  int dragAction_ = NoDrag;
  bool selected_ = false;
  bool collapsed_ = false;
  bool allowResize_ = true;
  bool resizePreserveAspect_ = false;
  bool affectedByChange_ = false;
  bool cmdClick_ = false;
  bool optClick_ = false;
  bool reRender_ = true;
  bool locked_ = false;
  bool fullyLocked_ = false;
  float localAspectRatio_ = 4.0f / 3.0f;

 private:
  void observeNotifications();
  void findManagers();
  void press(QMouseEvent* event, int clickCount);
  void startDragAction(const PalettePaths& paths, const QPointF& viewPoint, int clickCount);
  void toggleCollapse(bool collapse);
  void postGroupMove(QPointF delta);
  void setCollapsedState(bool collapsed, const QRectF& expanded);
  void followWindowSize();
  void layOutBody();
  QPointF viewPointFromQt(const QPointF& point) const;
  void drawTitle(QPainter& painter, const QVariantMap& colors) const;
  void drawBackgroundImage(QPainter& painter) const;
  bool notifiedBy(const Notification& notification) const;
  static QKWindowContentView* sender(const Notification& notification);

  DataSourceController* dataSourceController_ = nullptr;
  QKButtonManager* buttonManager_ = nullptr;
  QKSliderManager* sliderManager_ = nullptr;
  WindowMenuControllerInterface* menuController_ = nullptr;
  QString objectName_;
  QVariantMap titleFontAttribDict_;
  PalettePaths paths_;
  QImage bgImage_;
  QRectF bgImageRect_;
  QWidget* body_ = nullptr;
  // What the frame stored in the user defaults was made from.
  struct StoredFrame {
    QRectF actualLocation;
    QSizeF expandedSize;
    bool collapsed;
    bool visible;
    bool operator==(const StoredFrame&) const = default;
  };
  QString frameKeyTitle_;  // the title frameKey_ was made for
  QString frameKey_;       // empty: the palette keeps no frame in the defaults
  std::optional<StoredFrame> storedFrame_;
  // Last: removed first when the view goes.
  NotificationObservers observers_;
};
