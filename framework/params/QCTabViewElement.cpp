#include "framework/params/QCTabViewElement.h"

#include "framework/controls/QKNSTabView.h"

std::shared_ptr<QCTabViewElement> QCTabViewElement::adopt(QWidget* found, const QString& key,
                                                          bool bound) {
  auto* tabView = qobject_cast<QKNSTabView*>(found);
  if (!tabView) return nullptr;
  if (!key.isEmpty()) tabView->setKey(key);
  if (tabView->buttonArray().empty() && tabView->count() > 0) tabView->createButtonsForTabs();
  std::shared_ptr<QCTabViewElement> element(
      new QCTabViewElement(tabView, key.isEmpty() ? tabView->key() : key, bound));
  element->wire();
  return element;
}

QCTabViewElement::QCTabViewElement(QKNSTabView* tabView, QString key, bool bound)
    : tabView_(tabView), key_(std::move(key)), bound_(bound) {
  index_.store(tabView->selectedTabViewIndex());
}

QCTabViewElement::~QCTabViewElement() {
  if (tabView_) tabView_->setDelegate(nullptr);
}

void QCTabViewElement::wire() {
  tabView_->setDelegate(this);
  tabView_->setTarget(tabView_.data());
  std::weak_ptr<QCTabViewElement> self = weak_from_this();
  tabView_->setAction([self](QKNSTabView& sender) {
    auto element = self.lock();
    if (!element) return;
    element->index_.store(sender.selectedTabViewIndex());
    element->fire(false);
  });
}

void QCTabViewElement::fire(bool snapshotNotice) const {
  if (snapshotNotice)
    callbacks_.fireNotice();
  else
    callbacks_.fireAction();
}

QKNSTabView* QCTabViewElement::tabView() const { return tabView_.data(); }

QWidget* QCTabViewElement::view() const { return tabView_.data(); }

std::optional<composition::PortValue> QCTabViewElement::value() const {
  if (!bound_) return std::nullopt;
  return composition::PortValue::index(index_.load());
}

void QCTabViewElement::setAction(Callback action) { callbacks_.setAction(std::move(action)); }

void QCTabViewElement::setSnapshotNotice(Callback notice) {
  callbacks_.setSnapshotNotice(std::move(notice));
}

QVariantMap QCTabViewElement::createSnapshot() const {
  return tabView_ ? tabView_->createSnapshot() : QVariantMap();
}

void QCTabViewElement::loadSnapshot(const QVariantMap& snapshot) {
  if (!tabView_) return;
  tabView_->loadSnapshot(snapshot);
  index_.store(tabView_->selectedTabViewIndex());
}

void QCTabViewElement::prepareToBeDeleted() {
  callbacks_.clear();
  if (!tabView_) return;
  tabView_->setDelegate(nullptr);
  tabView_->setAction(nullptr);
  tabView_->prepareToBeDeleted();
}
