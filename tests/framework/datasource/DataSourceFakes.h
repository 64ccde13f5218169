#pragma once

#include "framework/datasource/AltUIItem.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/ExternalSynchObject.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "framework/datasource/QKBMSMCoordinatorInterface.h"
#include "framework/datasource/QKButtonManagerInterface.h"
#include "framework/datasource/QKSliderManagerInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"

#include <QStringList>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

// A shared, thread-safe record of calls, in the order they happened.
class CallLog {
 public:
  void add(const QString& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.append(entry);
  }
  QStringList entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  mutable std::mutex mutex_;
  QStringList entries_;
};

// A subscriber that records what it receives.
class RecordingTarget : public DataSourceTarget {
 public:
  explicit RecordingTarget(CallLog* log = nullptr, QString name = QStringLiteral("target"))
      : log_(log), name_(std::move(name)) {}

  void received(DataSource* source) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values_.push_back(source->value());
      threads_.push_back(std::this_thread::get_id());
    }
    if (log_) log_->add(name_);
    if (onReceive) onReceive(source);
  }
  void dataSourceNameChanged(DataSource* source) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.append(QStringLiteral("name ") + source->pathArray().join(QLatin1Char('|')));
  }
  void dataSourceTypeChanged(DataSource* source) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.append(QStringLiteral("type %1").arg(source->sourceType()));
  }
  void currentDataSourceDeletedUnderMe() override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.append(QStringLiteral("deleted"));
  }

  std::vector<float> values() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
  }
  std::vector<std::thread::id> threads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }
  QStringList events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  int count(const QString& event) const { return static_cast<int>(events().count(event)); }

  std::function<void(DataSource*)> onReceive;

 private:
  CallLog* log_;
  QString name_;
  mutable std::mutex mutex_;
  std::vector<float> values_;
  std::vector<std::thread::id> threads_;
  QStringList events_;
};

inline std::shared_ptr<DataSourceCall> callTo(const std::shared_ptr<RecordingTarget>& target) {
  return DataSourceCall::createWithTarget(target, &RecordingTarget::received);
}

class FakeSliderManager : public QKSliderManagerInterface {
 public:
  explicit FakeSliderManager(CallLog* log) : log_(log) {}
  void evaluateContinuousBehaviors() override {
    log_->add(QStringLiteral("sliders evaluate"));
    if (onEvaluate) onEvaluate();
  }
  void wasThisDataSourceDeletedOutFromUnderAnySliders(const KeyPath& path) override {
    log_->add(QStringLiteral("sliders placed ") + path.join(QLatin1Char('|')));
  }
  void reloadDSContextualMenu() override { log_->add(QStringLiteral("sliders reload")); }
  void programChangeReceived() override { log_->add(QStringLiteral("sliders program")); }
  void selectOnlyThisSlider(QKSliderCell*) override { log_->add(QStringLiteral("sliders only")); }
  void selectThisSliderToo(QKSliderCell*) override { log_->add(QStringLiteral("sliders too")); }
  void deselectThisSlider(QKSliderCell*) override {
    log_->add(QStringLiteral("sliders deselect"));
    if (!selected.empty()) selected.pop_back();
  }
  void deselectAllSliders() override { log_->add(QStringLiteral("sliders none")); }
  std::vector<QKSliderCell*> selectedSliderArray() override { return selected; }
  void setHardwareLearnMode(bool mode) override {
    log_->add(QStringLiteral("sliders learn %1").arg(mode));
  }

  std::vector<QKSliderCell*> selected;
  std::function<void()> onEvaluate;

 private:
  CallLog* log_;
};

class FakeButtonManager : public QKButtonManagerInterface {
 public:
  explicit FakeButtonManager(CallLog* log) : log_(log) {}
  void wasThisDataSourceDeletedOutFromUnderAnyButtons(const KeyPath& path) override {
    log_->add(QStringLiteral("buttons placed ") + path.join(QLatin1Char('|')));
  }
  void reloadDSContextualMenu() override { log_->add(QStringLiteral("buttons reload")); }
  void selectThisButton(QKButtonCell*) override { log_->add(QStringLiteral("buttons select")); }
  void deselectThisButton(QKButtonCell*) override {
    log_->add(QStringLiteral("buttons deselect"));
    if (!selected.empty()) selected.pop_back();
  }
  void deselectAllButtons() override { log_->add(QStringLiteral("buttons none")); }
  std::vector<QKButtonCell*> selectedButtonArray() override { return selected; }
  void setHardwareLearnMode(bool mode) override {
    log_->add(QStringLiteral("buttons learn %1").arg(mode));
  }

  std::vector<QKButtonCell*> selected;

 private:
  CallLog* log_;
};

class FakeCoordinator : public QKBMSMCoordinatorInterface {
 public:
  explicit FakeCoordinator(CallLog* log) : log_(log) {}
  void selectSlider() override { log_->add(QStringLiteral("inspector slider")); }
  void selectButton() override { log_->add(QStringLiteral("inspector button")); }
  void selectNothing() override { log_->add(QStringLiteral("inspector nothing")); }

 private:
  CallLog* log_;
};

class FakeMIDIManager : public MIDIManagerInterface {
 public:
  explicit FakeMIDIManager(CallLog* log) : log_(log) {}
  void bang() override { log_->add(QStringLiteral("midi bang")); }

 private:
  CallLog* log_;
};

class FakeAppController : public AppControllerInterface {
 public:
  MIDIManagerInterface* midiManager() override { return midi; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return nullptr; }
  MIDIManagerInterface* midi = nullptr;
};

class FakeExternalSynch : public ExternalSynchObject {
 public:
  FakeExternalSynch(CallLog* log, QString name) : log_(log), name_(std::move(name)) {}
  void DSCProc() override {
    log_->add(name_ + QStringLiteral(" tick"));
    if (onTick) onTick();
  }
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) override {
    log_->add(name_ + QStringLiteral(" placed ") + path.join(QLatin1Char('|')));
  }
  std::function<void()> onTick;

 private:
  CallLog* log_;
  QString name_;
};

class FakeAltItem : public AltUIItem {
 public:
  FakeAltItem(CallLog* log, QString name) : log_(log), name_(std::move(name)) {}
  void select() override { log_->add(name_ + QStringLiteral(" select")); }
  void deselect() override { log_->add(name_ + QStringLiteral(" deselect")); }

 private:
  CallLog* log_;
  QString name_;
};

