#pragma once

#include "app/compositor/CompositorClient.h"
#include "app/compositor/FrameDrawer.h"
#include "app/plugins/auxdisplay/AuxDisplayQKWinContentView.h"
#include "app/plugins/auxdisplay/AuxDisplayView.h"
#include "app/plugins/manager/GatherablePlugin.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QCheckBox>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

#include <atomic>
#include <memory>
#include <mutex>

#include "framework/toolkit/BlackTranslucentPanel.h"
class Compositor;
class QKRTap;
class QKRTapMenuController;

// The "AuxDisplay" plug-in: an extra output showing one source tap (a
// layer's or an input's), stretched over its view on every 1st, 2nd, 4th or
// 8th frame the compositor renders, and that can be stretched over a second
// screen. Double-click the view for its options (source, rate, fullscreen).
//
// Threads: `draw` runs on the render thread under the compositor's render
// lock; it only tries the draw lock and skips the frame when it is busy,
// and reads the rate, the collapse state and whether a source is chosen
// from atomics. Everything else runs on the main thread; wind-down holds
// the draw lock while it leaves the compositor.
class AuxDisplay : public QKPlugin,
                   public FrameDrawer,
                   public GatherablePlugin,
                   public CompositorClient {
  Q_OBJECT
 public:
  static const QString kTypeName;    // "AuxDisplay"
  static const QSizeF kMinimumSize;  // of the window
  // Rates by the rate pop-up's index.
  static int rateForIndex(int index);

  AuxDisplay(const QString& type, const QString& name, std::int32_t uniqueID);
  ~AuxDisplay() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void setCompositor(Compositor* compositor) override { compositor_ = compositor; }

  // Render thread.
  void draw() override;

  void tapMenuUsed();
  // The rate pop-up's choice; an index outside 0–3 changes nothing.
  void rateMenuUsed(int index);
  // 1 fills the one secondary screen the window touches; 0 goes back.
  void goFullscreen(int value);
  void gatherToWindowLocation(const QRectF& frame) override;
  void openOptionsPanel();
  void closeOptionsPanel();

  int rate() const { return rate_.load(); }
  QKRTap* rTap() const { return rTap_.get(); }
  QKRTapMenuController* tapMenuController() const { return tapMenu_.get(); }
  QKNSPopUpButton* button() const { return sourceButton_; }
  QKNSPopUpButton* rateButton() const { return rateButton_; }
  QCheckBox* fullscreenToggle() const { return fullscreenToggle_; }
  AuxDisplayView* previewView() const { return view_; }
  BlackTranslucentPanel* optionsPanel() const { return optionsPanel_; }
  QRectF preFullscreenWinFrame() const { return preFullscreenWinFrame_; }
  // Frames drawn and frames skipped on a busy lock, counted by `draw`.
  long flushCount() const { return flushes_.load(); }
  long skippedCount() const { return skipped_.load(); }
  std::mutex& drawLock() { return drawLock_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildOptionsPanel(QWidget* window);
  void drawContent(gl::GLContext& context, QSize pixels);
  bool collapsed() const;

  Compositor* compositor_ = nullptr;
  std::shared_ptr<QKRTap> rTap_;
  std::unique_ptr<QKRTapMenuController> tapMenu_;
  QPointer<AuxDisplayQKWinContentView> contentView_;
  AuxDisplayView* view_ = nullptr;  // owned by its container in the window
  QPointer<BlackTranslucentPanel> optionsPanel_;
  QPointer<QKNSPopUpButton> sourceButton_;
  QPointer<QKNSPopUpButton> rateButton_;
  QPointer<QCheckBox> fullscreenToggle_;
  QRectF preFullscreenWinFrame_;
  bool registered_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  std::mutex drawLock_;
  int rateCounter_ = 0;  // under drawLock_
  std::atomic<int> rate_{1};
  std::atomic<bool> sourceChosen_{false};
  std::atomic<long> flushes_{0};
  std::atomic<long> skipped_{0};
  // Last: removed first when the plug-in goes.
  NotificationObservers observers_;
};
