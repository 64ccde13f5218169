#pragma once

#include "app/compositor/LayerTabGeometry.h"
#include "framework/datasource/DataSourceControllerClient.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

class Compositor;
class Layer;
class LayerTabMimeData;
class LayerWindowController;

// The tab strip of a layer window: one tab per layer of the window (its
// thumbnail, name, an "FX" badge when it has effects, a tap or live-input
// icon for a tap source; a group's tab spans its members' tabs). A click
// shows that layer in the window; dragging a tab more than 55 points moves
// it: onto another tab of this or another layer window (before, after, or
// into an empty group), or, dropped where no tab strip takes it, into a
// new layer window of its own. Main thread only; once the window is deleted
// the view neither rebuilds nor draws.
class LayerWindowTabView : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  // A plug-in window that may take a clicked layer: its frame on screen and
  // what it does with the layer.
  struct Candidate {
    QRectF frame;
    std::function<void(Layer*)> take;
  };
  using CandidateSource = std::function<std::vector<Candidate>(Layer*)>;
  // The layer-controls windows that follow the tabs, and the media bins
  // whose queue holds the layer (none until set).
  static void setControlsCandidates(CandidateSource source);
  static void setBinCandidates(CandidateSource source);
  // Makes the layer next in the queue of the media bin holding it whose
  // window is closest to `from` (screen frame); nothing for a group.
  static void bringLayerToTopOfClosestBin(Layer* layer, const QRectF& from);
  // The candidate nearest the layer window (centre to centre; on a tie the
  // one nearer the layer window's top-left corner, then the earlier one);
  // −1 for none. Frames are Qt's, y downward.
  static int closestCandidate(const QRectF& layerWindow, const std::vector<QRectF>& candidates);

  LayerWindowTabView(LayerWindowController* window, Compositor* compositor, QWidget* parent);
  ~LayerWindowTabView() override;

  void reloadTabRects();
  const std::vector<LayerTabGeometry::TabRecord>& tabRecords() const { return records_; }
  int realTabWidth() const { return tabWidth_; }
  int clickedTabIndex() const { return clickedTabIndex_; }
  int dropInsertionIndex() const { return drop_.index; }
  int dropInsertionDirection() const { return drop_.direction; }
  LayerWindowController* layerWindow() const { return window_; }

  // --- Clicks, drags and drops (view coordinates, y upward) ---------------------------
  void mouseDownAt(const QPointF& point, Qt::KeyboardModifiers modifiers);
  // The drag over this view moved to x (or left it: dragExited).
  void dragMovedTo(double x);
  void dragExited();
  // Drops the tab the data carries at the tracked place; false when refused.
  bool performDrop(const LayerTabMimeData& data);
  // The drag of a tab of this view ended; one that landed on no tab strip
  // tears the layer off into a new window (false when it may not).
  bool dragEnded(const LayerTabMimeData& data);

  void selectThisLayerInClosestControls(Layer* layer);
  void bringThisLayerToTopOfClosestBin(Layer* layer);

  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool windowDeleted() const;
  QPointF viewPoint(const QPointF& qtPoint) const;
  void startDrag();
  void deselectEverything();
  void sendToClosest(Layer* layer, const CandidateSource& source);
  static void sendToClosest(Layer* layer, const CandidateSource& source, const QRectF& from);
  bool moveAcrossWindows(Layer* dragged, LayerWindowController* from, Layer* parent, int index);

  LayerWindowController* window_;
  Compositor* compositor_;
  DataSourceController* dataSourceController_ = nullptr;
  std::vector<LayerTabGeometry::TabRecord> records_;
  int tabWidth_ = LayerTabGeometry::kMaxTabWidth;
  QPointF clickLoc_;
  int clickedTabIndex_ = -1;
  LayerTabGeometry::DropPlace drop_;
  QImage dropBeforeImage_, dropOnImage_, dropAfterImage_;
  bool dragging_ = false;
};
