#include "framework/params/QCButtonElement.h"

#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"

std::shared_ptr<QCButtonElement> QCButtonElement::create(
    const QCElementFactories::Request& request) {
  QKButton* button =
      QKButton::createWithFrame(rowFrame(Row::Button, request.panelWidth), request.parent);
  button->setTitle(request.key);
  button->setTitle2(request.key);
  button->setKey(request.key);
  button->setTriggerMode(1);
  button->setButtonType(1);
  button->setIntValue(request.description.value(QStringLiteral("defaultVal")).toInt(), false);
  std::shared_ptr<QCButtonElement> element(new QCButtonElement(button, request.key));
  element->wire();
  return element;
}

std::shared_ptr<QCButtonElement> QCButtonElement::adopt(
    QWidget* found, const QCElementFactories::Request& request) {
  auto* button = qobject_cast<QKButton*>(found);
  if (!button) return nullptr;
  button->setKey(request.key);
  button->setIntValue(request.description.value(QStringLiteral("defaultVal")).toInt(), false);
  std::shared_ptr<QCButtonElement> element(new QCButtonElement(button, request.key));
  element->wire();
  return element;
}

QCButtonElement::QCButtonElement(QKButton* button, QString key)
    : button_(button), cell_(button->cell()), key_(std::move(key)) {}

QCButtonElement::~QCButtonElement() {
  if (cell_ && cell_->delegate() == this) cell_->setDelegate(nullptr);
}

void QCButtonElement::wire() {
  button_->setDelegate(this);
  button_->setTarget(weak_from_this());
  std::weak_ptr<QCButtonElement> self = weak_from_this();
  button_->setAction([self](QKButtonCell&) {
    if (auto element = self.lock()) element->fire(false);
  });
}

void QCButtonElement::fire(bool snapshotNotice) const {
  if (snapshotNotice)
    callbacks_.fireNotice();
  else
    callbacks_.fireAction();
}

QWidget* QCButtonElement::view() const { return button_.data(); }

void QCButtonElement::setFrame(const QRectF& frame) {
  if (button_) button_->setFrame(frame);
}

std::optional<composition::PortValue> QCButtonElement::value() const {
  if (!cell_) return std::nullopt;
  return composition::PortValue::boolean(cell_->intValue() == 1);
}

void QCButtonElement::setAction(Callback action) { callbacks_.setAction(std::move(action)); }

void QCButtonElement::setSnapshotNotice(Callback notice) {
  callbacks_.setSnapshotNotice(std::move(notice));
}

QVariantMap QCButtonElement::createSnapshot() const {
  return button_ ? button_->createSnapshot() : QVariantMap();
}

void QCButtonElement::loadSnapshot(const QVariantMap& snapshot) {
  if (button_) button_->loadSnapshot(snapshot);
}

QString QCButtonElement::legacyName() const { return button_ ? button_->title() : QString(); }

void QCButtonElement::prepareToBeDeleted() {
  callbacks_.clear();
  if (cell_ && cell_->delegate() == this) cell_->setDelegate(nullptr);
  if (button_) button_->prepareToBeDeleted();
}
QKButton* QCButtonElement::button() const { return button_.data(); }
