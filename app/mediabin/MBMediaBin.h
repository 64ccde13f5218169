#pragma once

#include <QImage>
#include <QString>

#include <vector>

class CompositorInterface;
class QKFileLoaderInterface;
class QKPageController;

// What the file grid needs of its media bin window: the pages' settings,
// the selection, the current page, the icons and the trigger listeners of
// the cells. Main thread only, but for `pageController`, `uniqueID` and
// `currentPageId`, which the trigger listeners read on their input threads.
// The media bin window implements it.
class MBMediaBin {
 public:
  virtual ~MBMediaBin() = default;
  virtual long uniqueID() const = 0;
  virtual QKPageController* pageController() const = 0;
  virtual QKFileLoaderInterface* fileLoader() const = 0;
  virtual CompositorInterface* compositor() const = 0;
  // Whether the fullscreen output would hide a modal alert.
  virtual bool willFullscreenHideAModal() const = 0;

  // "PageVisible-%ld" / "PageExpanded-%ld"; an absent setting is YES.
  virtual bool pageExpanded(long pageId) const = 0;
  virtual void setPageExpanded(long pageId, bool expanded) = 0;
  virtual bool pageVisible(long pageId) const = 0;
  virtual void setPageVisible(long pageId, bool visible) = 0;
  virtual std::vector<long> visiblePageIds() const = 0;
  virtual long currentPageId() const = 0;
  virtual void setCurrentPageId(long pageId) = 0;

  virtual std::vector<long> selectedIds() const = 0;
  virtual bool isSelected(long fileId) const = 0;
  virtual void setSelected(long fileId, bool selected) = 0;
  virtual void deselectAll() = 0;

  virtual QImage missingFileImage() const = 0;
  virtual QImage textFileIconImage() const = 0;
  virtual QImage urlFileIconImage() const = 0;

  // The trigger listeners of the current page's cells.
  virtual int listenerCount() const = 0;
  virtual int transpose() const = 0;
  virtual void justSetTranspose(int transpose) = 0;
  virtual bool listenersHardwareLearnMode() const = 0;
  virtual QString listenerName(int index) const = 0;
  // A mouse-down in the grid, before the grid handles it: the data-source
  // controller's selection clears and, in hardware learn, the listeners
  // become its learn target.
  virtual void gridMouseDown() {}
};
