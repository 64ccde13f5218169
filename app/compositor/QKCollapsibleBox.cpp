#include "app/compositor/QKCollapsibleBox.h"

#include "app/compositor/QKCollapsibleBoxManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/ControllerFinder.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

namespace {
using S = InterfaceColorScheme;

QColor colorIn(const QVariantMap& dict, const QString& key, const QColor& fallback) {
  const QVariant value = dict.value(key);
  return value.typeId() == QMetaType::QColor ? value.value<QColor>() : fallback;
}

// The "unlocked" colours of the window colour dictionary; empty without one.
QVariantMap relevantColorDict() {
  const TheApplication* app = TheApplication::instance();
  if (!app) return {};
  return app->winColorDict().value(QStringLiteral("unlocked")).toMap();
}
}  // namespace

QKCollapsibleBox::QKCollapsibleBox(const QString& title, const QRectF& frame, QWidget* parent)
    : QWidget(parent), title_(title), content_(new QWidget(this)) {
  findDataSourceController(this);
  actualLocation_ = frame;
  expandedSize_ = frame.size();
  applyGeometry();
}

QKCollapsibleBox::~QKCollapsibleBox() = default;

void QKCollapsibleBox::setFrame(const QRectF& frame) {
  actualLocation_ = frame;
  expandedSize_.setWidth(frame.width());
  if (!collapsed_) expandedSize_.setHeight(frame.height());
  reRender_ = true;
  applyGeometry();
}

void QKCollapsibleBox::setFrameSize(const QSizeF& size) {
  setFrame(QRectF(actualLocation_.topLeft(), size));
}

void QKCollapsibleBox::setFrameOrigin(const QPointF& origin) {
  actualLocation_.moveTo(origin);
  reRender_ = true;
  applyGeometry();
}

QRectF QKCollapsibleBox::bounds() const {
  if (collapsed_)
    return QRectF(0, expandedSize_.height() - kTitleBarHeight, expandedSize_.width(),
                  kTitleBarHeight);
  return QRectF(QPointF(0, 0), expandedSize_);
}

// The frame (y upward in the top-level window) onto the Qt parent. The
// content keeps the expanded layout: folded, the box clips it away.
void QKCollapsibleBox::applyGeometry() {
  const QRectF& f = actualLocation_;
  QPoint topLeft(qRound(f.x()), qRound(window()->height() - f.y() - f.height()));
  if (QWidget* parent = parentWidget(); parent && window() != this)
    topLeft = parent->mapFrom(window(), topLeft);
  setGeometry(QRect(topLeft, QSize(qRound(f.width()), qRound(f.height()))));
  content_->setGeometry(2, int(kTitleBarHeight), std::max(0, int(expandedSize_.width()) - 4),
                        std::max(0, int(expandedSize_.height() - kTitleBarHeight) - 2));
  content_->setVisible(!collapsed_);
  update();
}

QVariantMap QKCollapsibleBox::createSnapshot() const {
  return {{QStringLiteral("collapsed"), collapsed_}};
}

void QKCollapsibleBox::loadSnapshot(const QVariantMap& snapshot) {
  if (snapshot.value(QStringLiteral("collapsed")).toBool() != collapsed_) toggleExpand();
}

void QKCollapsibleBox::toggleExpand() {
  collapsed_ = !collapsed_;
  if (collapsed_)
    collapse();
  else
    expand();
}

// The top edge stays where it is.
void QKCollapsibleBox::collapse() {
  expandedSize_ = actualLocation_.size();
  const QRectF& was = actualLocation_;
  actualLocation_ =
      QRectF(was.x(), was.y() + was.height() - kTitleBarHeight, was.width(), kTitleBarHeight);
  reRender_ = true;
  applyGeometry();
  if (manager_) manager_->update();
}

void QKCollapsibleBox::expand() {
  actualLocation_ = QRectF(
      QPointF(actualLocation_.x(), actualLocation_.y() - expandedSize_.height() + kTitleBarHeight),
      expandedSize_);
  reRender_ = true;
  applyGeometry();
  if (manager_) manager_->update();
}

