#pragma once

#include "app/sources/MovieSourceScratchCell.h"
#include "framework/controls/QKSliderControl.h"

// The movie panel's scratch strip (MovieSourceScratchCell), with its sync
// toggle shown from the start.
class MovieSourceScratchView : public QKSliderControl {
  Q_OBJECT
 public:
  explicit MovieSourceScratchView(QWidget* parent = nullptr);
  static MovieSourceScratchView* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);

  // Null once retired.
  MovieSourceScratchCell* scratchCell() const;
};
