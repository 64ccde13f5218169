#pragma once

#include "framework/datasource/MasterClockClient.h"
#include "framework/params/CIFilterFeed.h"
#include "framework/params/QCPanelElement.h"
#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QScrollArea>
#include <QSizeF>
#include <QVariantMap>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

// The control panel of one filter: one element per attribute of the
// filter, in its declared input order, stacked top to bottom, and the
// hand-off of every change to the filter on the render thread (the same
// two lists as the composition panel, QCElementHandOff).
//
// What an attribute becomes (classify): a number (time, scalar, distance or
// angle) a slider, but only when it belongs to a parameter set
// ("CIUIParameterSet"), over its slider limits where it has them, else its
// limits; a boolean a toggle button; a position a position element
// (starting at the default, or (80, 60)); a rectangle a rectangle element;
// a colour a colour element (starting at the filter's colour); an image a
// tap chooser. Anything else is logged and left out.
//
// What the filter receives: under the element's key, a slider's ranged
// value (double), a button's state (bool), a colour (QColor), a position
// (QVector2D) and a rectangle (QVector4D: x, y, width, height), both in the
// image plane, whose y runs upward: a point the performer puts at the top
// of the pad marks the top of the picture. Images are set by the render
// context (QKCIGLAttrContext::drawImage).
//
// Threads: loading, layout and snapshots belong to the main thread; an
// element's change may come on any thread and is only queued. The render
// thread calls dumpToFilter before every render: it delivers what is queued
// to the filter, which it alone uses from then on. The filter, its
// attribute keys and the taps reach the render thread together through the
// panel's CIFilterFeed, which its render context shares.
class CIAttributeLoader : public QWidget, public MasterClockClient {
  Q_OBJECT
 public:
  enum class ElementKind { None, Slider, Button, Position, Rectangle, Color, Tap, Unrecognized };
  // The element of one attribute dictionary.
  static ElementKind classify(const QVariantMap& attribute);
  // A position attribute's starting point: its default as a point, or
  // (80, 60).
  static QPointF startingPoint(const QVariantMap& attribute);

  explicit CIAttributeLoader(QWidget* parent = nullptr);
  ~CIAttributeLoader() override;

  // Posts the master clock's finder notification.
  void awakeFromNib();

  // Main thread. Removes what the panel held, then makes the elements of
  // the filter's attributes; a null filter is logged. The filter must not
  // be in use on the render thread yet: its current values are read here.
  void loadAttributesForFilter(std::shared_ptr<image::Filter> filter);
  std::shared_ptr<image::Filter> filter() const { return filter_; }

  // Any thread: queues the element for the next frame. Ignored once
  // deleted, without a filter, or for a null element.
  void uiElementUsed(const std::shared_ptr<QCPanelElement>& element);

  // What the render thread takes of the panel (its render context keeps a
  // share of it).
  const std::shared_ptr<CIFilterFeed>& feed() const { return feed_; }
  // Render thread: see CIFilterFeed.
  std::shared_ptr<image::Filter> dumpToFilter() { return feed_->dumpToFilter(); }

  // Main thread: passed to every position and rectangle element.
  void setCanvasSize(QSizeF size);
  QSizeF canvasSize() const { return canvasSize_; }

  bool hasAttributes() const { return !elementArray_.empty(); }
  const std::vector<std::shared_ptr<QCPanelElement>>& elementArray() const { return elementArray_; }
  const std::vector<std::shared_ptr<QCPanelElement>>& tapArray() const { return tapArray_; }
  std::shared_ptr<QCPanelElement> findElementWithKey(const QString& key) const;

  // Empty for a panel without elements.
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  // Snapshots whose entries are found by the elements' keys alone.
  void deprecatedLoadSnapshot(const QVariantMap& snapshot);

  void removeAllExistingElements();
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }
  bool presetsAreLoading() const { return presetsAreLoading_; }

  // The scroll view that shows the panel (no relayout).
  void setParentScrollView(QScrollArea* scrollView) { parentScrollView_ = scrollView; }
  QScrollArea* parentScrollView() const { return parentScrollView_; }
  void resizeAndReposition();

  void setMasterClock(MasterClockInterface* clock) override { masterClock_ = clock; }
  MasterClockInterface* masterClock() const { return masterClock_; }

  // Tests: the hand-off between the senders and the render thread.
  QCElementHandOff& handOff() const { return feed_->handOff(); }

 protected:
  // The tap chooser of an image attribute; null leaves the attribute out.
  virtual std::shared_ptr<QCPanelElement> createTapElementForKey(const QString& key);

 private:
  void generateGenericInterfaceForFilter();
  std::shared_ptr<QCPanelElement> makeElement(ElementKind kind, const QString& key,
                                              const QVariantMap& attribute);
  // The colour, position, rectangle and tap elements.
  std::shared_ptr<QCPanelElement> makeOtherElement(ElementKind kind, const QString& key,
                                                   const QVariantMap& attribute);
  void bindElement(const std::shared_ptr<QCPanelElement>& element, ElementKind kind);

  QPointer<QScrollArea> parentScrollView_;
  std::vector<std::shared_ptr<QCPanelElement>> elementArray_;
  std::vector<std::shared_ptr<QCPanelElement>> tapArray_;
  std::shared_ptr<image::Filter> filter_;
  QSizeF canvasSize_{1, 1};
  MasterClockInterface* masterClock_ = nullptr;
  bool presetsAreLoading_ = false;
  std::shared_ptr<CIFilterFeed> feed_;
  // Whether element actions are taken (a filter is loaded and the panel
  // lives); shared with the actions.
  std::shared_ptr<std::atomic<bool>> accepting_;
  std::atomic<bool> deleted_{false};
  NotificationObservers observers_;
};
