#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <mutex>

class QPainter;

// A drawable text with its own text attributes and measured size. One thread
// may change the text (a value update on the data-source thread) while the
// main thread draws it: every change, measurement and draw runs as one step
// under the string's mutex. Nothing drawn or measured under the mutex calls
// back into the same string.
//
// The attributes are a dictionary of two entries: the font under
// `NSFontAttributeName` and the text colour under
// `NSForegroundColorAttributeName`. A null text draws nothing.
class QKSafeString {
 public:
  static const QString NSFontAttributeName;
  static const QString NSForegroundColorAttributeName;

  // The default attributes: "Lucida Grande" 9 pt in red.
  explicit QKSafeString(const QString& text = QString());
  QKSafeString(const QKSafeString&) = delete;
  QKSafeString& operator=(const QKSafeString&) = delete;

  void setString(const QString& text) { setCustomString(text); }
  // Keeps a copy and measures it; a null string leaves no text.
  void setCustomString(const QString& text);
  QString string() const;
  // The number with two decimals ("%0.2f" in the C locale), written into
  // the string's own storage: a text rewritten on every value update
  // allocates nothing once it has room.
  void setTwoDecimals(float value);

  // Measures again when there is text.
  void setFont(const QFont& font);
  // Does not measure again (the colour does not change the size).
  void setForegroundColor(const QColor& color);
  // Takes the font (when the entry is a font) and the colour (when it is a
  // colour) from `attributes`; other entries are not taken. When there is
  // text, measures again with the given dictionary's font, or the current
  // one when it holds none.
  void setAttributes(const QVariantMap& attributes);

  // Draws the text with its top-left corner at `point`.
  void drawAtPoint(QPainter& painter, const QPointF& point) const;
  // The same with other attributes; the string's own are not changed.
  void drawAtPoint(QPainter& painter, const QPointF& point, const QVariantMap& attributes) const;

  QVariantMap fontAttribs() const;
  QFont font() const;
  QColor foregroundColor() const;
  // The measured size, width and height each rounded up to whole points.
  // Measured when asked after a change, so that a text rewritten on every
  // value update is measured only when it is drawn.
  QSizeF textSize() const;

  static QSizeF measure(const QString& text, const QFontMetricsF& metrics);

 private:
  void drawLocked(QPainter& painter, const QPointF& point, const QFont& font,
                  const QColor& color) const;
  void textChanged() { sizeKnown_ = false; }

  mutable std::mutex lock_;
  QString theString_;
  QFont font_;
  QFontMetricsF metrics_;  // of font_, kept: values are measured often
  QColor color_;
  mutable QSizeF textSize_;
  mutable bool sizeKnown_ = false;
};
