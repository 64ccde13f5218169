#include "framework/params/CIRectangleElement.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/QKElementBox.h"
#include "framework/params/QKRectangleUI.h"
#include "platform/foundation/MainThread.h"

namespace {
const QStringList kSliderNames = {QStringLiteral("left"), QStringLiteral("bottom"),
                                  QStringLiteral("right"), QStringLiteral("top")};
const QStringList kSnapshotKeys = {QStringLiteral("xSlider"), QStringLiteral("ySlider"),
                                   QStringLiteral("widthSlider"), QStringLiteral("heightSlider")};
}  // namespace

std::shared_ptr<CIRectangleElement> CIRectangleElement::create(
    const QCElementFactories::Request& request) {
  auto element =
      create(rowFrame(Row::Rectangle, request.panelWidth), request.parent, QSizeF(320, 240));
  element->setCanvasSize(QSizeF(1, 1));
  element->setTitleAndKey(request.key);
  return element;
}

std::shared_ptr<CIRectangleElement> CIRectangleElement::create(const QRectF& frame, QWidget* parent,
                                                               QSizeF canvas, const QRectF& rect) {
  std::shared_ptr<CIRectangleElement> element(new CIRectangleElement(frame, parent, canvas));
  element->awakeFromNib(rect);
  return element;
}

CIRectangleElement::CIRectangleElement(const QRectF& frame, QWidget* parent, QSizeF canvas)
    : QCBoxedElement(frame, parent), canvasWidth_(canvas.width()), canvasHeight_(canvas.height()) {}

void CIRectangleElement::awakeFromNib(const QRectF& rect) {
  std::weak_ptr<CIRectangleElement> self = weak_from_this();
  sliders_.make(
      box_, kSliderNames, self,
      [self](int edge, QKSliderCell& sender) {
        if (auto element = self.lock()) element->edgeSliderUsed(edge, sender);
      },
      [self] {
        if (auto element = self.lock()) element->paramSnapUpdated();
      });
  const QSizeF canvas = canvasSize();
  pad_ = new QKRectangleUI(box_, canvas.height() > 0 ? float(canvas.width() / canvas.height()) : 1);
  const float edges[] = {float(rect.x()), float(rect.y()), float(rect.x() + rect.width()),
                         float(rect.y() + rect.height())};
  for (int edge = 0; edge < 4; ++edge) {
    QKSliderCell& cell = *sliders_.cell(edge);
    cell.setMinRange(0);
    cell.setMaxRange(float(edge == Left || edge == Right ? canvas.width() : canvas.height()));
    cell.setValue(edges[edge], false);
  }
  sliders_.cell(Left)->setMaxEnv(edges[Right], false);
  sliders_.cell(Bottom)->setMaxEnv(edges[Top], false);
  sliders_.cell(Right)->setMinEnv(edges[Left], false);
  sliders_.cell(Top)->setMinEnv(edges[Bottom], false);
  pad_->setWidth(edges[Right]);
  pad_->setHeight(edges[Top]);
  pad_->setXPos(edges[Left]);
  pad_->setYPos(edges[Bottom]);
  box_->setLayoutHandler([this](const QRect& content) { layOut(content); });
}

void CIRectangleElement::layOut(const QRect& content) {
  const double w = content.width(), h = content.height();
  const double padWidth = (w - 2) / 3;
  pad_->setGeometry(QRectF(content.x(), content.y(), padWidth, h).toRect());
  pad_->calculateActiveRect();
  const double s = h / 4 - 2, x = content.x() + padWidth + 2, width = w - padWidth - 2;
  // From the bottom: top, right, bottom, left.
  const int order[] = {Top, Right, Bottom, Left};
  for (int place = 0; place < 4; ++place)
    sliders_.slider(order[place])
        ->setFrame(QRectF(x, content.y() + h - place * (s + 2) - s, width, s));
}

// --- Values ------------------------------------------------------------------------

QSizeF CIRectangleElement::canvasSize() const {
  return QSizeF(canvasWidth_.load(), canvasHeight_.load());
}

QRectF CIRectangleElement::outputRect() const {
  const QSizeF canvas = canvasSize();
  const double x = canvas.width() * edge(Left);
  const double bottom = canvas.height() * edge(Bottom);
  const double width = canvas.width() * edge(Right) - x;
  const double height = canvas.height() * edge(Top) - bottom;
  return QRectF(x, canvas.height() - (height + bottom), width, height);
}

