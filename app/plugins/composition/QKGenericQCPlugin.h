#pragma once

#include "app/compositor/CompositorClient.h"
#include "app/compositor/FrameDrawer.h"
#include "app/plugins/manager/PluginClass.h"
#include "framework/controls/QKButton.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/toolkit/QKPlugin.h"

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class Compositor;
class QKQCGLAttrPubBuffContext;
class QWidget;

// A composition from a "plugins" folder run as a plug-in: a palette that
// plays the composition offscreen at 320 x 240 once per output frame, shows
// its published inputs as a panel of controls (laid out by "<name>.ui"
// beside the composition when there is one) and publishes its outputs under
// the instance name: numbers, booleans, colours and points as data sources,
// images as taps. The type is the composition's file name ("Blur.qtz"); the
// refresh button reads an edited file again.
//
// A composition that cannot be played (it takes a video input) leaves an
// empty panel and a warning, unless fullscreen output would hide it.
//
// Threads: `draw` runs on the render thread under the compositor's render
// lock; it tries the draw lock once and skips the frame when it is busy.
// prepareToBeDeleted leaves the compositor's list under that lock, so no
// frame reaches the plug-in afterwards, and hands the context (GL objects)
// to the deferred-release arrays to go after the frame under way.
// Everything else runs on the main thread.
class QKGenericQCPlugin : public QKPlugin, public FrameDrawer, public CompositorClient {
  Q_OBJECT
 public:
  static const QString kAttributeSnapshot;  // "QCAttributeSnapshot"
  static const QString kWarningTitle;       // "Hang on a second...."
  static const QString kWarningMessage;
  static const QString kWarningButton;  // "Okay"
  static constexpr QSizeF kRenderSize{320, 240};
  static constexpr QSizeF kMinimumSize{160, 80};  // of the window

  // Whether the file reads as a property-list dictionary.
  static bool isValidQCPluginAtPath(const QString& path);
  // Null, logged, when no "plugins" folder holds a file named `type`.
  static std::unique_ptr<QKGenericQCPlugin> create(const QString& type, const QString& name,
                                                   std::int32_t uniqueID);
  // The class of every composition type of the plug-in manager.
  static PluginClass pluginClass();

  // `path` is the composition found for `type`.
  QKGenericQCPlugin(const QString& path, const QString& type, const QString& name,
                    std::int32_t uniqueID);
  ~QKGenericQCPlugin() override;

  void awakeFromNib() override;
  void prepareToBeDeleted() override;
  // The published sources move to the new name first.
  void setPluginName(const QString& name) override;
  QVariantMap createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void setCompositor(Compositor* compositor) override { compositor_ = compositor; }

  // Render thread: one frame of the composition into the context's buffer,
  // its outputs published.
  void draw() override;

  // Reads the composition file again and lays the panel out anew.
  void refreshButtonUsed();
  // On the main thread the modal warning; from another thread it is queued
  // there and the caller goes on.
  void openVideoInputQCWarning();

  // Null when no render context could be made (no GL).
  const std::shared_ptr<QKQCGLAttrPubBuffContext>& contextHolder() const { return context_; }
  QString compositionPath() const { return path_; }
  QKButton* refreshButton() const { return refreshButton_; }
  QKQCScrollView* scrollView() const { return scrollView_; }
  // Frames drawn so far.
  long drawCount() const { return draws_.load(); }
  std::mutex& drawLock() { return drawLock_; }

 private:
  static std::unique_ptr<QWidget> buildWindow(QObject* owner);
  void createContext();
  void warnUnlessLoaded();
  void releaseContext();

  QString path_;
  Compositor* compositor_ = nullptr;
  bool registered_ = false;
  QPointer<QKButton> refreshButton_;
  QPointer<QKQCScrollView> scrollView_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  // Render thread, under drawLock_.
  std::shared_ptr<QKQCGLAttrPubBuffContext> context_;
  std::mutex drawLock_;
  std::atomic<bool> drawable_{true};
  std::atomic<long> draws_{0};
};
