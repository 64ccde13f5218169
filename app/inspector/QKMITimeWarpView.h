#pragma once

#include "app/inspector/MIPane.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPainterPath>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class DataSourceController;
class MediaInspector;
class QKButton;
class QKMIRangeSelectorController;
class QKQTFile;
class QKWarpMarker;

// The time-warp editor of the inspector's movie pane: the range's musical
// grid (subdivisions, beats, measures) and the warp curve through the
// file's markers (playing time across, movie time up), each marker a
// circle, the selected one red. A click selects a marker and moves the
// preview there; a drag moves it along the playing axis, snapped to the
// finest grid and kept between its neighbours; the buttons insert a marker
// at the preview's play head, delete the selected one, space them evenly or
// undo the warp. Main thread only.
class QKMITimeWarpView : public QWidget, public MIPane {
  Q_OBJECT
 public:
  QKMITimeWarpView(MediaInspector* inspector, QKMIRangeSelectorController* preview,
                   QWidget* parent = nullptr);
  ~QKMITimeWarpView() override;

  // The editor with its buttons (owns this view).
  QWidget* editorView() const { return editorView_; }
  QKButton* insertWarpPtButton() const { return insertWarpPtButton_; }

  void readFile(const std::shared_ptr<QKFile>& file) override;
  std::shared_ptr<QKFile> currentFile() const override;
  void updateWarpMarkers();
  void prepareTimeGridPaths();
  void prepareTimePathFromWarpMarkers();
  void setSelectedMarker(int index);
  int selectedMarker() const { return selectedMarker_; }
  void prepareToBeDeleted();

  // Buttons.
  void insertWarpMarkerAtPlayHead();
  void removeSelectedWarpMarker();
  void autoSpaceWarpMarkersButtonUsed();
  void resetWarpMarkersButtonUsed();

  // Mouse, in the view's own coordinates (origin lower left).
  void mouseDownAt(const QPointF& point);
  void mouseDraggedTo(const QPointF& point);

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void setDataSourceController(DataSourceController* controller) {
    dataSourceController_ = controller;
  }

  // The paths as built (view coordinates), for tests.
  const QPainterPath& finestTimeGridPath() const { return finest_; }
  const QPainterPath& fineTimeGridPath() const { return fine_; }
  const QPainterPath& coarseTimeGridPath() const { return coarse_; }
  const QPainterPath& warpPointsPath() const { return curve_; }
  bool hasSelectedPointPath() const { return hasSelectedPath_; }
  // Lines of each grid layer.
  int finestLines() const { return finestLines_; }
  int fineLines() const { return fineLines_; }
  int coarseLines() const { return coarseLines_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Geometry;
  Geometry geometry() const;
  QPointF toView(const QPointF& widgetPoint) const;
  QPointF toWidget(const QPointF& viewPoint) const;

  MediaInspector* inspector_;
  QKMIRangeSelectorController* preview_;
  DataSourceController* dataSourceController_ = nullptr;
  QWidget* editorView_ = nullptr;
  QKButton* insertWarpPtButton_ = nullptr;
  QKButton* deleteWarpPtButton_ = nullptr;
  QKButton* autoSpacePtsButton_ = nullptr;
  QKButton* resetWarpPtsButton_ = nullptr;
  QKButton* previewPlayPauseButton_ = nullptr;
  std::weak_ptr<QKQTFile> currentFile_;
  bool pauseDrawing_ = false;
  QPainterPath curve_, selectedPath_, finest_, fine_, coarse_;
  bool hasGrid_ = false;
  bool hasCurve_ = false;
  bool hasSelectedPath_ = false;
  int finestLines_ = 0, fineLines_ = 0, coarseLines_ = 0;
  int selectedMarker_ = -1;
  float snapTol_ = 3.0f;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers fileObservers_;
};
