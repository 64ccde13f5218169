#include "framework/params/CIPositionElement.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/QKElementBox.h"
#include "framework/params/QKPositionUI.h"
#include "platform/foundation/MainThread.h"

#include <algorithm>

namespace {
const QStringList kSliderNames = {QStringLiteral("x position"), QStringLiteral("y position")};
const QStringList kSnapshotKeys = {QStringLiteral("xSlider"), QStringLiteral("ySlider")};
const QStringList kHolderComponents = {QStringLiteral("X"), QStringLiteral("Y")};
}  // namespace

std::shared_ptr<CIPositionElement> CIPositionElement::create(
    const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::Position, request.panelWidth), request.parent, QSizeF(1, 1));
  element->setTitleAndKey(request.key);
  element->setPointValue(QPointF(0.5, 0.5));
  return element;
}

std::shared_ptr<CIPositionElement> CIPositionElement::create(const QRectF& frame, QWidget* parent,
                                                             QSizeF canvas) {
  std::shared_ptr<CIPositionElement> element(new CIPositionElement(frame, parent, canvas));
  element->awakeFromNib();
  return element;
}

CIPositionElement::CIPositionElement(const QRectF& frame, QWidget* parent, QSizeF canvas)
    : QCBoxedElement(frame, parent), canvasWidth_(canvas.width()), canvasHeight_(canvas.height()) {}

void CIPositionElement::awakeFromNib() {
  std::weak_ptr<CIPositionElement> self = weak_from_this();
  sliders_.make(
      box_, kSliderNames, self,
      [self](int index, QKSliderCell& sender) {
        if (auto element = self.lock()) element->sliderUsed(index, sender);
      },
      [self] {
        if (auto element = self.lock()) element->paramSnapUpdated();
      });
  const QSizeF canvas = canvasSize();
  pad_ = new QKPositionUI(box_, canvas.height() > 0 ? float(canvas.width() / canvas.height()) : 1);
  pad_->setOnPointHolderChosen([self](const KeyPath& path) {
    if (auto element = self.lock()) element->contextualPointHolderChosen(path);
  });
  pad_->setAction([self] {
    if (auto element = self.lock()) element->posnControlUsed();
  });
  sliders_.slider(0)->setMaxRange(float(canvas.width()));
  sliders_.slider(1)->setMaxRange(float(canvas.height()));
  box_->setLayoutHandler([this](const QRect& content) { layOut(content); });
  showPoint();
}

void CIPositionElement::layOut(const QRect& content) {
  const double w = content.width(), h = content.height();
  const double padWidth = (w - 2) / 3;
  pad_->setGeometry(QRectF(content.x(), content.y(), padWidth, h).toRect());
  pad_->calculateActiveRect();
  const double s = h / 2 - 2, x = content.x() + padWidth + 2, width = w - padWidth - 2;
  sliders_.slider(1)->setFrame(QRectF(x, content.y() + h - s, width, s));  // y at the bottom
  sliders_.slider(0)->setFrame(QRectF(x, content.y() + h - 2 * s - 2, width, s));  // x above it
}

// --- Values ------------------------------------------------------------------------

QSizeF CIPositionElement::canvasSize() const {
  return QSizeF(canvasWidth_.load(), canvasHeight_.load());
}

QPointF CIPositionElement::pointValue() const {
  const QSizeF canvas = canvasSize();
  return QPointF(canvas.width() * x_.load(), canvas.height() * (1 - y_.load()));
}

QVector2D CIPositionElement::returnCIVector() const {
  const QSizeF canvas = canvasSize();
  return QVector2D(float(canvas.width() * x_.load()), float(canvas.height() * y_.load()));
}

QVector2D CIPositionElement::returnFlippedCIVector() const {
  const QPointF point = pointValue();
  return QVector2D(float(point.x()), float(point.y()));
}

