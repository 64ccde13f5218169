#include "framework/params/QCComponentSliders.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"

class QCComponentSliders::Notices : public QKSliderCellDelegate {
 public:
  explicit Notices(std::function<void()> notice) : notice_(std::move(notice)) {}
  void QKSliderInterestingPointsChanged(QKSliderCell&) override { tell(); }
  void QKSliderMinEnvChanged(QKSliderCell&) override { tell(); }
  void QKSliderMaxEnvChanged(QKSliderCell&) override { tell(); }
  void QKSliderSyncFlagChanged(QKSliderCell&) override { tell(); }
  void QKSliderBehavFlagChanged(QKSliderCell&) override { tell(); }

 private:
  void tell() const {
    if (notice_) notice_();
  }
  std::function<void()> notice_;
};

void QCComponentSliders::make(QWidget* parent, const QStringList& names,
                              const std::weak_ptr<void>& target, Moved moved,
                              std::function<void()> notice) {
  notices_ = std::make_shared<Notices>(std::move(notice));
  for (int index = 0; index < names.size(); ++index) {
    QKSliderControl* slider = QKSliderControl::createWithFrame(QRectF(0, 0, 100, 16), parent);
    slider->setSliderName(names[index]);
    slider->setDelegate(notices_);
    slider->setTarget(target);
    slider->setAction([moved, index](QKSliderCell& sender) { moved(index, sender); });
    sliders_.push_back(slider);
    cells_.push_back(slider->cellPtr());
  }
}

QKSliderControl* QCComponentSliders::slider(int index) const {
  return index >= 0 && index < int(sliders_.size()) ? sliders_[index].data() : nullptr;
}

float QCComponentSliders::value(int index) const {
  return index >= 0 && index < int(cells_.size()) ? cells_[index]->value() : 0.0f;
}

float QCComponentSliders::rangedValue(int index) const {
  return index >= 0 && index < int(cells_.size()) ? cells_[index]->rangedValue() : 0.0f;
}

bool QCComponentSliders::synced(int index) const {
  return index >= 0 && index < int(cells_.size()) && cells_[index]->syncFlag();
}

void QCComponentSliders::bindTo(const KeyPath& path, const QStringList& suffixes) {
  for (int index = 0; index < count() && index < suffixes.size(); ++index) {
    KeyPath componentPath = path;
    componentPath << suffixes[index];
    cells_[index]->useThisSource(componentPath);
    if (!cells_[index]->syncFlag()) cells_[index]->setSyncFlag(true);
  }
}

void QCComponentSliders::addSnapshots(QVariantMap& snapshot, const QStringList& keys) const {
  for (int index = 0; index < count() && index < keys.size(); ++index) {
    const QVariantMap sliderSnapshot = cells_[index]->createSnapshot();
    if (!sliderSnapshot.isEmpty()) snapshot.insert(keys[index], sliderSnapshot);
  }
}

void QCComponentSliders::loadSnapshots(const QVariantMap& snapshot, const QStringList& keys) {
  for (int index = 0; index < count() && index < keys.size(); ++index) {
    const auto entry = snapshot.constFind(keys[index]);
    if (entry != snapshot.constEnd() && sliders_[index])
      sliders_[index]->loadSnapshot(entry->toMap());
  }
}

void QCComponentSliders::prepareToBeDeleted() {
  for (const QPointer<QKSliderControl>& slider : sliders_)
    if (slider) slider->prepareToBeDeleted();
}
