#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QVariantMap>
#include <QWidget>

class QKCollapsibleBoxManager;

// A titled box of the layer window that folds up to its 17-point title bar
// (a click on the disclosure arrow) and unfolds again, keeping its top edge
// where it is. Frames are in bottom-left coordinates of the top-level
// window, y upward (frame(), setFrame()); the box maps them onto its Qt
// parent. It draws in a space the size of its expanded frame, y upward,
// whose top 17 points are the title bar: folded, only that band shows.
// The box's own widgets go into contentView(). Main thread only.
class QKCollapsibleBox : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  static constexpr double kTitleBarHeight = 17.0;

  QKCollapsibleBox(const QString& title, const QRectF& frame, QWidget* parent);
  ~QKCollapsibleBox() override;

  void setManager(QKCollapsibleBoxManager* manager) { manager_ = manager; }
  QWidget* contentView() const { return content_; }
  QString title() const { return title_; }

  QRectF frame() const { return actualLocation_; }
  void setFrame(const QRectF& frame);
  void setFrameSize(const QSizeF& size);
  void setFrameOrigin(const QPointF& origin);
  // The visible part of the drawing space (y upward).
  QRectF bounds() const;
  QSizeF expandedSize() const { return expandedSize_; }
  bool collapsed() const { return collapsed_; }

  // {"collapsed": bool}; a snapshot without the key counts as unfolded.
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void toggleExpand();

  // The arrow's square (box coordinates, y upward); a click folds or
  // unfolds only there.
  QRectF collapseToggleRect();
  // A click at a point of the box (y upward): the selection of sliders and
  // buttons is cleared; on the arrow the box folds or unfolds.
  void clickAt(const QPointF& boxPoint);

  void setDataSourceController(DataSourceController* controller) override {
    dataSourceController_ = controller;
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void collapse();
  void expand();
  void renderPaths();
  void applyGeometry();
  void deselectEverything();

  QString title_;
  QWidget* content_ = nullptr;
  QKCollapsibleBoxManager* manager_ = nullptr;
  DataSourceController* dataSourceController_ = nullptr;
  QRectF actualLocation_;
  QSizeF expandedSize_;
  bool collapsed_ = false;
  bool reRender_ = true;
  QPainterPath framePath_;
  QPainterPath titlePath_;
  QPainterPath collapsedPath_;
  QPainterPath expandedPath_;
  QRectF collapseToggleRect_;
};