std::optional<composition::PortValue> CIPositionElement::value() const {
  const QPointF point = pointValue();
  return composition::PortValue::point(QPointF(point.x(), 1 - point.y()));
}

QVariant CIPositionElement::filterValue() const { return QVariant::fromValue(returnCIVector()); }

void CIPositionElement::setCanvasSize(QSizeF size) {
  if (deleted_.load() || size.width() <= 0 || size.height() <= 0) return;
  canvasWidth_.store(size.width());
  canvasHeight_.store(size.height());
  if (box_ && sliders_.complete()) {
    sliders_.slider(0)->setMaxRange(float(size.width()));
    sliders_.slider(1)->setMaxRange(float(size.height()));
    pad_->setAspectRatio(float(size.width() / size.height()));  // sends the pad's action
  }
  bang();
}

void CIPositionElement::setPointValue(const QPointF& point) {
  if (deleted_.load()) return;
  const QSizeF canvas = canvasSize();
  if (canvas.width() <= 0 || canvas.height() <= 0) return;
  x_.store(std::clamp(float(point.x() / canvas.width()), 0.0f, 1.0f));
  y_.store(std::clamp(float(1 - point.y() / canvas.height()), 0.0f, 1.0f));
  showPoint();
  bang();
}

void CIPositionElement::showPoint() {
  if (!box_ || !sliders_.complete()) return;
  pad_->setXVal(x_.load());
  pad_->setYVal(y_.load());
  sliders_.cell(0)->setValue(x_.load(), false);
  sliders_.cell(1)->setValue(y_.load(), false);
}

void CIPositionElement::syncPad() {
  std::weak_ptr<CIPositionElement> self = weak_from_this();
  MainThread::run([self] {
    auto element = self.lock();
    if (!element || !element->box_ || !element->pad_) return;
    element->pad_->setXVal(element->x_.load());
    element->pad_->setYVal(element->y_.load());
  });
}

void CIPositionElement::sliderUsed(int index, QKSliderCell& sender) {
  if (!sliders_.complete()) return;
  (index == 0 ? x_ : y_).store(std::clamp(sender.value(), 0.0f, 1.0f));
  syncPad();
  if (!deleted_.load()) {
    std::weak_ptr<CIPositionElement> self = weak_from_this();
    MainThread::post([self] {
      if (auto element = self.lock()) element->bang();
    });
  }
  if (!sender.syncFlag()) paramSnapUpdated();
}

void CIPositionElement::posnControlUsed() {
  if (!pad_ || !sliders_.complete()) return;
  x_.store(pad_->xVal());
  y_.store(pad_->yVal());
  sliders_.cell(0)->setValue(x_.load(), false);
  sliders_.cell(1)->setValue(y_.load(), false);
  bang();
}

void CIPositionElement::bang() {
  if (!deleted_.load()) callbacks_.fireAction();
}

void CIPositionElement::paramSnapUpdated() {
  if (!deleted_.load()) callbacks_.fireNotice();
}

void CIPositionElement::contextualPointHolderChosen(const KeyPath& path) {
  if (!deleted_.load() && sliders_.complete()) sliders_.bindTo(path, kHolderComponents);
}

// --- Title, key, snapshots --------------------------------------------------------------

QVariantMap CIPositionElement::createSnapshot() const {
  QVariantMap snapshot;
  addTitleAndKey(snapshot);
  sliders_.addSnapshots(snapshot, kSnapshotKeys);
  return snapshot;
}

void CIPositionElement::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_.load() || !box_) return;
  sliders_.loadSnapshots(snapshot, kSnapshotKeys);
  loadTitle(snapshot);
  x_.store(std::clamp(sliders_.value(0), 0.0f, 1.0f));
  y_.store(std::clamp(sliders_.value(1), 0.0f, 1.0f));
  showPoint();
  bang();
}

void CIPositionElement::prepareToBeDeleted() {
  deleted_.store(true);
  callbacks_.clear();
  if (box_) sliders_.prepareToBeDeleted();
}
