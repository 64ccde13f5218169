#include "app/mediabin/MBGridImageCache.h"

#include <QPainter>

#include <cmath>

namespace {

bool hasTransparentPixels(const QImage& image) {
  if (!image.hasAlphaChannel()) return false;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(line[x]) != 255) return true;
  }
  return false;
}

template <typename Map>
void dropUnused(Map& map, quint64 redraw) {
  for (auto it = map.begin(); it != map.end();)
    it = it->redraw == redraw ? std::next(it) : map.erase(it);
}

}  // namespace

bool MBGridImageCache::Strip::operator==(const Strip& other) const {
  return text == other.text && size == other.size && textRect == other.textRect &&
         flags == other.flags && font == other.font && background == other.background &&
         color == other.color && pixelRatio == other.pixelRatio;
}

const QImage& MBGridImageCache::poster(const void* owner, const QImage& source, const QSize& size) {
  CachedPoster& cached = posters_[owner];
  cached.redraw = redraw_;
  if (source.isNull()) {
    cached = {0, QImage(), redraw_};
  } else if (cached.sourceKey != source.cacheKey() || cached.image.size() != size) {
    cached.sourceKey = source.cacheKey();
    cached.image = scaled(source, size);
  }
  return cached.image;
}

QImage MBGridImageCache::scaled(const QImage& source, const QSize& size) {
  QImage image = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  // An opaque copy is copied rather than blended, and needs no backing.
  if (!hasTransparentPixels(image)) return image.convertToFormat(QImage::Format_RGB32);
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

const QImage& MBGridImageCache::strip(quintptr key, const Strip& strip) {
  CachedStrip& cached = strips_[key];
  cached.redraw = redraw_;
  if (cached.image.isNull() || !(cached.made == strip)) {
    cached.made = strip;
    cached.image = drawn(strip);
  }
  return cached.image;
}

QImage MBGridImageCache::drawn(const Strip& strip) {
  const QSize pixels(int(std::ceil(strip.size.width() * strip.pixelRatio)),
                     int(std::ceil(strip.size.height() * strip.pixelRatio)));
  QImage image(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(strip.pixelRatio);
  image.fill(strip.background.isValid() ? strip.background : QColor(Qt::transparent));
  QPainter painter(&image);
  painter.setFont(strip.font);
  painter.setPen(strip.color);
  painter.drawText(strip.textRect, strip.flags, strip.text);
  return image;
}

void MBGridImageCache::endRedraw() {
  if (posters_.size() > kKeepAtMost) dropUnused(posters_, redraw_);
  if (strips_.size() > kKeepAtMost) dropUnused(strips_, redraw_);
  ++redraw_;
}

void MBGridImageCache::clear() {
  posters_.clear();
  strips_.clear();
}
