#include "framework/params/CIPopUpElement.h"

#include "framework/params/QCPanelMenus.h"
#include "framework/toolkit/QKFontUtils.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"

#include <QFontDatabase>

const QString CIPopUpElement::kIndexType = QStringLiteral("QCPortTypeIndex");
const QString CIPopUpElement::kStringType = QStringLiteral("QCPortTypeString");
const QString CIPopUpElement::kSeparator = QCPanelMenus::kSeparator;

std::shared_ptr<CIPopUpElement> CIPopUpElement::create(const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::PopUp, request.panelWidth), request.parent);
  element->setTitleAndKey(request.key);
  QCPanelMenus::Menu menu;
  if (request.kind == QCElementFactories::Kind::FontMenu) {
    element->setKeyType(kStringType);
    menu = QCPanelMenus::fontMenu(QKFontUtils::fontMenuCopy(), request.description,
                                  QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  } else {
    element->setKeyType(kIndexType);
    menu = QCPanelMenus::indexMenu(request.description);
  }
  element->setLocalMenu(menu.items);
  element->selectItemAtIndex(menu.selected);
  return element;
}

std::shared_ptr<CIPopUpElement> CIPopUpElement::create(const QRectF& frame, QWidget* parent) {
  std::shared_ptr<CIPopUpElement> element(new CIPopUpElement(frame, parent));
  element->awakeFromNib();
  return element;
}

CIPopUpElement::CIPopUpElement(const QRectF& frame, QWidget* parent)
    : QCBoxedElement(frame, parent) {}

void CIPopUpElement::awakeFromNib() {
  button_ = addPopUpButton();
  std::weak_ptr<CIPopUpElement> self = weak_from_this();
  QObject::connect(button_, &QKNSPopUpButton::activated, button_, [self](QAction*) {
    if (auto element = self.lock()) element->menuUsed();
  });
}

void CIPopUpElement::setLocalMenu(const QStringList& items) {
  if (!box_) return;
  const QString selected = button_->titleOfSelectedItem();
  items_ = items;
  button_->removeAllItems();
  for (const QString& item : items) {
    if (item == kSeparator)
      button_->menu()->addSeparator();
    else
      button_->addItemWithTitle(item);
  }
  if (!selected.isEmpty()) button_->selectItemWithTitle(selected);
  if (!button_->selectedItem() && !items.isEmpty()) button_->selectItemAtIndex(0);
  keepSelection();
}

void CIPopUpElement::selectItemAtIndex(int index) {
  if (!box_) return;
  button_->selectItemAtIndex(index);
  keepSelection();
}

void CIPopUpElement::keepSelection() {
  const int index = button_ ? button_->indexOfSelectedItem() : -1;
  const QString title = button_ ? button_->titleOfSelectedItem() : QString();
  std::lock_guard lock(mutex_);
  selectedIndex_ = index;
  selectedTitle_ = title;
}

int CIPopUpElement::indexOfSelectedItem() const {
  std::lock_guard lock(mutex_);
  return selectedIndex_;
}

QString CIPopUpElement::titleOfSelectedItem() const {
  std::lock_guard lock(mutex_);
  return selectedTitle_;
}

void CIPopUpElement::menuUsed() {
  keepSelection();
  if (!callbacks_.hasAction()) return;
  std::weak_ptr<CIPopUpElement> self = weak_from_this();
  MainThread::post([self] {
    if (auto element = self.lock()) element->callbacks_.fireAction();
  });
}

void CIPopUpElement::setKeyType(const QString& type) {
  std::lock_guard lock(mutex_);
  keyType_ = type;
}

QString CIPopUpElement::keyType() const {
  std::lock_guard lock(mutex_);
  return keyType_;
}

std::optional<composition::PortValue> CIPopUpElement::value() const {
  std::lock_guard lock(mutex_);
  if (keyType_ == kIndexType && selectedIndex_ >= 0)
    return composition::PortValue::index(selectedIndex_);
  if (keyType_ == kStringType && !selectedTitle_.isNull())
    return composition::PortValue::string(selectedTitle_);
  return std::nullopt;
}

QVariantMap CIPopUpElement::createSnapshot() const {
  QVariantMap snapshot;
  const QString type = keyType();
  if (!type.isEmpty()) snapshot.insert(QStringLiteral("keyType"), type);
  addTitleAndKey(snapshot);
  const QString selected = titleOfSelectedItem();
  if (!selected.isEmpty()) snapshot.insert(QStringLiteral("titleOfSelectedItem"), selected);
  return snapshot;
}

void CIPopUpElement::loadSnapshot(const QVariantMap& snapshot) {
  if (!box_) return;
  loadTitle(snapshot);
  const auto type = snapshot.constFind(QStringLiteral("keyType"));
  if (type != snapshot.constEnd()) setKeyType(type->toString());
  const QString selected = snapshot.value(QStringLiteral("titleOfSelectedItem")).toString();
  if (!selected.isEmpty() && items_.contains(selected)) button_->selectItemWithTitle(selected);
  keepSelection();
  if (button_->selectedItem()) menuUsed();
}

void CIPopUpElement::prepareToBeDeleted() { callbacks_.clear(); }
