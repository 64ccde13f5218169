#pragma once

#include "framework/params/QCPanelElement.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class QCElementHandOff;
namespace image {
class Filter;
class Image;
}  // namespace image

// What the render thread takes of a filter panel (CIAttributeLoader),
// shared by the panel and its render context so that the render thread
// never touches the panel's widget: the hand-off of changed elements, and
// the filter with its attribute keys and tap elements, published whole by
// the main thread behind a mutex held only to swap them (the render thread
// only tries it and otherwise keeps what it had).
class CIFilterFeed {
 public:
  CIFilterFeed();

  // Main thread: the filter, its attribute keys and taps from now on.
  void publish(std::shared_ptr<image::Filter> filter,
               std::vector<std::shared_ptr<QCPanelElement>> taps);
  void setDeleted() { deleted_.store(true); }
  bool deleted() const { return deleted_.load(); }
  QCElementHandOff& handOff() const { return *handOff_; }
  const std::shared_ptr<QCElementHandOff>& handOffPtr() const { return handOff_; }

  // Render thread: the queued changes reach the filter. Answers the filter
  // used from now on (null without one).
  std::shared_ptr<image::Filter> dumpToFilter();
  // Render thread: the filter the last dumpToFilter took up.
  std::shared_ptr<image::Filter> renderFilter() const;
  // Render thread: the image inputs of a frame: `input` under "inputImage"
  // first, then each tap's texture under its key, or `input` where the tap
  // has none. Nothing for a null input.
  void setImages(image::Filter& filter, const image::Image& input) const;

  // Whether an element's value reaches a filter (images do not), and the
  // value it hands on under its key.
  static bool handsValueToFilter(const QCPanelElement& element);

 private:
  struct Plan {
    std::shared_ptr<image::Filter> filter;
    QSet<QString> attributeKeys;
    std::vector<std::shared_ptr<QCPanelElement>> taps;
  };
  void apply(const std::shared_ptr<QCPanelElement>& element, image::Filter& filter,
             const QSet<QString>& attributeKeys) const;

  std::shared_ptr<QCElementHandOff> handOff_;
  std::atomic<bool> deleted_{false};
  std::mutex planMutex_;
  std::shared_ptr<const Plan> plan_;  // under planMutex_
  // Render thread only.
  std::shared_ptr<const Plan> renderPlan_;
};
