#include "framework/toolkit/SimpleLevelView.h"

#include "framework/toolkit/ThemeDict.h"

#include <QPainter>

#include <cmath>

const QString SimpleLevelView::kRedrawNotification = QStringLiteral("QKRedrawLevelsNotification");
const QString SimpleLevelView::kSimpleStyle = QStringLiteral("simpleLevelView");
const QString SimpleLevelView::kTitleBarStyle = QStringLiteral("titleBarLevelView");

SimpleLevelView::SimpleLevelView(QWidget* parent) : QWidget(parent), repaint_(this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  observers_.observe(kRedrawNotification, nullptr, [this](const Notification&) {
    // The theme editor posts on the main thread; any other poster asks.
    repaint_.request();
  });
}

SimpleLevelView::~SimpleLevelView() = default;

void SimpleLevelView::drawLevel(QPainter& painter, const QSizeF& size) const {
  if (!showsLevel()) {
    painter.fillRect(QRectF(QPointF(0, 0), size), inactiveColor());
    return;
  }
  const QVariantMap colors = ThemeDict::map(ThemeDict::levelViewColors(), colorStyle());
  painter.fillRect(QRectF(QPointF(0, 0), size),
                   ThemeDict::color(colors, QStringLiteral("backgroundColor"), Qt::black));
  const float level = val();
  if (!std::isfinite(level)) return;
  QRectF bar(1.0, 1.0, size.width() - 2.0, size.height() - 2.0);
  if (bar.width() >= bar.height()) {
    bar.setWidth(bar.width() * level);
  } else {
    const double length = bar.height() * level;
    if (!growsFromTop()) bar.moveTop(size.height() - 1.0 - length);
    bar.setHeight(length);
  }
  painter.fillRect(bar.normalized(),
                   ThemeDict::color(colors, QStringLiteral("levelColor"), Qt::red));
}

void SimpleLevelView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawLevel(painter, size());
}
