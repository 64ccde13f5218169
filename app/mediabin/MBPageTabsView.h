#pragma once

#include "platform/foundation/NotificationObservers.h"

#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <memory>
#include <vector>

class MBMediaBin;
class MBPageButton;
class MBTriggerListenersController;
class QKButtonCell;

// The strip of page tabs across a media bin: one learnable toggle tab per
// visible page, in page order, titled with the page's name. Using a tab (a
// click, or its MIDI note, OSC message, key or button) makes its page the
// bin's current page, opens it in the grid and resets the listeners'
// transpose. A tab keeps its identity and binding for as long as its page
// stays visible. Tabs are 20 to 120 points wide; those that do not fit run
// past the right edge.
//
// Main thread only: a tab's action always runs there, and page
// notifications from other threads reload the strip there.
class MBPageTabsView : public QWidget {
  Q_OBJECT
 public:
  static const QString kSnapshotKey;       // "pageTabsView"
  static const QString kPageTabsArrayKey;  // "pageTabsArray"
  static const QString kNoPagesVisible;    // "No Pages Visible"
  static constexpr double kMinTabWidth = 20;
  static constexpr double kMaxTabWidth = 120;

  MBPageTabsView(MBMediaBin* bin, MBTriggerListenersController* listeners,
                 QWidget* parent = nullptr);
  ~MBPageTabsView() override;

  void awakeFromNib();
  void reloadPageButtons();
  MBPageButton* findButtonWithPageId(long pageId) const;
  void pageButtonUsed(long pageId);
  void updateButtonStates();
  void addButtonWithSnapshot(const QVariantMap& snapshot);
  void resizePageButtons();
  const std::vector<QPointer<MBPageButton>>& pageTabsArray() const { return pageTabsArray_; }
  // The width every tab gets in a strip `width` wide with `count` tabs.
  static double tabWidth(double width, int count);

  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  MBPageButton* makeTab();
  void setUpTab(MBPageButton* tab);
  void visiblePagesChanged(const QVariantMap& userInfo, const void* object);
  QString pageName(long pageId) const;

  MBMediaBin* const bin_;
  QPointer<MBTriggerListenersController> listeners_;
  std::vector<QPointer<MBPageButton>> pageTabsArray_;
  // The tabs' actions run while this lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  bool deleted_ = false;
  NotificationObservers observers_;
};
