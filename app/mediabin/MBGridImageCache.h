#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

// The file grid's drawings that outlive a redraw, so that a redraw mostly
// copies pixels: each file's poster scaled to its cell, and text strips (a
// strip's background with its text laid out and drawn once). Each entry is
// checked against what it was made from, so a new poster, a renamed file,
// another size or colour, or a new file at a freed address is drawn anew.
// Entries no redraw asked for go once the cache has grown large. Main
// thread only.
class MBGridImageCache {
 public:
  // What a text strip shows, all of which its image depends on.
  struct Strip {
    QString text;
    QSizeF size;      // of the strip, in the painter's units
    QRectF textRect;  // within the strip
    int flags = 0;    // alignment, as for QPainter::drawText
    QFont font;
    QColor background;  // may be transparent
    QColor color;
    qreal pixelRatio = 1;  // of the device painted on
    bool operator==(const Strip& other) const;
  };

  // `source` scaled to `size`, kept per `owner`; a null source gives a null
  // image. A poster without transparent pixels comes back opaque
  // (`hasAlphaChannel()` false), so that it hides what lies under it.
  const QImage& poster(const void* owner, const QImage& source, const QSize& size);
  // The strip drawn for `key` (a file or a page); its device pixel ratio is
  // the strip's.
  const QImage& strip(quintptr key, const Strip& strip);

  // Ends a redraw: past `kKeepAtMost` entries, those it did not ask for go.
  void endRedraw();
  void clear();
  int posterCount() const { return int(posters_.size()); }
  int stripCount() const { return int(strips_.size()); }

  static constexpr int kKeepAtMost = 1024;

 private:
  struct CachedPoster {
    qint64 sourceKey = 0;
    QImage image;
    quint64 redraw = 0;
  };
  struct CachedStrip {
    Strip made;
    QImage image;
    quint64 redraw = 0;
  };

  static QImage scaled(const QImage& source, const QSize& size);
  static QImage drawn(const Strip& strip);

  QHash<const void*, CachedPoster> posters_;
  QHash<quintptr, CachedStrip> strips_;
  quint64 redraw_ = 1;
};
