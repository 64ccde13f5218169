#pragma once

#include "framework/controls/QKButtonCell.h"

#include <atomic>
#include <memory>

// The cell of a page tab: a button cell that also names the page the tab
// stands for. Its snapshot keeps the button's own under "superSnap".
class MBPageButtonCell : public QKButtonCell {
 public:
  static const QString kSuperSnapKey;  // "superSnap"
  static const QString kPageIdKey;     // "pageId"

  static std::shared_ptr<MBPageButtonCell> create();

  long pageId() const { return pageId_.load(); }
  void setPageId(long pageId) { pageId_.store(pageId); }

  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true) override;

 private:
  MBPageButtonCell() = default;
  std::atomic<long> pageId_{-1};
};
