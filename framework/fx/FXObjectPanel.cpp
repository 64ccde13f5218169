#include "framework/fx/FXObjectPanel.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/fx/FXChainManager.h"
#include "framework/fx/FXObject.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/ControllerFinder.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <cmath>

namespace {

const QString kRedrawFXNotification = QStringLiteral("QKRedrawFXNotification");

QVariantMap fxColors() {
  const TheApplication* app = TheApplication::instance();
  return app ? app->fxColorDict() : QVariantMap();
}

QColor colorOf(const QVariantMap& colors, const QString& key, const QColor& fallback) {
  const QColor color = colors.value(key).value<QColor>();
  return color.isValid() ? color : fallback;
}

}  // namespace

FXObjectPanel::ImageRects FXObjectPanel::imageRectsFor(double width) {
  return {QRectF(3, 2, 12, 12), QRectF(width - 11, 1, 10, 10)};
}

FXObjectPanel::ClickMask FXObjectPanel::clickMaskAt(const ImageRects& rects, const QPointF& point) {
  if (rects.remove.contains(point)) return kClickDelete;
  if (rects.expandCollapse.contains(point)) return kClickExpandCollapse;
  return kClickNothing;
}

bool FXObjectPanel::isDragDistance(const QPointF& down, const QPointF& now) {
  return std::abs(now.x() - down.x()) > kDragDistance ||
         std::abs(now.y() - down.y()) > kDragDistance;
}

QPolygonF FXObjectPanel::triangleIn(const QRectF& rect, bool collapsed) {
  const double x = rect.left();
  const double y = rect.top();
  if (collapsed)
    return QPolygonF({{x + 2.006, y + 1.389}, {x + 2.006, y + 10.611}, {x + 9.994, y + 6}});
  return QPolygonF({{x + 1.389, y + 2.007}, {x + 10.611, y + 2.007}, {x + 6, y + 9.994}});
}

QRectF FXObjectPanel::bypassButtonFrameFor(double width) { return QRectF(width - 48, 1, 36, 12); }

FXObjectPanel::FXObjectPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  findDataSourceController(this);
  observers_.observe(kRedrawFXNotification, nullptr, [this](const Notification&) { update(); });
}

FXObjectPanel::~FXObjectPanel() { prepareToBeDeleted(); }

QKButton* FXObjectPanel::bypassButton() const { return bypassButton_; }

void FXObjectPanel::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
}

void FXObjectPanel::setMyFXObject(FXObject* element) {
  element_ = element ? element->weak_from_this() : std::weak_ptr<FXObject>();
  if (!element) return;
  if (!bypassButton_ && element->bypassButton()) {
    bypassButton_ = new QKButton(element->bypassButton(), this);
    bypassButton_->setFrame(bypassButtonFrameFor(width()));
    bypassButton_->show();
    // The element's set-up switched the button on; a panel made later (a
    // layer effect's, when first shown) keeps what a snapshot set since.
    element->bypassToggleUsed();
  }
  loadImagesFromManager();
  update();
}

void FXObjectPanel::loadImagesFromManager() {
  const std::shared_ptr<FXObject> element = myFXObject();
  const FXChainManager* manager = element ? element->myChainManager() : nullptr;
  if (manager) deleteImg_ = manager->pluginResourceDict().value(QStringLiteral("delete"));
}

void FXObjectPanel::setCollapsedFlag(bool collapsed) {
  collapsedFlag_ = collapsed;
  update();
}

void FXObjectPanel::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  observers_.clear();
  if (bypassButton_) bypassButton_->prepareToBeDeleted();
}

void FXObjectPanel::resizeEvent(QResizeEvent* event) {
  if (bypassButton_) bypassButton_->setFrame(bypassButtonFrameFor(width()));
  QWidget::resizeEvent(event);
}

void FXObjectPanel::paintEvent(QPaintEvent*) {
  const QVariantMap colors = fxColors();
  const QColor fill = colorOf(colors, QStringLiteral("fill"), QColor(27, 27, 27));
  const QColor stroke = colorOf(colors, QStringLiteral("stroke"), Qt::black);
  const QVariantMap title = colors.value(QStringLiteral("titleFontAttribs")).toMap();
  const QColor titleColor =
      colorOf(title, InterfaceColorScheme::kForegroundColorAttribute, QColor(77, 77, 77));
  QFont titleFont = title.value(InterfaceColorScheme::kFontAttribute).value<QFont>();
  if (title.value(InterfaceColorScheme::kFontAttribute).isNull()) titleFont.setPixelSize(9);

  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
  painter.fillRect(rect(), fill);
  painter.fillRect(QRectF(r.x(), r.y(), r.width(), kTitleHeight), stroke);
  painter.setPen(QPen(stroke, 2.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r);

  const ImageRects rects = imageRects();
  if (!deleteImg_.isNull()) painter.drawImage(rects.remove, deleteImg_);
  painter.setPen(Qt::NoPen);
  painter.setBrush(titleColor);
  painter.drawPolygon(triangleIn(rects.expandCollapse, collapsedFlag_));

  const std::shared_ptr<FXObject> element = myFXObject();
  if (!element) return;
  painter.setPen(titleColor);
  painter.setFont(titleFont);
  const double right = bypassButton_ ? bypassButton_->x() - 2 : rects.remove.left() - 2;
  painter.drawText(QRectF(18, 0, std::max(0.0, right - 18), kTitleHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, element->myName());
}

void FXObjectPanel::mousePressEvent(QMouseEvent* event) {
  optOnClick_ = event->modifiers() & Qt::AltModifier;
  mouseDownClickLoc_ = event->position();
  clickMask_ = clickMaskAt(imageRects(), mouseDownClickLoc_);
  dragging_ = false;
  event->accept();
}

void FXObjectPanel::mouseMoveEvent(QMouseEvent* event) {
  if (clickMask_ != kClickNothing || dragging_ || !(event->buttons() & Qt::LeftButton)) return;
  if (!isDragDistance(mouseDownClickLoc_, event->position())) return;
  dragging_ = true;
  startDrag(event->position());
}

void FXObjectPanel::startDrag(const QPointF& hotSpot) {
  const std::shared_ptr<FXObject> element = myFXObject();
  const FXChainManager* manager = element ? element->myChainManager() : nullptr;
  if (!manager) return;
  auto* data = new QMimeData;
  data->setData(FXChainManager::mimeTypeFor(manager->chainFXPboardType()), QByteArray());
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(grab());
  drag->setHotSpot(hotSpot.toPoint());
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  drag->deleteLater();
}

void FXObjectPanel::mouseReleaseEvent(QMouseEvent* event) {
  const ClickMask mask = dragging_ ? kClickNothing : clickMask_;
  const bool dragged = dragging_;
  clickMask_ = kClickNothing;
  dragging_ = false;
  event->accept();
  const std::shared_ptr<FXObject> element = myFXObject();
  if (mask == kClickDelete && element) {
    // The chain takes this panel away: delete from the event loop, outside
    // this handler, with the element kept alive until then.
    QTimer::singleShot(0, qApp, [element] {
      if (!element->deleted()) element->tellMyChainToDeleteMe();
    });
  } else if (mask == kClickExpandCollapse && element) {
    setCollapsedFlag(!collapsedFlag_);
    if (collapsedFlag_)
      element->collapse();
    else
      element->expand();
  } else if (!dragged) {
    deselectEverything();
  }
}

void FXObjectPanel::deselectEverything() {
  if (!dataSourceController_) findDataSourceController(this);
  if (dataSourceController_) dataSourceController_->deselectEverything();
}
