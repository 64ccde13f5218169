#pragma once

#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/SliderControlView.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/datasource/QKSliderManagerInterface.h"

#include <QCoreApplication>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Small stand-ins for what a slider cell talks to: its view, its manager, a
// behaviour chain, a delegate, and a target that counts the actions.

class FakeSliderView : public SliderControlView {
 public:
  explicit FakeSliderView(QRectF frame = QRectF(0, 0, 200, 20)) : frame_(frame) {}
  QRectF bounds() const override { return QRectF(QPointF(0, 0), frame_.size()); }
  QRectF frame() const override { return frame_; }
  QRectF absVisibleRect() const override { return frame_; }
  void setNeedsDisplay() override { ++redraws; }
  std::atomic<int> redraws{0};

 private:
  QRectF frame_;
};

class FakeChain : public BehaviorChainInterface {
 public:
  using Behavior = std::function<float(float)>;
  explicit FakeChain(Behavior behavior, QString name = QStringLiteral("chain"))
      : behavior_(std::move(behavior)), name_(std::move(name)) {}
  QString chainName() const override { return name_; }
  void passPtrThruChain(QKSliderCell& cell) override {
    ++passes;
    cell.justSetValue(behavior_(cell.value()));
  }
  bool evaluateConsistently() const override { return consistent; }
  bool needsEvaluation() const override { return needsEval; }

  std::atomic<int> passes{0};
  std::atomic<bool> consistent{false};
  std::atomic<bool> needsEval{false};

 private:
  Behavior behavior_;
  QString name_;
};

// Both sides of a slider manager: what the cells ask of it, and what the
// data-source controller asks of it (relayed to the sliders it knows). As
// the real one, it may be asked from input threads while sliders are added.
class FakeSliderManager : public SliderManagerInterface, public QKSliderManagerInterface {
 public:
  void add(const QKSliderCell::Ptr& cell) {
    cell->setSliderManager(this);
    std::lock_guard<std::mutex> lock(slidersMutex_);
    sliders_.push_back(cell);
  }
  void evaluateContinuousBehaviors() override {
    for (auto& weak : sliders())
      if (auto cell = weak.lock()) cell->evaluateBehaviors();
  }
  void wasThisDataSourceDeletedOutFromUnderAnySliders(const KeyPath& path) override {
    for (auto& weak : sliders())
      if (auto cell = weak.lock()) cell->wasThisDataSourceDeletedOutFromUnderMe(path);
  }
  void reloadDSContextualMenu() override {}
  void programChangeReceived() override {
    for (auto& weak : sliders())
      if (auto cell = weak.lock()) cell->programChangeReceived();
  }
  void selectOnlyThisSlider(QKSliderCell* slider) override {
    deselectAllSliders();
    slider->setSelected(true);
    selected.push_back(slider);
  }
  void selectThisSliderToo(QKSliderCell* slider) override {
    slider->setSelected(true);
    selected.push_back(slider);
  }
  void deselectThisSlider(QKSliderCell* slider) override {
    slider->setSelected(false);
    std::erase(selected, slider);
  }
  void deselectAllSliders() override {
    for (QKSliderCell* s : selected) s->setSelected(false);
    selected.clear();
  }
  std::vector<QKSliderCell*> selectedSliderArray() override { return selected; }
  void setHardwareLearnMode(bool mode) override {
    if (learnMode == mode) return;
    learnMode = mode;
    for (auto& weak : sliders())
      if (auto cell = weak.lock()) cell->hardwareLearnModeUpdated(mode);
  }

  std::vector<std::weak_ptr<QKSliderCell>> sliders() {
    std::lock_guard<std::mutex> lock(slidersMutex_);
    return sliders_;
  }
  std::vector<QKSliderCell*> selected;

  DataSourceController* dataSourceController() const override { return controller; }
  bool hardwareLearnMode() const override { return learnMode; }
  QVariantMap sliderColorDict() const override { return colors; }
  std::shared_ptr<BehaviorChainInterface> findBehaviorChainNamed(
      const QString& name) const override {
    auto it = chains.find(name);
    return it == chains.end() ? nullptr : it->second;
  }
  void deleteThisSlider(QKSliderCell* slider) override { deleted.push_back(slider); }
  void updateValueRelatedOnly() override { ++valueRefreshes; }
  void updateWithLockedStatus(bool) override { ++statusRefreshes; }

  DataSourceController* controller = nullptr;
  bool learnMode = false;
  QVariantMap colors;
  std::map<QString, std::shared_ptr<BehaviorChainInterface>> chains;
  std::vector<QKSliderCell*> deleted;
  std::atomic<int> valueRefreshes{0};
  std::atomic<int> statusRefreshes{0};

 private:
  std::mutex slidersMutex_;
  std::vector<std::weak_ptr<QKSliderCell>> sliders_;
};

class RecordingDelegate : public QKSliderCellDelegate {
 public:
  void QKSliderInterestingPointsChanged(QKSliderCell&) override { notices.push_back("marks"); }
  void QKSliderMinEnvChanged(QKSliderCell&) override { notices.push_back("minEnv"); }
  void QKSliderMaxEnvChanged(QKSliderCell&) override { notices.push_back("maxEnv"); }
  void QKSliderSyncFlagChanged(QKSliderCell&) override { notices.push_back("sync"); }
  void QKSliderBehavFlagChanged(QKSliderCell&) override { notices.push_back("behav"); }
  void QKSliderUIStateChanged(QKSliderCell&) override { notices.push_back("ui"); }
  std::vector<std::string> notices;
};

// A slider with a view and a target that records every value it outputs.
struct ViewedSlider {
  explicit ViewedSlider(QKSliderCell::Ptr c = QKSliderCell::create()) : cell(std::move(c)) {
    cell->setControlView(&view);
    cell->setTarget(target);
    cell->setAction([this](QKSliderCell& sender) { outputs.push_back(sender.value()); });
  }
  ~ViewedSlider() {
    cell->prepareToBeDeleted();
    cell->setControlView(nullptr);
  }
  ViewedSlider(const ViewedSlider&) = delete;
  ViewedSlider& operator=(const ViewedSlider&) = delete;

  // Runs the redraw requests queued for the main thread.
  int redrawsAfterEvents() {
    QCoreApplication::sendPostedEvents();
    return view.redraws.load();
  }

  FakeSliderView view;
  std::shared_ptr<int> target = std::make_shared<int>(0);
  std::vector<float> outputs;
  QKSliderCell::Ptr cell;
};
