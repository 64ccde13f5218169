#pragma once

#include "framework/splitview/TQSplitViewDelegate.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>

class MBFileGridView;
class MBTriggerListenersController;
class QDialog;
class QKButton;
class QKNSPopUpButton;
class QKTQSplitView;
class QLabel;
class QWidget;
class TQSplitSubview;

// The media bin window's views: its two split views, the options sheet
// (window-modal over the bin's window), the recording indicator, and the
// compact next-layer pop-up that stands in for the layer queue's pane while
// that pane is collapsed. A preset restore closes the sheet. The file
// loading sheet is kept but never raised: the loader's own progress window
// follows loads. Main thread only.
class MBViewsController : public QObject, public TQSplitViewDelegate {
  Q_OBJECT
 public:
  static const QString kSnapshotKey;     // "viewsController"
  static const QString kLRSplitViewKey;  // "LRSplitView"
  static const QString kTBSplitViewKey;  // "TBSplitView"

  struct Outlets {
    QWidget* window = nullptr;
    MBFileGridView* gridView = nullptr;
    MBTriggerListenersController* listeners = nullptr;
    QKButton* recordIndicatorButton = nullptr;
    QKButton* continuousDetectButton = nullptr;
    QKButton* openOptionsPanelButton = nullptr;
    QKButton* closeOptionsPanelButton = nullptr;
    QDialog* optionsPanel = nullptr;
    QKTQSplitView* leftRightSplitView = nullptr;
    QKTQSplitView* topBottomSplitView = nullptr;
    TQSplitSubview* layerSubview = nullptr;
    QKNSPopUpButton* nextLayerPopUpButton = nullptr;
    QLabel* nextLayerLabel = nullptr;
    QDialog* loadingFilesPanel = nullptr;
    QLabel* loadingCountTextField = nullptr;
    QLabel* loadingDescriptionTextField = nullptr;
  };

  explicit MBViewsController(Outlets outlets, QObject* parent = nullptr);
  ~MBViewsController() override;

  void awakeFromNib();
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void prepareToBeDeleted();

  void openOptionsPanelButtonUsed();
  void closeOptionsPanelButtonUsed();
  bool optionsPanelOpen() const;
  // Stops the capture recording (the capture controller's record toggle).
  void recordIndicatorButtonUsed();
  // How the recording is stopped; unset until the capture controller exists.
  void setStopRecording(std::function<void()> stop) { stopRecording_ = std::move(stop); }
  void applyNextLayerRule();
  void didAdjustSubviews(TQSplitView* splitView) override;

  void startLoadingProgressSheet() {}
  void stopLoadingProgressSheet();
  void fileAboutToLoad(const QVariantMap& userInfo);
  bool fileLoadingSheetDown() const { return fileLoadingSheetDown_; }

  const Outlets& outlets() const { return o_; }

 private:
  Outlets o_;
  std::function<void()> stopRecording_;
  bool fileLoadingSheetDown_ = false;
  bool deleted_ = false;
  NotificationObservers observers_;
};
