#pragma once

#include <QScrollArea>

class QKScroller;

// A scroll area with themed scrollers (the horizontal one without arrows)
// on the palette fill colour. Main thread only.
class QKScrollView : public QScrollArea {
  Q_OBJECT
 public:
  explicit QKScrollView(QWidget* parent = nullptr);
  QKScroller* verticalScroller() const;
  QKScroller* horizontalScroller() const;
};
