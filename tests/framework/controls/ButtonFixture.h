#pragma once

#include "framework/controls/QKBMInterfaceManager.h"
#include "framework/controls/QKButtonCellView.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <mutex>
#include <vector>

// The button inspector as the manager sees it: counts what reaches it and
// on which thread.
class RecordingInspector : public QKBMInterfaceManager {
 public:
  void updateWithLockedStatus(bool) override {
    ++refreshes;
    onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
  }
  void updateValueRelatedOnlyWithValue(float value) override { values.push_back(value); }

  int refreshes = 0;
  bool onMainThread = false;
  std::vector<float> values;
};

// A data-source controller without its tick thread, a button manager bound
// to it, and buttons whose actions are recorded.
class ButtonFixture : public testing::Test {
 protected:
  ButtonFixture() {
    manager.setDataSourceController(&dsc);
    manager.setInterfaceManager(&inspector);
    dsc.setButtonManager(&manager);
  }
  ~ButtonFixture() override {
    for (const auto& cell : made) cell->prepareToBeDeleted();
    dsc.setButtonManager(nullptr);
  }

  std::shared_ptr<QKButtonCell> button(int type = 0, const QString& title = QStringLiteral("b")) {
    auto cell = QKButtonCell::create();
    cell->setTitle(title);
    cell->setButtonType(type);
    cell->setTarget(alive);
    cell->setAction([this](QKButtonCell& sender) {
      std::lock_guard<std::mutex> lock(mutex);
      banged.push_back(&sender);
      bangThreads.push_back(QThread::currentThread());
    });
    made.push_back(cell);
    return cell;
  }

  int bangsOf(const QKButtonCell* cell) {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(std::count(banged.begin(), banged.end(), cell));
  }
  int bangCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(banged.size());
  }

  template <class T = DSFloatInfreqRepeat>
  std::shared_ptr<T> sourceAt(const KeyPath& path, int32_t type) {
    auto source = T::createWithName(path.last(), type);
    EXPECT_TRUE(dsc.setDataSource(source, path));
    return source;
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  RecordingInspector inspector;
  QKButtonManager manager;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  std::vector<std::shared_ptr<QKButtonCell>> made;
  std::mutex mutex;
  std::vector<const QKButtonCell*> banged;
  std::vector<QThread*> bangThreads;
};
