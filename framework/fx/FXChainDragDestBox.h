#pragma once

#include "framework/datasource/DataSourceControllerClient.h"

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <vector>

class DataSourceController;
class FXChain;
class QKRedView;
class QMimeData;

// The box of a chain's view that holds the element panels and takes drops:
// elements dragged from a panel (reordered in the chain, moved from another
// chain of the same family, or, with Alt held at the press, a filter or
// composition effect copied with its settings) and effects dragged from a
// table of available elements (their archive in the drag). While a drag
// hovers, a red bar shows where the element would land.
//
// Only the chain manager's element type is taken, so a chain never takes an
// element of the other family. A drop that inserts nothing answers false and
// changes nothing.
//
// The geometry functions work in the chain's layout coordinates: the box's
// bottom-left origin, y up, as the elements' frames are kept.
//
// Main thread only.
class FXChainDragDestBox : public QWidget, public DataSourceControllerClient {
  Q_OBJECT
 public:
  static constexpr double kBarHeight = 10.0;

  // The index at which a drop at `point` inserts, -1 for no place (between
  // two panels). `frames`: the elements' frames in chain order.
  static int insertionIndex(const std::vector<QRectF>& frames, const QPointF& point);
  // The bar shown for `index` in a box of `boxSize`.
  static QRectF barRect(const std::vector<QRectF>& frames, int index, const QSizeF& boxSize);
  // Where an element at `from` of its own chain goes when dropped at
  // `drop`: past itself counts one less.
  static int reorderedIndex(int from, int drop);

  explicit FXChainDragDestBox(FXChain* chain, QWidget* parent = nullptr);
  ~FXChainDragDestBox() override;

  FXChain* myChain() const { return myChain_; }
  void setMyChain(FXChain* chain) { myChain_ = chain; }
  int dropInsertionLocation() const { return dropInsertionLocation_; }
  QKRedView* highlight() const;

  // The drag over `point` (widget coordinates) of `data`: the insertion
  // index and the bar; false when the drag offers nothing this chain takes
  // or the point has no place.
  bool dragMovedTo(const QMimeData* data, const QPointF& point);
  void dragLeft();
  // The drop of `data` from `source` (the dragging panel or table, null
  // from another process) at the last insertion index; true when it
  // inserted or moved an element.
  bool performDrop(const QMimeData* data, QObject* source, Qt::DropActions actions);

  void setDataSourceController(DataSourceController* controller) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool offersElementType(const QMimeData* data) const;
  bool dropPanel(QObject* source, bool& handled);
  bool dropTableData(const QMimeData* data);
  void removeHighlight();
  std::vector<QRectF> elementFrames() const;

  FXChain* myChain_;
  QPointer<QKRedView> theHighlight_;
  int dropInsertionLocation_ = -1;
  DataSourceController* dataSourceController_ = nullptr;
};
