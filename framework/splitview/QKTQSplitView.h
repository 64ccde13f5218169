#pragma once

#include "framework/splitview/TQSplitView.h"

#include <QColor>
#include <QFont>

// The framework's own split view: dividers may take the palette's frame
// colour and show the leading pane's identifier as text.
class QKTQSplitView : public TQSplitView {
  Q_OBJECT
 public:
  explicit QKTQSplitView(const QRectF& frame = {}, QWidget* parent = nullptr);
  QKTQSplitView(const QRectF& frame, int subviews, QWidget* parent = nullptr);

  bool drawDividerText() const { return drawDividerText_; }
  void setDrawDividerText(bool flag) { drawDividerText_ = flag; }
  bool useCustomDividerColor() const { return useCustomDividerColor_; }
  void setUseCustomDividerColor(bool flag);
  QFont textFont() const { return font_; }
  QColor textColor() const { return textColor_; }

  void drawDivider(QPainter& painter, const QImage* image, const QRectF& rect,
                   TQSplitSubview* leading, TQSplitSubview* trailing) override;

 private:
  // The frame colour of the palette holding the view; invalid outside one.
  QColor paletteFrameColor() const;

  QFont font_;
  QColor textColor_;
  bool drawDividerText_ = false;
  bool useCustomDividerColor_ = false;
};