QRectF CIRectangleElement::returnSizedRect() const {
  const double left = sliders_.rangedValue(Left), bottom = sliders_.rangedValue(Bottom);
  return QRectF(left, bottom, sliders_.rangedValue(Right) - left,
                sliders_.rangedValue(Top) - bottom);
}

QVector4D CIRectangleElement::returnCIVector() const {
  const QRectF rect = outputRect();
  return QVector4D(float(rect.x()), float(rect.y()), float(rect.width()), float(rect.height()));
}

std::optional<composition::PortValue> CIRectangleElement::value() const {
  return composition::PortValue::rect(returnSizedRect());
}

QVariant CIRectangleElement::filterValue() const {
  const QRectF rect = returnSizedRect();
  return QVariant::fromValue(
      QVector4D(float(rect.x()), float(rect.y()), float(rect.width()), float(rect.height())));
}

void CIRectangleElement::setCanvasSize(QSizeF size) {
  if (deleted_.load() || size.width() <= 0 || size.height() <= 0) return;
  canvasWidth_.store(size.width());
  canvasHeight_.store(size.height());
  if (box_ && sliders_.complete()) {
    for (int edge = 0; edge < 4; ++edge)
      sliders_.cell(edge)->setMaxRange(
          float(edge == Left || edge == Right ? size.width() : size.height()));
    pad_->setAspectRatio(float(size.width() / size.height()));
  }
  bang();
}

void CIRectangleElement::setStateFromRect(const QRectF& rect) {
  if (!sliders_.complete()) return;
  sliders_.cell(Left)->setValueWithRangedValue(float(rect.x()));
  sliders_.cell(Bottom)->setValueWithRangedValue(float(rect.y()));
  sliders_.cell(Right)->setValueWithRangedValue(float(rect.x() + rect.width()));
  sliders_.cell(Top)->setValueWithRangedValue(float(rect.y() + rect.height()));
}

void CIRectangleElement::edgeSliderUsed(int edge, QKSliderCell& sender) {
  if (!sliders_.complete()) return;
  const float value = sender.value();
  switch (edge) {
    case Left:
      sliders_.cell(Right)->setMinEnv(value, false);
      break;
    case Bottom:
      sliders_.cell(Top)->setMinEnv(value, false);
      break;
    case Right:
      sliders_.cell(Left)->setMaxEnv(value, false);
      break;
    case Top:
      sliders_.cell(Bottom)->setMaxEnv(value, false);
      break;
    default:
      return;
  }
  syncPad();
  if (deleted_.load()) return;
  std::weak_ptr<CIRectangleElement> self = weak_from_this();
  MainThread::post([self] {
    if (auto element = self.lock()) element->bang();
  });
  if (!sender.syncFlag()) paramSnapUpdated();
}

void CIRectangleElement::syncPad() {
  std::weak_ptr<CIRectangleElement> self = weak_from_this();
  MainThread::run([self] {
    auto element = self.lock();
    if (!element || !element->box_ || !element->pad_) return;
    QKRectangleUI& pad = *element->pad_;
    // Outer edges first, so that the pad's own limits never hold a new
    // pair of edges back.
    pad.setWidth(1);
    pad.setHeight(1);
    pad.setXPos(element->edge(Left));
    pad.setYPos(element->edge(Bottom));
    pad.setWidth(element->edge(Right));
    pad.setHeight(element->edge(Top));
  });
}

void CIRectangleElement::bang() {
  if (!deleted_.load()) callbacks_.fireAction();
}

void CIRectangleElement::paramSnapUpdated() {
  if (!deleted_.load()) callbacks_.fireNotice();
}

// --- Title, key, snapshots --------------------------------------------------------------

QVariantMap CIRectangleElement::createSnapshot() const {
  QVariantMap snapshot;
  sliders_.addSnapshots(snapshot, kSnapshotKeys);
  addTitleAndKey(snapshot);
  return snapshot;
}

void CIRectangleElement::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_.load() || !box_) return;
  sliders_.loadSnapshots(snapshot, kSnapshotKeys);
  loadTitle(snapshot);
  syncPad();
  bang();
}

void CIRectangleElement::prepareToBeDeleted() {
  deleted_.store(true);
  callbacks_.clear();
  if (box_) sliders_.prepareToBeDeleted();
}
