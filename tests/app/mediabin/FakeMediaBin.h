#pragma once

#include "app/mediabin/MBMediaBin.h"
#include "tests/framework/media/MediaBinTestSupport.h"

#include <QHash>
#include <QSet>

#include <atomic>

// A media bin window over a real page controller: page settings,
// selection, current page and listeners kept as plain data.
class FakeMediaBin : public MBMediaBin {
 public:
  FakeMediaBin() {
    host.makePageController();
    current = host.pages->pages().front()->uniqueFileId();
  }
  long uniqueID() const override { return 42; }
  QKPageController* pageController() const override { return host.pages.get(); }
  QKFileLoaderInterface* fileLoader() const override {
    return const_cast<FakeMediaBinHost&>(host).fileLoader();
  }
  CompositorInterface* compositor() const override {
    return const_cast<FakeMediaBinHost&>(host).compositor();
  }
  bool willFullscreenHideAModal() const override { return fullscreen; }
  bool pageExpanded(long id) const override { return expanded.value(id, true); }
  void setPageExpanded(long id, bool on) override { expanded.insert(id, on); }
  bool pageVisible(long id) const override { return !hidden.contains(id); }
  void setPageVisible(long id, bool on) override {
    storedVisible.insert(id, on);
    if (on)
      hidden.remove(id);
    else
      hidden.insert(id);
  }
  std::vector<long> visiblePageIds() const override {
    std::vector<long> ids;
    for (const auto& page : host.pages->pages())
      if (!hidden.contains(page->uniqueFileId())) ids.push_back(page->uniqueFileId());
    return ids;
  }
  long currentPageId() const override { return current; }
  void setCurrentPageId(long id) override { current = id; }
  std::vector<long> selectedIds() const override { return {selection.begin(), selection.end()}; }
  bool isSelected(long id) const override { return selection.contains(id); }
  void setSelected(long id, bool on) override {
    if (on)
      selection.insert(id);
    else
      selection.remove(id);
  }
  void deselectAll() override { selection.clear(); }
  QImage missingFileImage() const override { return icon(Qt::red); }
  QImage textFileIconImage() const override { return icon(Qt::white); }
  QImage urlFileIconImage() const override { return icon(Qt::cyan); }
  int listenerCount() const override { return listeners; }
  int transpose() const override { return transposeValue; }
  void justSetTranspose(int value) override { transposeValue = value; }
  bool listenersHardwareLearnMode() const override { return learn; }
  QString listenerName(int index) const override {
    return index == 0 ? QStringLiteral("C3") : QStringLiteral("%1").arg(index);
  }
  static QImage icon(QColor color) {
    QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
  }

  FakeMediaBinHost host;
  std::atomic<long> current{-1};
  QHash<long, bool> expanded;
  QSet<long> hidden;
  QHash<long, bool> storedVisible;
  QSet<long> selection;
  int listeners = 0;
  int transposeValue = 0;
  bool learn = false;
  bool fullscreen = false;
};
