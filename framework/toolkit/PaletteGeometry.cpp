#include "framework/toolkit/PaletteGeometry.h"

#include "framework/toolkit/FrameSnapshot.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

QRectF PaletteGeometry::collapsedFrame(const QRectF& expanded) {
  return {expanded.x(), expanded.y() + expanded.height() - kBarHeight, expanded.width(),
          kBarHeight};
}

QRectF PaletteGeometry::expandedFrame(const QRectF& bar, const QSizeF& expandedSize) {
  return {bar.x(), kBarHeight + bar.y() - expandedSize.height(), expandedSize.width(),
          expandedSize.height()};
}

QRectF PaletteGeometry::toQt(const QRectF& bottomLeft, double primaryHeight) {
  return {bottomLeft.x(), primaryHeight - (bottomLeft.y() + bottomLeft.height()),
          bottomLeft.width(), bottomLeft.height()};
}

QRectF PaletteGeometry::fromQt(const QRectF& topLeft, double primaryHeight) {
  // The same reflection undoes itself.
  return toQt(topLeft, primaryHeight);
}

QPointF PaletteGeometry::pointFromQt(const QPointF& topLeft, double primaryHeight) {
  return {topLeft.x(), primaryHeight - topLeft.y()};
}

QRectF PaletteGeometry::convertBLScreenToTLScreen(const QRectF& rect, double mainHeight) {
  return {rect.x(), mainHeight - rect.y(), rect.width(), rect.height()};
}

QRectF PaletteGeometry::convertTLScreenToBLScreen(const QRectF& rect, double mainHeight) {
  return convertBLScreenToTLScreen(rect, mainHeight);
}

QRectF PaletteGeometry::clampMove(const QRectF& clickFrame, QPointF delta, const QSizeF& screen) {
  const double width = clickFrame.width();
  const double height = clickFrame.height();
  double x = clickFrame.x() + delta.x();
  double y = clickFrame.y() + delta.y();
  const double top = screen.height() - kMenuBarHeight;
  if (x < 0) x = 0;
  if (x + width > screen.width()) x = screen.width() - width;
  if (y < 0) y = 0;
  if (y + height > top) y = top - height;
  return {x, y, width, height};
}

QRectF PaletteGeometry::clampResize(const QRectF& clickFrame, QPointF delta, const QSizeF& screen,
                                    const QSizeF& minSize) {
  const double topEdge = clickFrame.y() + clickFrame.height();
  double x = clickFrame.x();
  double y = clickFrame.y() + delta.y();
  double width = clickFrame.width() + delta.x();
  double height = clickFrame.height() - delta.y();
  if (x + width > screen.width()) width = screen.width() - x;
  if (y < 0) {
    y = 0;
    height = topEdge;
  }
  if (width < minSize.width()) width = minSize.width();
  if (height < minSize.height()) {
    height = minSize.height();
    y = topEdge - height;
  }
  return {x, y, width, height};
}

QRectF PaletteGeometry::bringForward(QRectF frame, const QRectF& mainScreen,
                                     const QSizeF& minSize) {
  const QRectF screen(mainScreen.x(), mainScreen.y(), mainScreen.width(),
                      mainScreen.height() - kMenuBarHeight);
  frame = frame.normalized();
  if (frame.width() <= 0) frame.setWidth(minSize.width() > 0 ? minSize.width() : kBarHeight);
  if (frame.height() <= 0) frame.setHeight(minSize.height() > 0 ? minSize.height() : kBarHeight);
  // Each step fixes the width, the height or the position; a screen too small
  // for any frame ends the loop all the same.
  for (int step = 0; step < 4 && !screen.contains(frame); ++step) {
    if (frame.width() > screen.width()) {
      frame.setWidth(std::max(1.0, screen.width() - 2));
    } else if (frame.height() > screen.height()) {
      frame.setHeight(std::max(1.0, screen.height() - 24));
    } else {
      frame.moveTo(screen.x() + screen.width() / 2 - frame.width() / 2,
                   screen.y() + screen.height() / 2 - frame.height() / 2);
    }
  }
  return frame;
}

namespace {

struct DefaultFrame {
  const char* title;
  int originY;
  int height;
};

constexpr DefaultFrame kDefaultFrames[] = {
    {"Slider/Button Inspector", 198, 160}, {"Behavior Chains", 247, 193},
    {"Layer Manager", 422, 352},           {"Video FX Palette", 236, 150},
    {"Plugin Manager", 259, 141},          {"Clock", 261, 127},
    {"Preset Manager", 371, 349},          {"Media Inspector", 702, 600},
    {"Live Input Manager", 304, 154},
};

const QStringList& storedFrameTitles() {
  static const QStringList titles = {
      QStringLiteral("Slider Inspector"),        QStringLiteral("Button Inspector"),
      QStringLiteral("Slider/Button Inspector"), QStringLiteral("Behavior Chains"),
      QStringLiteral("Video FX Palette"),        QStringLiteral("Layer Manager"),
      QStringLiteral("Preset Manager"),          QStringLiteral("Media Inspector"),
      QStringLiteral("Live Input Manager"),      QStringLiteral("Clock"),
      QStringLiteral("Plugin Manager")};
  return titles;
}

}  // namespace

std::optional<QVariantMap> PaletteGeometry::defaultFrameSnapshot(const QString& title) {
  for (const DefaultFrame& frame : kDefaultFrames) {
    if (title != QLatin1String(frame.title)) continue;
    return FrameSnapshot::make(0, frame.originY, 260, frame.height, true);
  }
  return std::nullopt;
}

bool PaletteGeometry::storesFrameInDefaults(const QString& title) {
  return storedFrameTitles().contains(title);
}

QString PaletteGeometry::storedFrameKey(const QString& title) {
  return title + QStringLiteral("_windAttribs");
}
