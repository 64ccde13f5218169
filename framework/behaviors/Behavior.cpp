#include "framework/behaviors/Behavior.h"

#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/fx/FXObjectPanel.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/foundation/Log.h"

#include <QThread>
#include <QWidget>

Behavior::Behavior(const QString& name, const QString& layoutName)
    : FXObject(name), layoutName_(layoutName) {}

Behavior::~Behavior() { retire(); }

void Behavior::PanelDeleter::operator()(QWidget* panel) const {
  if (!panel) return;
  if (QThread::currentThread() == panel->thread())
    delete panel;
  else
    panel->deleteLater();
}

QString Behavior::layoutErrorLine() const {
  return QStringLiteral("\t\terror while loading the .nib");
}

void Behavior::awakeFromNib() {
  const LayoutRegistry* registry = LayoutRegistry::shared();
  std::unique_ptr<QWidget> panel;
  if (registry) panel = registry->build(layoutName_, nullptr);
  if (!panel) {
    Log::line(layoutErrorLine());
    return;
  }
  panel_.reset(panel.release());
  setLocalFrame(QRectF(QPointF(0, 0), QSizeF(panel_->size())));
  wakeUp();
  FXObject::awakeFromNib();
  if (auto* titled = qobject_cast<FXObjectPanel*>(panel_.get())) titled->setMyFXObject(this);
}

QKSliderControl* Behavior::panelSlider(const QString& outlet) const {
  return panel_ ? panel_->findChild<QKSliderControl*>(outlet) : nullptr;
}

void Behavior::addParameter(QKSliderControl* slider, const QString& key,
                            std::function<void(QKSliderCell&)> apply) {
  if (!slider || !slider->cell()) return;
  std::weak_ptr<FXObject> self = weak_from_this();
  slider->setTarget(self);
  slider->setAction([self, apply](QKSliderCell& sender) {
    if (auto alive = self.lock()) apply(sender);
  });
  parameters_.push_back({slider, key, std::move(apply)});
}

QKSliderControl* Behavior::parameterSlider(const QString& outlet, const QString& label,
                                           const QString& key,
                                           std::function<void(QKSliderCell&)> apply) {
  QKSliderControl* slider = panelSlider(outlet);
  if (!slider) return nullptr;
  slider->setSliderName(label);
  addParameter(slider, key, std::move(apply));
  return slider;
}

void Behavior::markNeedsEvaluation() {
  if (auto* chain = dynamic_cast<BehaviorFXChain*>(myChain())) chain->setNeedsEvaluation(true);
}

void Behavior::observeSliderDeletion() {
  observers_.observe(
      QKSliderManager::kDeleteSliderNotification, nullptr,
      [this](const Notification& notification) {
        if (const auto* slider = static_cast<const QKSliderCell*>(notification.object))
          sliderDeleted(slider->uniqueID());
      });
}

std::optional<QVariantMap> Behavior::createSnapshot() const {
  std::optional<QVariantMap> snapshot = FXObject::createSnapshot();
  if (!snapshot) return snapshot;
  for (const Parameter& parameter : parameters_)
    snapshot->insert(parameter.key, parameter.slider->createSnapshot());
  return snapshot;
}

// An entry that is not a dictionary leaves its parameter as it is.
void Behavior::loadSnapshot(const QVariantMap& snapshot) {
  FXObject::loadSnapshot(snapshot);
  for (const Parameter& parameter : parameters_) {
    const QVariant entry = snapshot.value(parameter.key);
    if (entry.typeId() != QMetaType::QVariantMap) continue;
    parameter.slider->loadSnapshot(entry.toMap());
    // The slider outputs only from a view with no modal window open.
    parameter.apply(*parameter.slider->cell());
  }
}

void Behavior::prepareToBeDeleted() {
  retire();
  FXObject::prepareToBeDeleted();
}

void Behavior::retire() {
  observers_.clear();
  if (!panel_) return;
  for (const Parameter& parameter : parameters_) parameter.slider->prepareToBeDeleted();
  parameters_.clear();
  panel_.reset();
}
