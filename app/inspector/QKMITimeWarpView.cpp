#include "app/inspector/QKMITimeWarpView.h"

#include "app/inspector/MIPropValues.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/MediaInspectorHost.h"
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/TimeWarpGrid.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/QKWarpMarker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace P = MovieProps;

struct QKMITimeWarpView::Geometry {
  bool valid = false;
  float w = 0, h = 0;
  double s = 0, d = 0, l0 = 0;  // range start and duration, movie length (time values)
  float measures = 0;
  int beats = 4;
  int subdivisions = 2;
  float share() const { return float(d / l0); }
};

QKMITimeWarpView::QKMITimeWarpView(MediaInspector* inspector, QKMIRangeSelectorController* preview,
                                   QWidget* parent)
    : QWidget(parent), inspector_(inspector), preview_(preview) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(120, 80);
  editorView_ = new QWidget;
  auto* column = new QVBoxLayout(editorView_);
  column->setContentsMargins(2, 2, 2, 2);
  column->addWidget(this, 1);
  auto* row = new QHBoxLayout;
  const std::weak_ptr<const void> target = alive_;
  const std::weak_ptr<int> alive = alive_;
  auto button = [&](const char* title, void (QKMITimeWarpView::*action)()) {
    auto* b = new QKButton;
    b->setTitle(QString::fromLatin1(title));
    b->setTriggerOnMain(true);
    b->setTarget(target);
    b->setFixedHeight(16);
    b->setMinimumWidth(30);
    if (action)
      b->setAction([this, alive, action](QKButtonCell&) {
        MainThread::run([this, alive, action] {
          if (alive.lock()) (this->*action)();
        });
      });
    row->addWidget(b);
    return b;
  };
  previewPlayPauseButton_ = button("Play", nullptr);
  previewPlayPauseButton_->setButtonType(1);
  previewPlayPauseButton_->setTitle2(QStringLiteral("Pause"));
  // It plays and pauses the preview, as the preview's own button does.
  previewPlayPauseButton_->setAction([this, alive](QKButtonCell&) {
    MainThread::run([this, alive] {
      if (!alive.lock() || !preview_) return;
      preview_->playPauseButton()->setIntValue(previewPlayPauseButton_->intValue(), false);
      preview_->playPauseButtonUsed();
    });
  });
  insertWarpPtButton_ = button("Insert", &QKMITimeWarpView::insertWarpMarkerAtPlayHead);
  deleteWarpPtButton_ = button("Delete", &QKMITimeWarpView::removeSelectedWarpMarker);
  autoSpacePtsButton_ = button("Space", &QKMITimeWarpView::autoSpaceWarpMarkersButtonUsed);
  resetWarpPtsButton_ = button("Reset", &QKMITimeWarpView::resetWarpMarkersButtonUsed);
  row->addStretch(1);
  column->addLayout(row);
}

QKMITimeWarpView::~QKMITimeWarpView() { prepareToBeDeleted(); }

void QKMITimeWarpView::prepareToBeDeleted() {
  fileObservers_.clear();
  if (!alive_) return;
  for (QKButton* b : {insertWarpPtButton_, deleteWarpPtButton_, autoSpacePtsButton_,
                      resetWarpPtsButton_, previewPlayPauseButton_})
    b->prepareToBeDeleted();
  alive_.reset();
}

std::shared_ptr<QKFile> QKMITimeWarpView::currentFile() const { return currentFile_.lock(); }

// --- File
// -----------------------------------------------------------------------------------------

void QKMITimeWarpView::readFile(const std::shared_ptr<QKFile>& file) {
  fileObservers_.clear();
  auto movie = std::dynamic_pointer_cast<QKQTFile>(file);
  currentFile_ = movie && movie->validFile() ? movie : nullptr;
  if (auto current = currentFile_.lock()) {
    selectedMarker_ = -1;
    updateWarpMarkers();
    const std::weak_ptr<int> alive = alive_;
    fileObservers_.observe(MediaNotifications::kWarpMarkersChanged,
                           static_cast<QKFile*>(current.get()), [this, alive](const Notification&) {
                             MainThread::run([this, alive] {
                               if (!alive.lock()) return;
                               if (preview_) preview_->updateSliderInterestingPoints();
                               updateWarpMarkers();
                             });
                           });
  }
  update();
}

void QKMITimeWarpView::updateWarpMarkers() {
  prepareTimeGridPaths();
  prepareTimePathFromWarpMarkers();
  update();
}

QKMITimeWarpView::Geometry QKMITimeWarpView::geometry() const {
  Geometry g;
  const auto file = currentFile_.lock();
  if (!file || !file->validFile()) return g;
  const QVariantMap props = file->movieProps();
  const QKTimeRange range = P::range(props.value(P::kOriginalActive));
  const QKTime length = P::time(props.value(P::kOriginalDuration));
  g.w = float(width());
  g.h = float(height());
  g.s = double(range.start.value);
  g.d = double(range.duration.value);
  g.l0 = double(length.value);
  g.measures = float(MIProps::number(props, P::kDurationInMeasures).value_or(0.0));
  if (MediaInspectorHost* host = inspector_ ? inspector_->host() : nullptr) {
    g.beats = host->beatsPerMeasure();
    g.subdivisions = host->quantizedSubdivisions();
  }
  g.valid = g.d > 0 && g.l0 > 0;
  return g;
}

