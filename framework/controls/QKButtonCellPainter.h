#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QVariantMap>

class QKButtonCell;
class QPainter;

// Draws a button cell: a rounded body in the colours of its state, the
// optional image tile over it, and its text. The colours come from the
// button manager's appearance dictionary, three levels deep ("selected" or
// "unselected", "sync" or "unsync", "HLM" or "non-HLM"); a missing level, a
// missing manager, or a missing or mistyped entry of the leaf takes the
// built-in value (red on, white off, grey pressed, black 1-point outline,
// 2-point corners, the interface font at 9 in black). Main thread only.
class QKButtonCellPainter {
 public:
  // One drawing state of a leaf: "on", "off" or "transition" (pressed).
  struct Look {
    QColor fill;
    QColor stroke;
    QFont font;
    QColor text;
  };
  struct Leaf {
    double strokeWidth = 1.0;
    double radius = 2.0;
    Look on, off, transition;
  };

  // The leaf for the cell's selection, binding and learn mode.
  static QVariantMap relevantColorDict(const QKButtonCell& cell);
  static Leaf leaf(const QVariantMap& colorDict);
  static const Leaf& builtInLeaf();

  // The look for the cell's state: pressed, else on for value 1, else off.
  static const Look& lookFor(const QKButtonCell& cell, const Leaf& leaf);
  // The body inside `frame`: inset by half the stroke, and moved right of
  // the "S" toggle (by half its height) when that is shown.
  static QRectF bodyRect(const QKButtonCell& cell, const QRectF& frame, double strokeWidth);
  // The bound path when shortcuts are shown (its last name alone in a body
  // 30 wide or less), else the title for the value.
  static QString text(const QKButtonCell& cell, double bodyWidth);

  // Draws the whole cell into `frame` (the view's bounds).
  static void draw(QPainter& painter, const QKButtonCell& cell, const QRectF& frame);
};
