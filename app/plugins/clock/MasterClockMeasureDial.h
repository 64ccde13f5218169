#pragma once

#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/RepaintRequest.h"

#include <QPointer>
#include <QPolygonF>
#include <QWidget>

#include <atomic>


// The clock palette's dial: a 12-sided disc whose dark sector covers the
// part of the measure still to come (red for the first three redraws of a
// measure), and the "measure:beat:subdivision" counter at the top left.
// setCurrentPosition comes from the clock or MIDI thread: it stores the
// values and asks for one coalesced repaint; nothing is repainted while the
// palette is collapsed. Painting happens on the main thread.
class MasterClockMeasureDial : public QWidget {
  Q_OBJECT
 public:
  explicit MasterClockMeasureDial(QWidget* parent = nullptr);

  void setContentView(QKWindowContentView* view) { contentView_ = view; }
  // Any thread; the counts are counted from 1.
  void setCurrentPosition(double position, long measure, long beat, long subdivision);
  double lastPosition() const { return lastPosition_.load(); }
  // Mirrors the palette's collapse state (main thread).
  void setCollapsed(bool collapsed);

  // The sector's first boundary in degrees clockwise from twelve o'clock:
  // position × 360 truncated, down to a multiple of 12.
  static int sectorStart(double position);
  // The sector's rim angles: D, D + 18, … up to 341, then 360.
  static QList<int> sectorAngles(int start);
  static QString counterText(long measure, long beat, long subdivision);
  int redrawCount() const { return redrawCount_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void drawDial(QPainter& painter, const QRectF& rect);
  void drawText(QPainter& painter);
  QColor background() const;

  QPointer<QKWindowContentView> contentView_;
  std::atomic<double> currentPosition_{0.0};
  std::atomic<double> lastPosition_{0.0};
  std::atomic<bool> newMeasure_{false};
  std::atomic<long> measureCount_{1};
  std::atomic<long> beatCount_{1};
  std::atomic<long> subdivisionCount_{1};
  std::atomic<bool> collapsed_{false};
  int redrawCount_ = 0;  // main thread
  RepaintRequest repaint_;
};
