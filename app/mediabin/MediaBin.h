#pragma once

#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBMediaBin.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBQuantizePicker.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/splitview/QKTQSplitView.h"
#include "framework/toolkit/QKPlugin.h"

#include <QCheckBox>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>

class MBContextualMenuController;
class MBLayerController;
class MBTOCController;
class MBLayerQueueHost;
class MBTriggerListenersController;
class MBViewsController;
class QKMediaBinHost;
class QWidget;

// The "MediaBin" plug-in: the window in which a performer plays the clips
// of the pages from the grid, the trigger listeners and the page tabs, onto
// the layers of its queue. It holds what the window's parts share for this
// bin: which pages are visible and open here, the current page (the one
// the listeners address), the selection, the icons and the note names, and
// routes the snapshot and the deletion to the parts. Several bins may
// exist; notifications name a bin by its unique ID.
//
// The window is made by `MediaBinWindowBuilder`. The bin reaches the pages,
// the file loader and the layers through the application controller
// (`QKMediaBinHost` and `MBLayerQueueHostSource`). Main thread only, but for
// `currentPageId` and `pageController`, which the listeners read on their
// input threads.
class MediaBin : public QKPlugin, public MBMediaBin {
  Q_OBJECT
 public:
  static const QString kTypeName;    // "MediaBin"
  static const QSizeF kMinimumSize;  // of the window
  static const QString kGridViewKey, kAutoClosePagesKey, kTriggerListenersKey, kLayerControllerKey,
      kPageTabsKey, kViewsControllerKey, kTOCKey, kPageSettingsKey, kCurrentPageIdKey,
      kComponentArrayKey;
  static const QStringList kOctaveStrings;  // "A", "A#", … "G#"

  MediaBin(const QString& type, const QString& name, std::int32_t uniqueID);
  ~MediaBin() override;

  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void loadOldMediaBinSnapshot(const QVariantMap& snapshot);

  // --- MBMediaBin ----------------------------------------------------------------------
  long uniqueID() const override { return QKPlugin::uniqueID(); }
  QKPageController* pageController() const override { return pages_; }
  QKFileLoaderInterface* fileLoader() const override;
  CompositorInterface* compositor() const override;
  bool willFullscreenHideAModal() const override;
  bool pageExpanded(long pageId) const override;
  void setPageExpanded(long pageId, bool expanded) override;
  bool pageVisible(long pageId) const override;
  void setPageVisible(long pageId, bool visible) override;
  std::vector<long> visiblePageIds() const override;
  long currentPageId() const override { return currentPageId_.load(); }
  void setCurrentPageId(long pageId) override { currentPageId_.store(pageId); }
  std::vector<long> selectedIds() const override;
  bool isSelected(long fileId) const override { return selectedFiles_.contains(fileId); }
  void setSelected(long fileId, bool selected) override;
  void toggleSelected(long fileId) { setSelected(fileId, !isSelected(fileId)); }
  void deselectAll() override { selectedFiles_.clear(); }
  QImage missingFileImage() const override { return missingFileImage_; }
  QImage textFileIconImage() const override { return textFileIconImage_; }
  QImage urlFileIconImage() const override { return urlFileIconImage_; }
  QImage folderIconImage() const { return folderIconImage_; }
  int listenerCount() const override;
  int transpose() const override;
  void justSetTranspose(int transpose) override;
  bool listenersHardwareLearnMode() const override;
  QString listenerName(int index) const override;
  void gridMouseDown() override;

  QVariantMap pageSettingsDict() const { return pageSettings_; }
  // The note's name: 60 gives "C2", 69 "A3", 33 "A0"; octaves step at each
  // A and count down below 33 (21 is "A-1"), so no two notes share a name.
  static QString stringForMIDINoteValue(int note);

  // --- The window's parts (null before the window is built) ------------------------------
  MBFileGridView* gridView() const { return gridView_; }
  MBPageTabsView* pageTabsView() const { return pageTabsView_; }
  MBLayerController* layerController() const { return layerController_.get(); }
  MBLayerController* triggerQueueController() const { return layerController_.get(); }
  MBTriggerListenersController* triggerListenersController() const { return listeners_.get(); }
  MBQuantizePicker* quantizePicker() const { return quantizePicker_; }
  MBViewsController* viewsController() const { return viewsController_.get(); }
  MBContextualMenuController* contextualMenuController() const { return menuController_.get(); }
  QCheckBox* autoClosePagesButton() const { return autoClosePagesButton_; }
  QKTQSplitView* leftRightSplitView() const { return leftRightSplitView_; }
  QKTQSplitView* topBottomSplitView() const { return topBottomSplitView_; }
  MBTOCController* tocController() const { return tocController_.get(); }

 private:
  friend class MediaBinWindowBuilder;
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void postExpanded(long pageId);

  QKMediaBinHost* host_ = nullptr;
  QKPageController* pages_ = nullptr;
  std::unique_ptr<MBLayerQueueHost> queueHost_;
  std::unique_ptr<MBLayerController> layerController_;
  std::unique_ptr<MBTriggerListenersController> listeners_;
  std::unique_ptr<MBViewsController> viewsController_;
  std::unique_ptr<MBContextualMenuController> menuController_;
  std::unique_ptr<MBTOCController> tocController_;
  QPointer<MBFileGridView> gridView_;
  QPointer<MBPageTabsView> pageTabsView_;
  QPointer<MBQuantizePicker> quantizePicker_;
  QPointer<QCheckBox> autoClosePagesButton_;
  QPointer<QKTQSplitView> leftRightSplitView_;
  QPointer<QKTQSplitView> topBottomSplitView_;

  // The window's buttons act while this lives.
  std::shared_ptr<int> actions_ = std::make_shared<int>(0);
  QVariantMap pageSettings_;
  QSet<long> selectedFiles_;
  std::atomic<long> currentPageId_{-1};
  QImage folderIconImage_, textFileIconImage_, urlFileIconImage_, missingFileImage_;
  bool deleted_ = false;
};
