#include "framework/params/QCBoxedElement.h"

#include "framework/toolkit/QKNSPopUpButton.h"

#include <algorithm>

QCBoxedElement::QCBoxedElement(const QRectF& frame, QWidget* parent)
    : box_(new QKElementBox(parent)) {
  box_->setGeometry(frame.toRect());
}

QCBoxedElement::~QCBoxedElement() {
  // The box may outlive the element until its deferred deletion.
  if (box_) box_->setLayoutHandler(nullptr);
}

QString QCBoxedElement::key() const {
  std::lock_guard lock(keyMutex_);
  return key_;
}

void QCBoxedElement::setKey(const QString& key) {
  std::lock_guard lock(keyMutex_);
  key_ = key;
}

void QCBoxedElement::setTitle(const QString& title) {
  if (box_) box_->setTitle(title);
}

void QCBoxedElement::setTitleAndKey(const QString& key) {
  setTitle(key);
  setKey(key);
}

QString QCBoxedElement::title() const { return box_ ? box_->title() : QString(); }

void QCBoxedElement::addTitleAndKey(QVariantMap& snapshot) const {
  snapshot.insert(QStringLiteral("title"), title());
  const QString ownKey = key();
  if (!ownKey.isEmpty()) snapshot.insert(QStringLiteral("key"), ownKey);
}

void QCBoxedElement::loadTitle(const QVariantMap& snapshot) {
  const auto title = snapshot.constFind(QStringLiteral("title"));
  if (title != snapshot.constEnd()) setTitle(title->toString());
}

QKNSPopUpButton* QCBoxedElement::addPopUpButton() {
  constexpr int kButtonHeight = 15;
  auto* button = new QKNSPopUpButton(box_);
  button->setFont(QKElementBox::titleFont());
  box_->setLayoutHandler([button](const QRect& content) {
    const int y = content.y() + std::max(0, (content.height() - kButtonHeight) / 2);
    button->setGeometry(content.x(), y, std::max(0, content.width() - 10), kButtonHeight);
  });
  return button;
}