void QKMITimeWarpView::prepareTimeGridPaths() {
  finest_ = fine_ = coarse_ = QPainterPath();
  finestLines_ = fineLines_ = coarseLines_ = 0;
  hasGrid_ = false;
  const Geometry g = geometry();
  if (!g.valid) return;
  const TimeWarpGrid::Layers layers =
      TimeWarpGrid::layers(g.w, g.beats, g.subdivisions, g.share(), g.measures);
  auto build = [&g](const TimeWarpGrid::Layer& layer, QPainterPath& path) {
    const int lines = layer.lines();
    for (int i = 0; i < lines; ++i) {
      path.moveTo(layer.spacing * float(i), 0);
      path.lineTo(layer.spacing * float(i), g.h);
    }
    return lines;
  };
  finestLines_ = build(layers.finest, finest_);
  fineLines_ = build(layers.fine, fine_);
  coarseLines_ = build(layers.coarse, coarse_);
  hasGrid_ = true;
}

void QKMITimeWarpView::prepareTimePathFromWarpMarkers() {
  pauseDrawing_ = true;
  curve_ = selectedPath_ = QPainterPath();
  hasCurve_ = hasSelectedPath_ = false;
  const auto file = currentFile_.lock();
  const Geometry g = geometry();
  if (file && g.valid) {
    curve_.moveTo(0, 0);
    const auto& markers = file->warpMarkers();
    for (int i = 0; i < int(markers.size()); ++i) {
      const double original = double(markers[i]->originalTime().value);
      if (!(g.s < original && original < g.s + g.d)) continue;
      const double x = (double(markers[i]->warpTime().value) - g.s) * (g.w - 1) / g.d;
      const double y = (original - g.s) / g.d * g.h;
      curve_.lineTo(x, y);
      curve_.addEllipse(QPointF(x, y), 4, 4);
      curve_.moveTo(x, y);
      if (i == selectedMarker_) {
        selectedPath_.addEllipse(QPointF(x, y), 4, 4);
        hasSelectedPath_ = true;
      }
    }
    curve_.lineTo(g.w - 1, g.h - 1);
    curve_.moveTo(g.w - 1, g.h - 1);
    curve_.lineTo(g.w - 1, 0);
    hasCurve_ = true;
  }
  pauseDrawing_ = false;
}

void QKMITimeWarpView::setSelectedMarker(int index) {
  selectedMarker_ = index;
  prepareTimePathFromWarpMarkers();
  update();
}

// --- Drawing
// --------------------------------------------------------------------------------------

QPointF QKMITimeWarpView::toView(const QPointF& p) const { return {p.x(), height() - p.y()}; }

QPointF QKMITimeWarpView::toWidget(const QPointF& p) const { return {p.x(), height() - p.y()}; }

void QKMITimeWarpView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const bool file = currentFile_.lock() != nullptr;
  if (!pauseDrawing_ && file) {
    if (!hasGrid_) prepareTimeGridPaths();
    painter.save();
    // The paths are in the view's own coordinates, y up.
    painter.translate(0, height());
    painter.scale(1, -1);
    auto stroke = [&painter](const QPainterPath& path, const QColor& color, qreal width,
                             const QList<qreal>& dashes) {
      QPen pen(color, width);
      if (!dashes.isEmpty()) pen.setDashPattern(dashes);
      painter.strokePath(path, pen);
    };
    stroke(finest_, QColor(200, 200, 200), 1.0, {2, 2});
    stroke(fine_, QColor(90, 90, 90), 1.0, {3, 1});
    stroke(coarse_, QColor(90, 90, 90), 1.5, {});
    if (!hasCurve_) prepareTimePathFromWarpMarkers();
    painter.setRenderHint(QPainter::Antialiasing);
    stroke(curve_, Qt::black, 1.0, {});
    if (hasSelectedPath_) painter.fillPath(selectedPath_, Qt::red);
    painter.restore();
  }
  if (!file) painter.fillRect(rect(), QColor(204, 204, 204, 191));
}

void QKMITimeWarpView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (currentFile_.lock()) updateWarpMarkers();
}

// --- Mouse and keys
// -------------------------------------------------------------------------------

void QKMITimeWarpView::mousePressEvent(QMouseEvent* event) {
  mouseDownAt(toView(event->position()));
}

void QKMITimeWarpView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) mouseDraggedTo(toView(event->position()));
}

void QKMITimeWarpView::mouseDownAt(const QPointF& point) {
  const auto file = currentFile_.lock();
  const Geometry g = geometry();
  if (!file || !g.valid) return update();
  selectedMarker_ = -1;
  const auto& markers = file->warpMarkers();
  for (int i = 0; i < int(markers.size()); ++i) {
    const double x = (double(markers[i]->warpTime().value) - g.s) * (g.w - 1) / g.d;
    const double y = (double(markers[i]->originalTime().value) - g.s) * (g.h - 1) / g.d;
    if (QRectF(x - 4, y - 4, 8, 8).contains(point)) {
      selectedMarker_ = i;
      if (preview_)
        preview_->timeSlider()->setValueWithRangedValue(float(markers[i]->originalTime().seconds()),
                                                        true);
      break;
    }
  }
  prepareTimePathFromWarpMarkers();
  update();
}

