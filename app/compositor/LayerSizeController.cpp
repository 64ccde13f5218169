#include "app/compositor/LayerSizeController.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"

#include <QWidget>

#include <cmath>
#include <thread>

namespace {

constexpr int kButtonType = 1;  // toggle

bool finite(const QRectF& r) {
  return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
         std::isfinite(r.height());
}

}  // namespace

// --- Arithmetic -----------------------------------------------------------------------------

QRectF LayerSizeController::calculateCanvasActiveRect(const Inputs& in, const QRectF& previous) {
  const float cw = float(in.canvasSize.width()), ch = float(in.canvasSize.height());
  const float lw = float(in.layerSize.width()), lh = float(in.layerSize.height());
  QRectF rect = previous;
  float w = float(previous.width()), h = float(previous.height());
  bool sized = true;
  switch (in.sizeMode) {
    case Fit:
    case Fill: {
      if (ch == 0 || lh == 0) return previous;  // no aspect ratio
      const float ca = cw / ch, la = lw / lh;
      const bool matchHeight = in.sizeMode == Fit ? ca >= la : ca < la;
      if (matchHeight) {
        w = ch * la;
        h = ch;
      } else {
        if (la == 0) return previous;
        w = cw;
        h = cw / la;
      }
      break;
    }
    case Stretch:
      w = cw;
      h = ch;
      break;
    case OneToOne:
      w = lw;
      h = lh;
      break;
    default:
      sized = false;
  }
  if (sized) {
    w *= in.xScale;
    h *= in.yScale;
  }
  rect.setWidth(w);
  rect.setHeight(h);
  const double x = in.xPos, y = in.yPos;
  switch (in.posMode) {
    case Offscreen:
      rect.moveTo(float((x + 1) * 0.5 * (double(w) + cw) - w),
                  float((y + 1) * 0.5 * (double(h) + ch) - h));
      break;
    case Centered:
      rect.moveTo(float((x + 1) * 0.5 * cw - 0.5 * w), float((y + 1) * 0.5 * ch - 0.5 * h));
      break;
    case Onscreen:
      rect.moveTo(float((x + 1) * 0.5 * (double(cw) - w)), float((y + 1) * 0.5 * (double(ch) - h)));
      break;
    default:
      break;
  }
  return finite(rect) ? rect : previous;
}

QRectF LayerSizeController::calculateWindowActiveRect(const Inputs& in, const QRectF& canvasRect,
                                                      const QRectF& previous) {
  const float dw = float(in.displaySize.width()), dh = float(in.displaySize.height());
  const float cw = float(in.canvasSize.width()), ch = float(in.canvasSize.height());
  if (cw == 0 || ch == 0) return previous;
  QRectF placement = previous;  // an unknown mode keeps it
  switch (in.canvasPresentationMode) {
    case 0:
    case 1: {
      if (dh == 0) return previous;
      const float da = dw / dh, ca = cw / ch;
      const bool matchHeight = in.canvasPresentationMode == 0 ? da >= ca : da < ca;
      if (matchHeight) {
        placement = QRectF(0, 0, dh * ca, dh);
        placement.moveLeft((dw - float(placement.width())) / 2);
      } else {
        placement = QRectF(0, 0, dw, dw / ca);
        placement.moveTop((dh - float(placement.height())) / 2);
      }
      break;
    }
    case 2:
      placement = QRectF(0, 0, dw, dh);
      break;
    case 3:
      placement = QRectF((dw - cw) * 0.5f, (dh - ch) * 0.5f, cw, ch);
      break;
    default:
      break;
  }
  const float sx = float(placement.width()) / cw, sy = float(placement.height()) / ch;
  QRectF rect(sx * float(canvasRect.x()) + float(placement.x()),
              sy * float(canvasRect.y()) + float(placement.y()), sx * float(canvasRect.width()),
              sy * float(canvasRect.height()));
  if (in.canvasPresentationMode == 3) rect.moveTo(std::trunc(rect.x()), std::trunc(rect.y()));
  return finite(rect) ? rect : previous;
}

// --- Life ---------------------------------------------------------------------------------------

LayerSizeController::LayerSizeController(Publish publish)
    : publish_(std::move(publish)), link_(std::make_shared<CutLink<LayerSizeController>>(this)) {
  buildView();
  // Waking: fit on with output computes and publishes once.
  sizeButtons_[Fit]->setIntValue(1, true);
  posButtons_[Offscreen]->setIntValue(1, false);
}

