#include "framework/params/CIColorElement.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/QKColorUI.h"
#include "framework/params/QKElementBox.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

const QString CIColorElement::kClickColorNotification =
    QStringLiteral("QKPrevWinClickColorNotification");
const QString CIColorElement::kColorKey = QStringLiteral("color");

namespace {
const QStringList kSliderNames = {QStringLiteral("R Slider"), QStringLiteral("G Slider"),
                                  QStringLiteral("B Slider")};
const QStringList kSnapshotKeys = {QStringLiteral("rSlider"), QStringLiteral("gSlider"),
                                   QStringLiteral("bSlider")};
const QStringList kHolderComponents = {QStringLiteral("R"), QStringLiteral("G"),
                                       QStringLiteral("B")};
}  // namespace

std::shared_ptr<CIColorElement> CIColorElement::create(const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::Color, request.panelWidth), request.parent);
  element->setTitleAndKey(request.key);
  const QVariant fallback = request.description.value(QStringLiteral("defaultVal"));
  if (fallback.typeId() == QMetaType::QColor) {
    element->setColorFromCIColor(fallback.value<QColor>());
  } else if (fallback.typeId() == QMetaType::QVariantMap) {
    const QVariantMap rgb = fallback.toMap();
    element->setColorWithRed(rgb.value(QStringLiteral("red")).toFloat(),
                             rgb.value(QStringLiteral("green")).toFloat(),
                             rgb.value(QStringLiteral("blue")).toFloat());
  }
  return element;
}

std::shared_ptr<CIColorElement> CIColorElement::create(const QRectF& frame, QWidget* parent) {
  std::shared_ptr<CIColorElement> element(new CIColorElement(frame, parent));
  element->awakeFromNib();
  return element;
}

CIColorElement::CIColorElement(const QRectF& frame, QWidget* parent)
    : QCBoxedElement(frame, parent) {}

CIColorElement::~CIColorElement() {
  if (!deleted_.load()) prepareToBeDeleted();
}

void CIColorElement::awakeFromNib() {
  std::weak_ptr<CIColorElement> self = weak_from_this();
  sliders_.make(
      box_, kSliderNames, self,
      [self](int index, QKSliderCell& sender) {
        if (auto element = self.lock()) element->sliderUsed(index, sender);
      },
      [self] {
        if (auto element = self.lock()) element->paramSnapUpdated();
      });
  colorView_ = new QKColorUI(box_);
  colorView_->setOnColorHolderChosen([self](const KeyPath& path) {
    if (auto element = self.lock()) element->contextualColorHolderChosen(path);
  });
  sampleButton_ = new QKButton(box_);
  sampleButton_->setButtonType(1);
  sampleButton_->setTitle(QStringLiteral("Sample"));
  sampleButton_->setTitle2(QStringLiteral("Sampling..."));
  sampleButton_->setTriggerOnMain(true);
  sampleButton_->setTarget(self);
  sampleButton_->setAction([self](QKButtonCell&) {
    if (auto element = self.lock()) element->sampleButtonUsed();
  });
  sampleCell_ = sampleButton_->cell();
  box_->setLayoutHandler([this](const QRect& content) { layOut(content); });
}

void CIColorElement::layOut(const QRect& content) {
  const double w = content.width() - 1, h = content.height() - 2;
  const double x0 = content.x(), y0 = content.y(), fullHeight = content.height();
  const double swatchWidth = 0.25 * w - 2, swatchHeight = 0.666 * fullHeight;
  const double swatchX = w - swatchWidth;
  colorView_->setGeometry(
      QRectF(x0 + swatchX, y0 + fullHeight - 2 - swatchHeight, swatchWidth, swatchHeight).toRect());
  const double buttonBottom = swatchHeight + 4, buttonHeight = std::max(0.0, h - buttonBottom);
  sampleButton_->setFrame(QRectF(x0 + swatchX, y0 + fullHeight - buttonBottom - buttonHeight,
                                 w - swatchX, buttonHeight));
  const double s = (h + 4) / 3 - 2;
  for (int index = 0; index < 3; ++index) {
    const double bottom = (2 - index) * (s + 2);  // blue lowest, red on top
    if (QKSliderControl* slider = sliders_.slider(index))
      slider->setFrame(QRectF(x0, y0 + fullHeight - bottom - s, 0.75 * w, s));
  }
}

// --- Values ------------------------------------------------------------------------