void QKMITimeWarpView::mouseDraggedTo(const QPointF& point) {
  const auto file = currentFile_.lock();
  const Geometry g = geometry();
  const auto& markers = file ? file->warpMarkers() : std::vector<std::shared_ptr<QKWarpMarker>>{};
  if (!file || !g.valid || selectedMarker_ < 0 || selectedMarker_ >= int(markers.size())) return;
  const float x = TimeWarpGrid::snap(float(point.x()), g.w, g.beats, g.subdivisions, g.share(),
                                     g.measures, snapTol_);
  const float start = float(g.s / g.l0);
  const float lower = selectedMarker_ > 0 ? markers[selectedMarker_ - 1]->beatPosition() : start;
  const float upper = selectedMarker_ + 1 < int(markers.size())
                          ? markers[selectedMarker_ + 1]->beatPosition()
                          : float((g.s + g.d) / g.l0);
  const float beat = TimeWarpGrid::boundedBeat(g.share() * (x / g.w) + start, lower, upper);
  const std::shared_ptr<QKWarpMarker> marker = markers[selectedMarker_];
  marker->setBeatPosition(beat);
  prepareTimePathFromWarpMarkers();
  file->warpMarkerMoved(marker);
  update();
}

void QKMITimeWarpView::keyPressEvent(QKeyEvent* event) {
  DataSourceController* controller = dataSourceController_;
  if (!controller && inspector_ && inspector_->host())
    controller = inspector_->host()->dataSourceController();
  if (!controller) {
    Log::line(QStringLiteral("\t\terror:dataSourceController is NIL in QKMITimeWarpView"));
    NotificationCenter::defaultCenter().post(QStringLiteral("QKDSControllerFinderNotification"),
                                             this);
    controller = dataSourceController_;
  }
  if (controller) controller->keyDown(event);
}

// --- Buttons
// --------------------------------------------------------------------------------------

void QKMITimeWarpView::insertWarpMarkerAtPlayHead() {
  const auto file = currentFile_.lock();
  if (!file || !preview_ || !preview_->currentMovie()) return;
  file->addWarpMarkerAtTime(preview_->currentMovie()->movie().currentTime());
  preview_->updateSliderInterestingPoints();
  preview_->snappedToInterestingPoint();
}

void QKMITimeWarpView::removeSelectedWarpMarker() {
  const auto file = currentFile_.lock();
  if (!file || selectedMarker_ < 0 || selectedMarker_ >= int(file->warpMarkers().size())) return;
  file->deleteWarpMarker(file->warpMarkers()[selectedMarker_]);
}

void QKMITimeWarpView::autoSpaceWarpMarkersButtonUsed() {
  const auto file = currentFile_.lock();
  if (!file) return;
  const auto markers = file->warpMarkers();
  const float n = float(markers.size());
  for (size_t i = 0; i < markers.size(); ++i) markers[i]->setBeatPosition(float(i + 1) / (n + 1));
  file->createWarpedMovieFile();
  NotificationCenter::defaultCenter().post(MediaNotifications::kWarpMarkersChanged,
                                           static_cast<QKFile*>(file.get()));
}

void QKMITimeWarpView::resetWarpMarkersButtonUsed() {
  if (const auto file = currentFile_.lock()) file->createUnwarpedMovieFile();
}

// --- Snapshot
// -------------------------------------------------------------------------------------

QVariantMap QKMITimeWarpView::createSnapshot() const {
  QVariantMap snapshot;
  auto put = [&snapshot](const char* key, const QKButton* button) {
    const QVariantMap s = button->createSnapshot();
    if (!s.isEmpty()) snapshot.insert(QString::fromLatin1(key), s);
  };
  put("insertWarpPtButton", insertWarpPtButton_);
  put("deleteWarpPtButton", deleteWarpPtButton_);
  put("autoSpacePtsButton", autoSpacePtsButton_);
  put("resetWarpPtsButton", resetWarpPtsButton_);
  put("previewPlayPauseButton", previewPlayPauseButton_);
  return snapshot;
}

void QKMITimeWarpView::loadSnapshot(const QVariantMap& snapshot) {
  auto load = [&snapshot](const char* key, QKButton* button) {
    const QVariant entry = snapshot.value(QString::fromLatin1(key));
    if (entry.typeId() == QMetaType::QVariantMap) button->loadSnapshot(entry.toMap(), false);
  };
  load("insertWarpPtButton", insertWarpPtButton_);
  load("deleteWarpPtButton", deleteWarpPtButton_);
  load("autoSpacePtsButton", autoSpacePtsButton_);
  load("resetWarpPtsButton", resetWarpPtsButton_);
  load("previewPlayPauseButton", previewPlayPauseButton_);
}
