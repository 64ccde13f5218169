#pragma once

#include "framework/controls/QKLogSliderCell.h"
#include "framework/controls/QKSliderControl.h"

// A slider control whose cell is a logarithmic slider (QKLogSliderCell).
class QKLogSliderControl : public QKSliderControl {
  Q_OBJECT
 public:
  explicit QKLogSliderControl(QWidget* parent = nullptr);
  static QKLogSliderControl* createWithFrame(const QRectF& frame, QWidget* parent = nullptr);

  // The cell's inverse and forward mapping; 0 once deleted or without a
  // cell.
  float valueForRangedValue(float ranged) const;
  float rangedValueForValue(float normalised) const;

 protected:
  // A control with the cell of a subclass of the logarithmic cell.
  QKLogSliderControl(std::shared_ptr<QKLogSliderCell> cell, QWidget* parent);
};
