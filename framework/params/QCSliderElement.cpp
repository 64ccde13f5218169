#include "framework/params/QCSliderElement.h"

#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/QKSliderControl.h"

// Every slider notice is worth a snapshot.
class QCSliderElement::Notices : public QKSliderCellDelegate {
 public:
  explicit Notices(std::weak_ptr<QCSliderElement> element) : element_(std::move(element)) {}
  void QKSliderInterestingPointsChanged(QKSliderCell&) override { tell(); }
  void QKSliderMinEnvChanged(QKSliderCell&) override { tell(); }
  void QKSliderMaxEnvChanged(QKSliderCell&) override { tell(); }
  void QKSliderSyncFlagChanged(QKSliderCell&) override { tell(); }
  void QKSliderBehavFlagChanged(QKSliderCell&) override { tell(); }
  void QKSliderUIStateChanged(QKSliderCell&) override { tell(); }

 private:
  void tell() const {
    if (auto element = element_.lock()) element->fire(true);
  }
  std::weak_ptr<QCSliderElement> element_;
};

namespace {

// Range and starting value from the input's description, without output.
void setUp(QKSliderControl& slider, const QVariantMap& description) {
  if (description.contains(QStringLiteral("inputMin")))
    slider.setMinRange(description.value(QStringLiteral("inputMin")).toFloat());
  if (description.contains(QStringLiteral("inputMax")))
    slider.setMaxRange(description.value(QStringLiteral("inputMax")).toFloat());
  slider.setValueWithRangedValue(description.value(QStringLiteral("defaultVal")).toFloat(), false);
}

}  // namespace

std::shared_ptr<QCSliderElement> QCSliderElement::create(const QCElementFactories::Request& request,
                                                         bool logarithmic) {
  const QRectF frame = rowFrame(Row::Slider, request.panelWidth);
  QKSliderControl* slider = logarithmic ? QKLogSliderControl::createWithFrame(frame, request.parent)
                                        : QKSliderControl::createWithFrame(frame, request.parent);
  slider->setSliderName(request.key);
  slider->setKey(request.key);
  setUp(*slider, request.description);
  std::shared_ptr<QCSliderElement> element(new QCSliderElement(slider, request.key));
  element->wire();
  return element;
}

std::shared_ptr<QCSliderElement> QCSliderElement::adopt(
    QWidget* found, const QCElementFactories::Request& request) {
  auto* slider = qobject_cast<QKSliderControl*>(found);
  if (!slider) return nullptr;
  if (slider->sliderName().isEmpty()) slider->setSliderName(request.key);
  slider->setKey(request.key);
  setUp(*slider, request.description);
  std::shared_ptr<QCSliderElement> element(new QCSliderElement(slider, request.key));
  element->wire();
  return element;
}

QCSliderElement::QCSliderElement(QKSliderControl* slider, QString key)
    : slider_(slider), cell_(slider->cellPtr()), key_(std::move(key)) {}

QCSliderElement::~QCSliderElement() = default;

void QCSliderElement::wire() {
  notices_ = std::make_shared<Notices>(weak_from_this());
  slider_->setDelegate(notices_);
  slider_->setTarget(weak_from_this());
  std::weak_ptr<QCSliderElement> self = weak_from_this();
  slider_->setAction([self](QKSliderCell&) {
    if (auto element = self.lock()) element->fire(false);
  });
}

void QCSliderElement::fire(bool snapshotNotice) const {
  if (snapshotNotice)
    callbacks_.fireNotice();
  else
    callbacks_.fireAction();
}

QWidget* QCSliderElement::view() const { return slider_.data(); }

void QCSliderElement::setFrame(const QRectF& frame) {
  if (slider_) slider_->setFrame(frame);
}

std::optional<composition::PortValue> QCSliderElement::value() const {
  if (!cell_) return std::nullopt;
  return composition::PortValue::number(cell_->rangedValue());
}

bool QCSliderElement::snapshotAfterDelivery(bool) const { return !(cell_ && cell_->syncFlag()); }

void QCSliderElement::setAction(Callback action) { callbacks_.setAction(std::move(action)); }

void QCSliderElement::setSnapshotNotice(Callback notice) {
  callbacks_.setSnapshotNotice(std::move(notice));
}

QVariantMap QCSliderElement::createSnapshot() const {
  return slider_ ? slider_->createSnapshot() : QVariantMap();
}

void QCSliderElement::loadSnapshot(const QVariantMap& snapshot) {
  if (slider_) slider_->loadSnapshot(snapshot);
}

QString QCSliderElement::legacyName() const { return slider_ ? slider_->sliderName() : QString(); }

void QCSliderElement::prepareToBeDeleted() {
  callbacks_.clear();
  if (slider_) slider_->prepareToBeDeleted();
}
QKSliderControl* QCSliderElement::slider() const { return slider_.data(); }