LayerSizeController::~LayerSizeController() {
  prepareToBeDeleted();
  link_->cut();
  delete view_.data();
}

void LayerSizeController::buildView() {
  auto* view = new QWidget;
  view->setObjectName(QStringLiteral("Layer"));
  view->resize(300, 150);
  view_ = view;
  xPos_ = makeSlider(QStringLiteral("X Position"), kPositionMin, kPositionMax, 0, 0);
  yPos_ = makeSlider(QStringLiteral("Y Position"), kPositionMin, kPositionMax, 0, 1);
  xScale_ = makeSlider(QStringLiteral("X Scale"), kScaleMin, kScaleMax, 1, 2);
  yScale_ = makeSlider(QStringLiteral("Y Scale"), kScaleMin, kScaleMax, 1, 3);
  for (QKSliderControl* slider : {xPos_, yPos_}) slider->addInterestingPoint(0.5f);
  for (QKSliderControl* slider : {xScale_, yScale_}) {
    slider->addInterestingPoint(0.25f);
    slider->addInterestingPoint(0.125f);
  }
  const char* sizeTitles[] = {"Fit", "Fill", "Stretch", "1:1"};
  for (int i = 0; i < 4; ++i)
    sizeButtons_[i] =
        makeButton(QString::fromLatin1(sizeTitles[i]), QRectF(4 + i * 58, 104, 54, 18));
  const char* posTitles[] = {"Offscreen", "Centered", "Onscreen"};
  for (int i = 0; i < 3; ++i)
    posButtons_[i] = makeButton(QString::fromLatin1(posTitles[i]), QRectF(4 + i * 78, 126, 74, 18));
}

QKSliderControl* LayerSizeController::makeSlider(const QString& name, float min, float max,
                                                 float value, int row) {
  QKSliderControl* slider =
      QKSliderControl::createWithFrame(QRectF(4, 4 + row * 24, 280, 18), view_);
  slider->setMinRange(min);
  slider->setMaxRange(max);
  slider->setSliderName(name);
  slider->setValueWithRangedValue(value, false);
  slider->setTarget(std::weak_ptr<void>(link_));
  slider->setAction([link = link_](QKSliderCell& sender) {
    link->call([&](LayerSizeController& c) { c.sliderUsed(sender); });
  });
  return slider;
}

QKButton* LayerSizeController::makeButton(const QString& title, QRectF frame) {
  QKButton* button = QKButton::createWithFrame(frame, view_);
  button->setButtonType(kButtonType);
  button->setTitle(title);
  button->setTitle2(title);
  button->setTarget(std::weak_ptr<const void>(link_));
  button->setAction([link = link_](QKButtonCell& sender) {
    link->call([&](LayerSizeController& c) { c.buttonUsed(&sender); });
  });
  button->awakeFromNib();
  return button;
}

QKButton* LayerSizeController::sizeButton(int mode) const {
  return mode >= 0 && mode < 4 ? sizeButtons_[mode] : nullptr;
}

QKButton* LayerSizeController::posButton(int mode) const {
  return mode >= 0 && mode < 3 ? posButtons_[mode] : nullptr;
}

void LayerSizeController::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  for (QKSliderControl* slider : {xPos_, yPos_, xScale_, yScale_}) slider->prepareToBeDeleted();
  for (QKButton* button : sizeButtons_) button->prepareToBeDeleted();
  for (QKButton* button : posButtons_) button->prepareToBeDeleted();
}

// --- Actions ------------------------------------------------------------------------------------

void LayerSizeController::lock() {
  while (!controlLock_.try_lock()) std::this_thread::yield();
}

