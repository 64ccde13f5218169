#include "framework/params/CIStringElement.h"

#include "framework/params/QKElementBox.h"

std::shared_ptr<CIStringElement> CIStringElement::create(
    const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::String, request.panelWidth), request.parent);
  element->setTitle(request.key);
  element->setKey(request.key);
  const auto text = request.description.constFind(QStringLiteral("defaultVal"));
  if (text != request.description.constEnd()) element->setStringValue(text->toString());
  return element;
}

std::shared_ptr<CIStringElement> CIStringElement::create(const QRectF& frame, QWidget* parent) {
  std::shared_ptr<CIStringElement> element(new CIStringElement(frame, parent));
  element->wire();
  return element;
}

CIStringElement::CIStringElement(const QRectF& frame, QWidget* parent)
    : field_(new QLineEdit(parent)) {
  field_->setGeometry(frame.toRect());
  field_->setFont(QKElementBox::titleFont());
}

void CIStringElement::wire() {
  std::weak_ptr<CIStringElement> self = weak_from_this();
  QObject::connect(field_, &QLineEdit::editingFinished, field_, [self] {
    if (auto element = self.lock()) element->editingFinished();
  });
}

void CIStringElement::editingFinished() {
  if (!field_) return;
  {
    std::lock_guard lock(mutex_);
    text_ = field_->text();
  }
  callbacks_.fireAction();
}

void CIStringElement::setStringValue(const QString& text) {
  {
    std::lock_guard lock(mutex_);
    text_ = text;
  }
  if (field_) field_->setText(text);
}

QString CIStringElement::stringValue() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void CIStringElement::setTitle(const QString& title) {
  std::lock_guard lock(mutex_);
  title_ = title;
}

QString CIStringElement::title() const {
  std::lock_guard lock(mutex_);
  return title_;
}

void CIStringElement::setKey(const QString& key) {
  std::lock_guard lock(mutex_);
  key_ = key;
}

QString CIStringElement::key() const {
  std::lock_guard lock(mutex_);
  return key_;
}

std::optional<composition::PortValue> CIStringElement::value() const {
  return composition::PortValue::string(stringValue());
}

QVariantMap CIStringElement::createSnapshot() const {
  std::lock_guard lock(mutex_);
  QVariantMap snapshot{{QStringLiteral("stringValue"), text_}};
  if (!title_.isEmpty()) snapshot.insert(QStringLiteral("title"), title_);
  if (!key_.isEmpty()) snapshot.insert(QStringLiteral("key"), key_);
  return snapshot;
}

void CIStringElement::loadSnapshot(const QVariantMap& snapshot) {
  const auto text = snapshot.constFind(QStringLiteral("stringValue"));
  if (text != snapshot.constEnd()) setStringValue(text->toString());
  const auto title = snapshot.constFind(QStringLiteral("title"));
  if (title != snapshot.constEnd()) setTitle(title->toString());
  callbacks_.fireAction();
}
