#include "framework/fx/FXObject.h"

#include "framework/controls/QKButtonCell.h"
#include "framework/fx/FXChain.h"
#include "platform/foundation/Log.h"

#include <algorithm>

const QString FXObject::kBypassButtonKey = QStringLiteral("QKBypassButton");
const QString FXObject::kArchiveNameKey = QStringLiteral("myName");

FXObject::FXObject(const QString& name) : myName_(name) {}

FXObject::~FXObject() {
  if (!deleted()) prepareToBeDeleted();
}

void FXObject::awakeFromNib() {
  if (!bypassButton_) {
    bypassButton_ = QKButtonCell::create();
    bypassButton_->setButtonType(1);
    bypassButton_->setTitle(QStringLiteral("Off"));
    bypassButton_->setTitle2(QStringLiteral("On"));
  }
  std::weak_ptr<FXObject> weakSelf = weak_from_this();
  bypassButton_->setTarget(weakSelf);
  bypassButton_->setAction([weakSelf](QKButtonCell&) {
    if (auto self = weakSelf.lock()) self->bypassToggleUsed();
  });
  bypassButton_->setIntValue(1, false);
  bypassToggleUsed();
}

void FXObject::processPassedPtr(void*) {}

void FXObject::bypassToggleUsed() {
  bypass_.store(!bypassButton_ || bypassButton_->intValue() != 1);
}

void FXObject::tellMyChainToDeleteMe() {
  if (myChain_) myChain_->deleteThisEffect(this);
}

void FXObject::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  if (bypassButton_) bypassButton_->prepareToBeDeleted();
}

void FXObject::resizeFXWidth(int width) {
  if (localFrame_.width() == width) return;
  localFrame_.setWidth(width);
  panelFrameChanged();
}

void FXObject::reposFXOrigin(const QPointF& origin) {
  localFrame_.moveTopLeft(origin);
  panelFrameChanged();
}

void FXObject::fxResizingHeight(int height) {
  if (localFrame_.height() == height) return;
  localFrame_.setHeight(std::max<double>(height, kMinimumHeight));
  panelFrameChanged();
  if (myChain_) myChain_->resizeChain();
}

void FXObject::collapse() {
  if (collapsed_) return;
  expandedFrame_ = localFrame_;
  localFrame_.setHeight(kCollapsedHeight);
  collapsed_ = true;
  panelFrameChanged();
  if (myChain_) myChain_->resizeChain();
}

void FXObject::expand() {
  if (!collapsed_) return;
  localFrame_ = expandedFrame_;
  collapsed_ = false;
  panelFrameChanged();
  if (myChain_) myChain_->resizeChain();
}

std::optional<QVariantMap> FXObject::createSnapshot() const {
  if (!bypassButton_) {
    Log::line("\t\terror- couldn't find bypassButton");
    return std::nullopt;
  }
  const QVariantMap button = bypassButton_->createSnapshot();
  if (button.isEmpty()) {
    Log::line("\t\terror- bypassButton couldn't create snapshot");
    return std::nullopt;
  }
  return QVariantMap{{kBypassButtonKey, button}};
}

void FXObject::loadSnapshot(const QVariantMap& snapshot) {
  if (!bypassButton_) {
    Log::line("\t\terror- couldn't find bypass button");
    return;
  }
  const QVariant button = snapshot.value(kBypassButtonKey);
  if (button.typeId() != QMetaType::QVariantMap) {
    Log::line("\t\terror- couldn't find bypass button dict");
    return;
  }
  bypassButton_->loadSnapshot(button.toMap(), false);
  bypassToggleUsed();
}

QVariantMap FXObject::encode() const { return {{kArchiveNameKey, myName_}}; }
