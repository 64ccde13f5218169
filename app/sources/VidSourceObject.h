#pragma once

#include "framework/media/QKFileSource.h"
#include "platform/gl/DisplayLink.h"
#include "platform/gl/TextureHandle.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <atomic>
#include <memory>

class DataSource;
class Layer;
class LayerInterface;
class QKFile;

// The base of every layer source and the contract the layer relies on: a
// layer owns one source of each kind for its whole life and shows the
// picture of one of them. The base does nothing: a kind overrides what it
// needs.
//
// Threads: `render`, `skippedRenderTask` and `currentTexture` run on the
// render thread under the layer's lock; the rest on the main thread (the
// layer switches sources with the compositor's render lock held). The
// flags are atomics any thread may read.
//
// A source is made shared (the compositor's factories) so that the media
// file it plays can point back at it (`QKFile::currentSource`).
class VidSourceObject : public QKFileSource, public std::enable_shared_from_this<VidSourceObject> {
 public:
  // The class keys, which are also the names the layer makes them with.
  static const QString kQCSource;     // "QCSource"
  static const QString kMovieSource;  // "MovieSource"
  static const QString kTapSource;    // "TapSource"
  static const QString kImageSource;  // "ImageSource"
  static const QString kWebSource;    // "WebSource"

  // Not owned: the layer owns the source.
  VidSourceObject(QString name, Layer* layer);
  ~VidSourceObject() override;
  VidSourceObject(const VidSourceObject&) = delete;
  VidSourceObject& operator=(const VidSourceObject&) = delete;

  // One way: a deleted source loads nothing more.
  virtual void prepareToBeDeleted() { deleted_.store(true); }
  bool deleted() const { return deleted_.load(); }

  // Render thread: the frame's update while the layer contributes to it.
  virtual void render(const gl::DisplayLink::Frame& frame) { (void)frame; }
  // Render thread, movie kind: the frame passed without the layer.
  virtual void skippedRenderTask(const gl::DisplayLink::Frame& frame) { (void)frame; }
  // Render thread: the texture to draw this frame (null: none new).
  virtual gl::TextureHandle currentTexture() { return {}; }

  virtual void loadThisFile(const std::shared_ptr<QKFile>& file) { (void)file; }
  virtual std::shared_ptr<QKFile> currentFile() const { return nullptr; }
  // Whether a file is loaded, from any thread: never waits and takes no
  // reference to the file, so the render thread asks this.
  virtual bool hasFile() const { return false; }
  virtual QString currentPath() const { return {}; }
  virtual void eject() {}
  void ejectButtonUsed() { eject(); }
  virtual void stop() {}
  virtual void start() {}
  // Web kind: reloads the page.
  virtual void refresh() {}
  // Movie kind, main thread: the movie's idle step.
  virtual void movieTaskNow() {}
  // Movie kind: sets the layer's movie-position source to the play position.
  virtual void setDataSource(DataSource* source) { (void)source; }

  virtual QVariantMap createSnapshot() const { return {}; }
  void loadSnapshot(const QVariantMap& snapshot) { loadSnapshot(snapshot, true); }
  // With `trigger` NO (a source restored while another is current) the
  // snapshot's file is not triggered again.
  virtual void loadSnapshot(const QVariantMap& snapshot, bool trigger) {
    (void)snapshot;
    (void)trigger;
  }

  // Composition kind: the image-player composition chosen last (null: none
  // yet; "<Built-In Player>": the image source).
  virtual QString lastImageStyleName() const { return {}; }
  virtual void setLastImageStyleName(const QString& name) { (void)name; }
  // Composition kind: the file was refused because its composition takes a
  // video input (the source holds no composition).
  virtual bool refusedVideoInput() const { return false; }
  // Tap kind: binds to the named tap; NO when it cannot.
  virtual bool useTapNamed(const QString& name) {
    (void)name;
    return false;
  }
  // Tap kind: the tap last chosen on the receiving tap (empty: none).
  virtual QString receivingTapName() const { return {}; }
  // Tap kind: the layer whose send tap feeds the receiving tap now.
  virtual LayerInterface* tappedLayer() const { return nullptr; }

  bool loading() const { return loading_.load(); }
  bool stopped() const { return stopped_.load(); }
  bool blackFrame() const { return blackFrame_.load(); }
  void setBlackFrame(bool black) { blackFrame_.store(black); }
  virtual bool qtFlag() const { return false; }
  virtual bool qcFlag() const { return false; }
  virtual bool isVideoInput() const { return false; }

  // The control panel (null until a kind makes one).
  QWidget* view() const { return view_; }
  QString name() const override { return name_; }
  Layer* layer() const { return layer_; }

 protected:
  void setView(QWidget* view) { view_ = view; }
  void setLoading(bool loading) { loading_.store(loading); }
  void setStopped(bool stopped) { stopped_.store(stopped); }

 private:
  QPointer<QWidget> view_;
  const QString name_;
  Layer* const layer_;
  std::atomic<bool> loading_{false};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> deleted_{false};
  std::atomic<bool> blackFrame_{true};
};
