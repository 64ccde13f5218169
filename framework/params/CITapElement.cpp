#include "framework/params/CITapElement.h"

#include "framework/params/QKElementBox.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"

namespace {
constexpr int kNarrower = 25;
constexpr int kButtonHeight = 15;
}  // namespace

std::shared_ptr<CITapElement> CITapElement::create(const QCElementFactories::Request& request) {
  auto element =
      create(QRectF(0, 0, request.panelWidth - kNarrower, rowHeight(Row::Tap)), request.parent);
  element->setTitle(request.key);
  element->setKey(request.key);
  return element;
}

std::shared_ptr<CITapElement> CITapElement::create(const QRectF& frame, QWidget* parent) {
  std::shared_ptr<CITapElement> element(new CITapElement(frame, parent));
  element->awakeFromNib();
  return element;
}

std::shared_ptr<QCTapElement> QCTapElement::create(const QCElementFactories::Request& request) {
  std::shared_ptr<QCTapElement> element(new QCTapElement(
      QRectF(0, 0, request.panelWidth - kNarrower, rowHeight(Row::Tap)), request.parent));
  element->awakeFromNib();
  element->setTitle(request.key);
  element->setKey(request.key);
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
  button_ = new QKNSPopUpButton(box_);
  button_->setFont(QKElementBox::titleFont());
  std::weak_ptr<CITapElement> self = weak_from_this();
  menuController_->setMyAction([self] {
    if (auto element = self.lock()) element->tapSourceChanged();
  });
  menuController_->setButton(button_);
  box_->setLayoutHandler([this](const QRect& content) {
    const int y = content.y() + std::max(0, (content.height() - kButtonHeight) / 2);
    button_->setGeometry(content.x(), y, std::max(0, content.width() - 10), kButtonHeight);
  });
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
