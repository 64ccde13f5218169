#pragma once

#include "framework/toolkit/QKWindowContentView.h"

#include <functional>

// The preview window's palette: a corner resize begun with the option key
// keeps the view's aspect (the window less 6 points of width and 37 of
// height), the top edge fixed. Main thread only.
class PrevWindContentView : public QKWindowContentView {
 public:
  explicit PrevWindContentView(QWidget* parent = nullptr);

  // The view's width-to-height ratio to keep.
  void setAspectRatioSource(std::function<double()> source) { aspectRatio_ = std::move(source); }

 protected:
  QRectF resizedFrame(const QRectF& clamped) const override;

 private:
  std::function<double()> aspectRatio_;
};
