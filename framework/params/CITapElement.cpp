#include "framework/params/CITapElement.h"

#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"

std::shared_ptr<CITapElement> CITapElement::create(const QCElementFactories::Request& request) {
  auto element = create(rowFrame(Row::Tap, request.panelWidth), request.parent);
  element->setTitleAndKey(request.key);
  return element;
}

std::shared_ptr<CITapElement> CITapElement::create(const QRectF& frame, QWidget* parent) {
  std::shared_ptr<CITapElement> element(new CITapElement(frame, parent));
  element->awakeFromNib();
  return element;
}

std::shared_ptr<QCTapElement> QCTapElement::create(const QCElementFactories::Request& request) {
  std::shared_ptr<QCTapElement> element(
      new QCTapElement(rowFrame(Row::Tap, request.panelWidth), request.parent));
  element->awakeFromNib();
  element->setTitleAndKey(request.key);
  return element;
}

CITapElement::CITapElement(const QRectF& frame, QWidget* parent)
    : QCBoxedElement(frame, parent),
      menuController_(new QKRTapMenuController(box_)),
      rTap_(QKRTap::create()) {}

CITapElement::~CITapElement() {
  if (!deleted_) prepareToBeDeleted();
}

void CITapElement::awakeFromNib() {
  button_ = addPopUpButton();
  std::weak_ptr<CITapElement> self = weak_from_this();
  menuController_->setMyAction([self] {
    if (auto element = self.lock()) element->tapSourceChanged();
  });
  menuController_->setButton(button_);
  menuController_->awakeFromNib();
}

void CITapElement::tapSourceChanged() {
  if (deleted_ || !menuController_) return;
  const QString name = menuController_->lastSelectedName();
  rTap_->useTapNamed(name.isEmpty() ? QKTapManager::kEmptyDeselectedString : name);
  callbacks_.fireAction();
}

gl::TextureHandle CITapElement::getTexture() const {
  return rTap_ ? rTap_->getTextureRef() : gl::TextureHandle();
}

bool CITapElement::questionableColors() const {
  auto stub = rTap_ ? rTap_->stub() : nullptr;
  return stub && stub->questionableColors();
}

void CITapElement::reloadAvailableTaps() {
  if (menuController_) menuController_->reloadAvailableTapsMethod();
}

QVariantMap CITapElement::createSnapshot() const {
  QVariantMap snapshot;
  addTitleAndKey(snapshot);
  if (menuController_)
    snapshot.insert(QStringLiteral("menuController"), menuController_->createSnapshot());
  return snapshot;
}

void CITapElement::loadSnapshot(const QVariantMap& snapshot) {
  loadTitle(snapshot);
  const auto menu = snapshot.constFind(QStringLiteral("menuController"));
  if (menu != snapshot.constEnd() && menuController_) menuController_->loadSnapshot(menu->toMap());
}

void CITapElement::prepareToBeDeleted() {
  deleted_ = true;
  callbacks_.clear();
  if (rTap_) rTap_->prepareToBeDeleted();
  if (menuController_) menuController_->prepareToBeDeleted();
}