void QKCollapsibleBox::renderPaths() {
  const double w = expandedSize_.width();
  const double h = collapsed_ ? kTitleBarHeight : expandedSize_.height();
  const double y0 = collapsed_ ? expandedSize_.height() - kTitleBarHeight : 0.0;
  framePath_ = QPainterPath();
  framePath_.addRect(1.0, y0 + 1.0, w - 2.0, h - 2.0);
  const double ty = y0 + h - 16.0;
  titlePath_ = QPainterPath();
  titlePath_.addRect(1.0, ty, w - 2.0, 15.0);
  collapseToggleRect_ = QRectF(5.0, ty + 1.0, 12.0, 12.0);
  const QPointF p = collapseToggleRect_.topLeft();
  collapsedPath_ = QPainterPath(p + QPointF(2.006, 1.389));
  collapsedPath_.lineTo(collapsedPath_.currentPosition() + QPointF(0, 9.222));
  collapsedPath_.lineTo(collapsedPath_.currentPosition() + QPointF(7.988, -4.611));
  collapsedPath_.closeSubpath();
  expandedPath_ = QPainterPath(p + QPointF(6.0, 2.006));
  expandedPath_.lineTo(expandedPath_.currentPosition() + QPointF(-4.611, 7.987));
  expandedPath_.lineTo(expandedPath_.currentPosition() + QPointF(9.222, 0));
  expandedPath_.closeSubpath();
  reRender_ = false;
}

QRectF QKCollapsibleBox::collapseToggleRect() {
  if (reRender_) renderPaths();
  return collapseToggleRect_;
}

void QKCollapsibleBox::paintEvent(QPaintEvent*) {
  if (reRender_) renderPaths();
  const QVariantMap colors = relevantColorDict();
  QVariantMap attributes = colors.value(QStringLiteral("titleTextAttribs")).toMap();
  const QColor fill = colorIn(colors, QStringLiteral("fill"), QColor::fromRgbF(0.2, 0.2, 0.2));
  const QColor bar = colorIn(colors, QStringLiteral("titleBar"), Qt::black);
  const QColor text = colorIn(attributes, S::kForegroundColorAttribute, Qt::white);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // Box space is y upward over the expanded height: its point y is at Qt's
  // expanded height − y, folded or not.
  painter.setTransform(QTransform(1, 0, 0, -1, 0, expandedSize_.height()));
  if (!collapsed_) painter.fillPath(framePath_, fill);
  painter.strokePath(framePath_, QPen(bar, 2.0));
  painter.fillPath(collapsed_ ? framePath_ : titlePath_, bar);
  painter.fillPath(collapsed_ ? collapsedPath_ : expandedPath_, text);
  painter.resetTransform();
  const QVariant fontValue = attributes.value(S::kFontAttribute);
  QFont font = fontValue.typeId() == QMetaType::QFont ? fontValue.value<QFont>() : this->font();
  if (fontValue.typeId() != QMetaType::QFont) font.setPixelSize(10);
  painter.setFont(font);
  painter.setPen(text);
  painter.drawText(QPointF(20.0, 15.0 - QFontMetricsF(font).descent()), title_);
}

void QKCollapsibleBox::mousePressEvent(QMouseEvent* event) {
  const QPointF qt = event->position();
  clickAt(QPointF(qt.x(), expandedSize_.height() - qt.y()));
  event->accept();
}

void QKCollapsibleBox::clickAt(const QPointF& boxPoint) {
  deselectEverything();
  if (collapseToggleRect().contains(boxPoint)) toggleExpand();
}

void QKCollapsibleBox::focusInEvent(QFocusEvent* event) {
  deselectEverything();
  QWidget::focusInEvent(event);
}

void QKCollapsibleBox::deselectEverything() {
  if (!dataSourceController_) findDataSourceController(this);
  if (dataSourceController_) dataSourceController_->deselectEverything();
}
