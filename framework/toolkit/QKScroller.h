#pragma once

#include <QScrollBar>

// A themed scroll bar (QKScrollerStyle), small; a scroller made with
// `arrowsNone` has no arrow parts.
class QKScroller : public QScrollBar {
  Q_OBJECT
 public:
  explicit QKScroller(Qt::Orientation orientation, bool arrowsNone = false,
                      QWidget* parent = nullptr);
  bool arrowsNone() const;
};
