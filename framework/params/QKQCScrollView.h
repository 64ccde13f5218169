#pragma once

#include "framework/toolkit/QKScrollView.h"

class QCAttributeLoader;

// The scroll view that shows a composition panel. A generated panel takes
// the view's width and scrolls vertically; a Designer-form panel keeps at
// least its own size, with a scroller along each side it overflows.
//
// The panel stays its render context's: the scroll view shows it but gives
// it back (unparented) when it goes, so the render thread's panel is never
// deleted with a window. Main thread only.
class QKQCScrollView : public QKScrollView {
  Q_OBJECT
 public:
  explicit QKQCScrollView(QWidget* parent = nullptr);
  ~QKQCScrollView() override;

  // Shows the panel (null shows nothing), tells it its scroll view and lays
  // it out.
  void setDocumentView(QCAttributeLoader* loader);
  QCAttributeLoader* documentView() const;
  void setFrame(const QRect& frame);
  // Fits the panel to the view; does nothing without one.
  void updateContents();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool updating_ = false;
};
