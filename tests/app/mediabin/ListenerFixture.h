#pragma once

#include "app/mediabin/MBFileTrigger.h"
#include "app/mediabin/MBTriggerListenersController.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/mediabin/FakeMediaBin.h"

#include <QHash>

#include <mutex>
#include <vector>

// The layer queue as the listeners see it: a record of triggers and ejects,
// a layer on deck, and the files that play or wait.
class RecordingTrigger : public MBFileTrigger {
 public:
  void triggerThisFile(long id) override {
    std::lock_guard<std::mutex> lock(mutex);
    triggered.push_back(id);
  }
  void ejectThisFile(long id) override {
    std::lock_guard<std::mutex> lock(mutex);
    ejected.push_back(id);
  }
  QString currentLayer() const override { return onDeck; }
  QString layerForFileIdInLayerQueueArray(long id) const override { return waiting.value(id); }
  bool fileIsPlaying(const QKFile& file, QString* layer) const override {
    if (!playing.contains(file.uniqueFileId())) return false;
    *layer = playing.value(file.uniqueFileId());
    return true;
  }
  std::vector<long> triggeredSoFar() const {
    std::lock_guard<std::mutex> lock(mutex);
    return triggered;
  }

  mutable std::mutex mutex;
  std::vector<long> triggered;
  std::vector<long> ejected;
  QString onDeck = QStringLiteral("L");
  QHash<long, QString> playing;
  QHash<long, QString> waiting;
};

// A bin over real pages, a data-source tree ticked by hand, the button
// manager that binds the listeners, and a controller over them. Pages are
// given as cell strings: a letter a valid file, "_" a blank, "x" a file
// whose media is missing.
struct ListenerFixture {
  explicit ListenerFixture(const QStringList& pageCells = {QStringLiteral("ab_cx")}) {
    UserDefaults::standard().resetForTesting();
    buttonManager.setDataSourceController(&dsc);
    dsc.setButtonManager(&buttonManager);
    QKPageController* pages = bin.pageController();
    for (int i = 1; i < pageCells.size(); ++i) pages->addBlankPage();
    for (int i = 0; i < pageCells.size(); ++i) setCells(i, pageCells[i]);
    bin.current = pageId(0);
    controller = std::make_unique<MBTriggerListenersController>(&bin, &queue);
  }
  ~ListenerFixture() {
    controller->prepareToBeDeleted();
    controller.reset();
    dsc.setButtonManager(nullptr);
  }
  void setCells(int page, const QString& cells) {
    auto p = bin.pageController()->pages()[size_t(page)];
    fillPage(*p, cells);
    for (int i = 0; i < cells.size(); ++i)
      if (cells[i] != QLatin1Char('x') && p->contents()[size_t(i)])
        p->contents()[size_t(i)]->initNonQTFile();
  }
  long pageId(int page) const {
    return bin.pageController()->pages()[size_t(page)]->uniqueFileId();
  }
  long fileId(int page, int cell) const {
    const auto& entry = bin.pageController()->pages()[size_t(page)]->contents()[size_t(cell)];
    return entry ? entry->uniqueFileId() : -1;
  }
  void addListeners(int n) {
    for (int i = 0; i < n; ++i) controller->addListenerWithSyncArray(std::nullopt);
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.02);
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKButtonManager buttonManager;
  FakeMediaBin bin;
  RecordingTrigger queue;
  std::unique_ptr<MBTriggerListenersController> controller;
};