void CIColorElement::setColorWithRed(float red, float green, float blue) {
  if (!sliders_.complete()) return;
  const float components[] = {red, green, blue};
  for (int index = 0; index < 3; ++index) sliders_.cell(index)->setValue(components[index], false);
  if (colorView_ && box_) colorView_->setColorWithRed(red, green, blue);
}

void CIColorElement::setColorFromCIColor(const QColor& colour) {
  if (!colour.isValid()) return;
  setColorWithRed(float(colour.redF()), float(colour.greenF()), float(colour.blueF()));
}

QColor CIColorElement::returnCIColor() const {
  if (!sliders_.complete()) return QColor::fromRgbF(0, 0, 0, 1);
  return QColor::fromRgbF(sliders_.value(0), sliders_.value(1), sliders_.value(2), 1);
}

std::optional<composition::PortValue> CIColorElement::value() const {
  return composition::PortValue::color(returnCIColor());
}

void CIColorElement::sliderUsed(int, QKSliderCell& sender) {
  if (!sliders_.complete()) return;
  const QColor colour = returnCIColor();
  std::weak_ptr<CIColorElement> self = weak_from_this();
  // The swatch is a widget: it follows on the main thread.
  MainThread::run([self, colour] {
    auto element = self.lock();
    if (element && element->colorView_ && element->box_) element->colorView_->setFillColor(colour);
  });
  if (!deleted_.load())
    MainThread::post([self] {
      if (auto element = self.lock()) element->pushColorToTarget();
    });
  if (!sender.syncFlag()) paramSnapUpdated();
}

void CIColorElement::pushColorToTarget() {
  if (!deleted_.load()) callbacks_.fireAction();
}

void CIColorElement::paramSnapUpdated() {
  if (!deleted_.load()) callbacks_.fireNotice();
}

// --- Sampling and binding ------------------------------------------------------------

bool CIColorElement::sampling() const { return sampleCell_ && sampleCell_->intValue() == 1; }

void CIColorElement::sampleButtonUsed() {
  if (deleted_.load()) return;
  sampling_.clear();
  if (!sampling()) return;
  std::weak_ptr<CIColorElement> self = weak_from_this();
  sampling_.observe(kClickColorNotification, nullptr, [self](const Notification& notification) {
    const QVariantMap userInfo = notification.userInfo;
    MainThread::run([self, userInfo] {
      if (auto element = self.lock())
        element->clickedOnAColorNotification(
            Notification{kClickColorNotification, nullptr, userInfo});
    });
  });
}

void CIColorElement::clickedOnAColorNotification(const Notification& notification) {
  const auto colour = notification.userInfo.constFind(kColorKey);
  if (colour == notification.userInfo.constEnd() || colour->isNull()) {
    Log::line("\t\terr: no color passed in notification");
    return;
  }
  if (colour->typeId() != QMetaType::QColor || !colour->value<QColor>().isValid()) {
    Log::line("\t\terr: color doesn't respond as expected");
    return;
  }
  setColorFromCIColor(colour->value<QColor>());
  if (deleted_.load()) return;
  std::weak_ptr<CIColorElement> self = weak_from_this();
  MainThread::post([self] {
    if (auto element = self.lock()) element->pushColorToTarget();
  });
}

void CIColorElement::contextualColorHolderChosen(const KeyPath& path) {
  if (!deleted_.load() && sliders_.complete()) sliders_.bindTo(path, kHolderComponents);
}

// --- Title, key, snapshots --------------------------------------------------------------

QVariantMap CIColorElement::createSnapshot() const {
  QVariantMap snapshot;
  addTitleAndKey(snapshot);
  sliders_.addSnapshots(snapshot, kSnapshotKeys);
  if (sampleCell_) {
    const QVariantMap button = sampleCell_->createSnapshot();
    if (!button.isEmpty()) snapshot.insert(QStringLiteral("sampleButton"), button);
  }
  return snapshot;
}

void CIColorElement::loadSnapshot(const QVariantMap& snapshot) {
  if (deleted_.load() || !box_) return;
  sliders_.loadSnapshots(snapshot, kSnapshotKeys);
  const auto button = snapshot.constFind(QStringLiteral("sampleButton"));
  if (button != snapshot.constEnd() && sampleButton_) sampleButton_->loadSnapshot(button->toMap());
  loadTitle(snapshot);
  if (colorView_) colorView_->setFillColor(returnCIColor());
}

void CIColorElement::prepareToBeDeleted() {
  deleted_.store(true);
  callbacks_.clear();
  sampling_.clear();
  if (box_) {
    sliders_.prepareToBeDeleted();
    if (sampleButton_) sampleButton_->prepareToBeDeleted();
  }
}
