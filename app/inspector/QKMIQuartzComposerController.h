#pragma once

#include "app/inspector/MIPane.h"

#include <QObject>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>

class Compositor;
class MediaInspector;
class QComboBox;
class QKButton;
class QKFile;
class QKQCScrollView;
class QKQCSrcGLAttrPubBuffContext;
class QKQCView;
class QWidget;

// The media inspector's pane for compositions, text files and still
// images: the inspected file plays in an offscreen composition context of
// the pane's own (a text or image through its style composition), whose
// parameter panel the pane shows; a live preview; and, on apply, the
// panel's values go into the inspected files' pending properties (for texts
// and images one set of values per style).
//
// Threads: loading, unloading and applying on the main thread, spinning on
// `threadLock_`; `draw` on the render thread, which only tries it and skips
// the frame when it is busy.
class QKMIQuartzComposerController : public QObject, public MIPane {
  Q_OBJECT
 public:
  static const QString kPreviewDefaultKey;  // "qcInspectorPreviewDefault"

  // `stylePopUp` is the movie properties pane's style chooser (one control
  // for both panes); `optionsView` its size and style options, shown below
  // the panel.
  QKMIQuartzComposerController(MediaInspector* inspector, QComboBox* stylePopUp,
                               QWidget* optionsView);
  ~QKMIQuartzComposerController() override;

  // Takes the compositor from the inspector's host, fills the style menu
  // and sets the preview button from the user default.
  void awakeFromNib();

  void readFile(const std::shared_ptr<QKFile>& file) override;
  void readQCFile(const std::shared_ptr<QKFile>& file);
  void readTextFile(const std::shared_ptr<QKFile>& file);
  void readImageFile(const std::shared_ptr<QKFile>& file);
  void eject();
  void storeParamsForSelectedFiles() override;
  void draw() override;
  void renderOnOffButtonUsed();
  std::shared_ptr<QKFile> currentFile() const override { return currentFile_.lock(); }
  void prepareToBeDeleted();

  // The container the inspector shows.
  QWidget* view() const { return view_; }
  QKQCSrcGLAttrPubBuffContext* contextHolder() const { return contextHolder_.get(); }
  QKQCView* quartzComposerView() const { return quartzComposerView_; }
  QKQCScrollView* scrollView() const { return scrollView_; }
  QKButton* renderOnOffButton() const { return renderOnOffButton_; }
  QComboBox* stylePopUpButton() const { return stylePopUpButton_; }
  Compositor* compositor() const { return compositor_; }
  // The style the context was loaded with (empty for a composition file or
  // none): its values are kept under this name.
  QString loadedStyle() const { return loadedStyle_; }

 private:
  void buildView(QWidget* optionsView);
  void spinLock();
  void ensureContext();
  void unlockedUnload();
  QVariantMap propsOf(const QKFile& file, const char* kindName);
  void loadStyleValues(const QKFile& file);
  void sizeContext(const QKFile& file);
  QSizeF canvasSize() const;
  bool readStyled(const std::shared_ptr<QKFile>& file, bool text);

  MediaInspector* inspector_;
  Compositor* compositor_ = nullptr;
  std::shared_ptr<QKQCSrcGLAttrPubBuffContext> contextHolder_;
  QWidget* view_ = nullptr;
  QKQCScrollView* scrollView_ = nullptr;
  QKQCView* quartzComposerView_ = nullptr;
  QComboBox* stylePopUpButton_ = nullptr;
  QKButton* renderOnOffButton_ = nullptr;
  std::weak_ptr<QKFile> currentFile_;
  QString loadedStyle_;
  std::atomic<bool> previewOn_{true};
  std::atomic<bool> deleted_{false};
  // Render thread only (under threadLock_).
  int renderCount_ = 0;
  std::mutex threadLock_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
