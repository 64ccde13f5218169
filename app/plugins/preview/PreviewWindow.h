#pragma once

#include "app/compositor/CompositorClient.h"
#include "app/compositor/FrameDrawer.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPlugin.h"
#include "platform/foundation/NotificationObservers.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPointF>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class Compositor;
class DSFloatInfrequent;
class Layer;
class PreviewView;
class QKRTap;
class QKRTapMenuController;
class QKSliderControl;
namespace gl {
class GLContext;
}

// The "PreviewWindow" plug-in: a small view of one tap (a layer's or an
// input's) drawn every 2nd, 4th or 8th output frame, fitted with or
// without its aspect. For a layer's tap it offers the layer's comp mode
// and opacity. The mouse over the view is published as [name, "X"],
// [name, "Y"] and [name, "Mouse"]; a drag over a movie layer jogs its speed
// (upper half) or scratches its time (lower half); every click and drag
// samples the colour under the mouse ("QKPrevWinClickColorNotification",
// user info {"color": QColor}, posted on the main thread).
//
// Threads: `draw` runs on the render thread under the compositor's render
// lock, tries the draw lock once and skips the frame when it is busy; what
// it reads of the settings is atomic. Everything else runs on the main
// thread. The previewed layer is never owned: it is found again by the
// tap's name whenever it is used, and a drag holds it weakly, so a layer
// deleted mid-drag ends the drag. A layer showing its black frames, or no
// source, is previewed black.
class PreviewWindow : public QKPlugin, public FrameDrawer, public CompositorClient {
  Q_OBJECT
 public:
  static const QString kTypeName;               // "PreviewWindow"
  static const char kClickColorNotification[];  // "QKPrevWinClickColorNotification"
  static const QString kColorKey;               // "color"
  static const QSizeF kMinimumSize;             // of the window
  // The rate pop-up's items stand for 2, 4 and 8; 0 for any other index.
  static int rateForIndex(int index);

  PreviewWindow(const QString& type, const QString& name, std::int32_t uniqueID);
  ~PreviewWindow() override;
  static PluginClass pluginClass();

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void setCompositor(Compositor* compositor) override { compositor_ = compositor; }

  // Render thread.
  void draw() override;

  // --- Controls (main thread) ---
  void tapMenuUsed();
  void rateMenuUsed(int index);
  void compButtonUsed(int index);
  void preserveAspectButtonUsed(bool on);
  void jogScratchButtonUsed(bool on);
  // Ignored for a ratio that is not a finite number above 0.
  void aspectRatioFieldUsed(double ratio);
  void matchPreviewedAspectUsed();
  void bringCurrentLayerToTopOfClosestBin();
  void openOptionsPanel();
  void closeOptionsPanel();

  // --- Mouse over the view (main thread; view points, y down) ---
  void viewMouseDown(QPointF point, QSizeF view, bool command);
  void viewMouseDragged(QPointF point, QSizeF view);
  void viewMouseUp();

  // The previewed layer, found by the tap's name; null for an input's tap.
  Layer* tapLayer() const;
  int rate() const { return rate_.load(); }
  bool preserveAspectFlag() const { return preserveAspect_.load(); }
  bool jogScratchFlag() const { return jogScratch_; }
  double aspectRatio() const { return aspectRatio_; }
  bool trackingDrag() const { return trackingDrag_; }
  QKRTap* rTap() const { return rTap_.get(); }
  QKRTapMenuController* tapMenuController() const { return tapMenu_.get(); }
  QKNSPopUpButton* rateButton() const { return rateButton_; }
  QComboBox* compMenuButton() const { return compMenuButton_; }
  QKSliderControl* opacitySlider() const { return opacitySlider_; }
  QKButton* bringLayerToTopButton() const { return bringLayerToTopButton_; }
  PreviewView* previewView() const { return view_; }
  long flushCount() const { return flushes_.load(); }
  std::mutex& drawLock() { return drawLock_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void buildOptionsPanel(QWidget* window);
  void drawContent(gl::GLContext& context, QSize pixels);
  void sampleColour(gl::GLContext& context, QSize pixels);
  bool collapsed() const;
  void setSource(const QString& key, float value);
  void followLayer(Layer* layer);
  void endDrag();
  std::shared_ptr<Layer> clickedLayerInUse() const;
  bool tapShowsBlack() const;

  Compositor* compositor_ = nullptr;
  std::shared_ptr<QKRTap> rTap_;
  std::unique_ptr<QKRTapMenuController> tapMenu_;
  std::shared_ptr<DSFloatInfrequent> xDS_, yDS_, clickDS_;
  PreviewView* view_ = nullptr;
  QPointer<QWidget> viewContainer_;
  QPointer<QKNSPopUpButton> tapButton_;
  QPointer<QKNSPopUpButton> rateButton_;
  QPointer<QComboBox> compMenuButton_;
  QKSliderControl* opacitySlider_ = nullptr;
  QPointer<QKButton> preserveAspectButton_;
  QPointer<QKButton> jogScratchButton_;
  QPointer<QKButton> bringLayerToTopButton_;
  QPointer<QKButton> optionsButton_;
  QPointer<QLineEdit> aspectRatioField_;
  QPointer<BlackTranslucentPanel> optionsPanel_;
  bool registered_ = false;
  double aspectRatio_ = 4.0 / 3.0;
  bool jogScratch_ = true;
  QString tapName_;      // the chosen tap; empty for none
  QString linkedLayer_;  // the layer whose opacity and comp mode are linked

  // The drag.
  bool trackingDrag_ = false;
  bool clickedJog_ = false;
  bool wasPaused_ = false;
  float initialVal_ = 0.0f;
  QPointF clickedLoc_;
  std::weak_ptr<Layer> clickedLayer_;

  // Render thread.
  std::mutex drawLock_;
  int rateCounter_ = 0;  // under drawLock_
  std::atomic<int> rate_{2};
  std::atomic<bool> preserveAspect_{true};
  std::atomic<bool> sourceChosen_{false};
  std::atomic<bool> postClickedColor_{false};
  std::atomic<float> glClickedX_{0.0f}, glClickedY_{0.0f};
  std::atomic<long> flushes_{0};
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