void LayerSizeController::sliderUsed(QKSliderCell& sender) {
  if (deleted_.load()) return;
  lock();
  const float value = sender.rangedValue();
  if (&sender == xPos_->cell())
    in_.xPos = value;
  else if (&sender == yPos_->cell())
    in_.yPos = value;
  else if (&sender == xScale_->cell())
    in_.xScale = value;
  else if (&sender == yScale_->cell())
    in_.yScale = value;
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::radio(QKButton* const* group, int count, QKButtonCell& sender,
                                int* mode) {
  int index = -1;
  for (int i = 0; i < count; ++i)
    if (group[i]->cell().get() == &sender) index = i;
  if (index < 0) return;
  if (sender.intValue() == 1) {
    for (int i = 0; i < count; ++i)
      if (i != index) group[i]->setIntValue(0, false);
    *mode = index;
  } else {
    group[index]->setIntValue(1, false);  // the one that was on stays on
  }
}

void LayerSizeController::buttonUsed(QKButtonCell* sender) {
  if (deleted_.load()) return;
  lock();
  if (sender) {
    radio(sizeButtons_, 4, *sender, &in_.sizeMode);
    radio(posButtons_, 3, *sender, &in_.posMode);
    sizeMode_.store(in_.sizeMode);
  }
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::setCanvasSize(QSizeF size) {
  lock();
  in_.canvasSize = size;
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::setLayerSize(QSizeF size) {
  lock();
  in_.layerSize = size;
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::setDisplaySize(QSizeF size) {
  lock();
  in_.displaySize = size;
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::setCanvasPresentationMode(long mode) {
  lock();
  in_.canvasPresentationMode = mode;
  calculateActiveRect();
  unlock();
  publish();
}

void LayerSizeController::calculateActiveRect() {
  if (deleted_.load()) return;
  rects_.canvas = calculateCanvasActiveRect(in_, rects_.canvas);
  rects_.window = calculateWindowActiveRect(in_, rects_.canvas, rects_.window);
}

void LayerSizeController::publish() {
  if (!publish_) return;
  const Rects rects = this->rects();
  publish_(rects.canvas, rects.window);
}

int LayerSizeController::layerPosMode() const {
  std::lock_guard<std::mutex> lock(controlLock_);
  return in_.posMode;
}

LayerSizeController::Inputs LayerSizeController::inputs() const {
  std::lock_guard<std::mutex> lock(controlLock_);
  return in_;
}

LayerSizeController::Rects LayerSizeController::rects() const {
  std::lock_guard<std::mutex> lock(controlLock_);
  return rects_;
}

// --- Snapshot -----------------------------------------------------------------------------------

QVariantMap LayerSizeController::createSnapshot() const {
  QVariantMap snapshot;
  const std::pair<const char*, QKSliderControl*> sliders[] = {
      {"xPos", xPos_}, {"yPos", yPos_}, {"xScale", xScale_}, {"yScale", yScale_}};
  for (const auto& [key, slider] : sliders) {
    const QVariantMap own = slider->createSnapshot();
    if (!own.isEmpty()) snapshot.insert(QString::fromLatin1(key), own);
  }
  const Inputs in = inputs();
  snapshot.insert(QStringLiteral("layerSizeMode"), in.sizeMode);
  snapshot.insert(QStringLiteral("layerPosMode"), in.posMode);
  return snapshot;
}

void LayerSizeController::loadSnapshot(const QVariantMap& snapshot) {
  const std::pair<const char*, QKSliderControl*> sliders[] = {
      {"xPos", xPos_}, {"yPos", yPos_}, {"xScale", xScale_}, {"yScale", yScale_}};
  for (const auto& [key, slider] : sliders) {
    const QVariant own = snapshot.value(QString::fromLatin1(key));
    if (own.typeId() == QMetaType::QVariantMap) slider->loadSnapshot(own.toMap());
  }
  lock();
  const auto restoreMode = [&](const char* key, QKButton* const* group, int count, int* mode) {
    const QVariant value = snapshot.value(QString::fromLatin1(key));
    bool ok = false;
    const int stored = value.toInt(&ok);
    if (!value.isValid() || !ok) return;
    *mode = stored;
    if (stored < 0 || stored >= count) return;
    for (int i = 0; i < count; ++i) group[i]->setIntValue(i == stored ? 1 : 0, false);
  };
  restoreMode("layerSizeMode", sizeButtons_, 4, &in_.sizeMode);
  restoreMode("layerPosMode", posButtons_, 3, &in_.posMode);
  sizeMode_.store(in_.sizeMode);
  // The sliders' own values, whether or not they reported.
  in_.xPos = xPos_->rangedValue();
  in_.yPos = yPos_->rangedValue();
  in_.xScale = xScale_->rangedValue();
  in_.yScale = yScale_->rangedValue();
  calculateActiveRect();
  unlock();
  publish();
}
