#pragma once

#include "framework/render/QKGLContext.h"
#include "framework/render/QKQCComposition.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace composition {
class CompositionDocument;
class QCRenderer;
}  // namespace composition

// Plays one composition file into its owner's buffer and hands the frame on
// as a texture. The renderer is made at the first render after a file is
// set, and the composition's time (seconds) runs from that moment.
//
// Per frame (render thread): setPBufferRef(), render(), inputs set on
// renderer(), draw() or drawToTransparentBG(), textureRef().
//
// useFile() is called on the main thread while the render thread plays the
// previous file: what a file is read into (File) is published whole and
// shared, so the render thread's copy stays valid until it lets go of it.
// The render thread notices the change at its next render(), hands the old
// renderer to the deferred-release arrays (it may still be drawn from in
// the frame under way) and makes a new one, whose clock starts at 0. The
// published file sits behind a mutex held only to copy or swap the
// pointer; the render thread only tries it, and keeps playing what it has
// for a frame when it is busy.
class QKQCGLContext : public QKGLContext {
 public:
  // A file as read on the main thread.
  struct File {
    QString path;
    // Null when the file is unreadable or takes live video input.
    std::shared_ptr<const QKQCComposition> composition;
    // What the runtime plays (see RendererFactory::load).
    std::shared_ptr<const composition::CompositionDocument> document;
    // The new renderer keeps counting from the start of the one it replaces.
    bool keepTime = false;
  };

  // How renderers are made: the runtime's, or a test's own.
  class RendererFactory {
   public:
    virtual ~RendererFactory() = default;
    // Main thread: reads what the renderer plays into `file`; false (logged)
    // when the runtime refuses the file, which then stays idle.
    virtual bool load(File& file);
    // Render thread, GL context current: a renderer of the file, or null
    // (logged by the runtime) when it cannot be made.
    virtual std::shared_ptr<composition::QCRenderer> make(const File& file);
  };

  // Seconds on a steady clock.
  using Clock = std::function<double()>;
  static double steadySeconds();

  // Null when the shared context or the texture cache is missing. A null
  // factory or clock takes the default one.
  static std::shared_ptr<QKQCGLContext> create(const QString& path, gl::GLContext* sharedContext,
                                               gl::TexturePool* textureCache, QSizeF size,
                                               std::shared_ptr<RendererFactory> factory = nullptr,
                                               Clock clock = nullptr);
  ~QKQCGLContext() override;

  // The factory of contexts made without one: the runtime's unless a test
  // replaces it (null restores the runtime's).
  static void setDefaultRendererFactory(std::shared_ptr<RendererFactory> factory);
  static std::shared_ptr<RendererFactory> defaultRendererFactory();

  // Takes up a newly set file and makes its renderer (render thread); does
  // nothing while there is no usable composition.
  void render() override;
  // The composition at the time since its renderer was made (a negative or
  // undefined time is 0), over opaque black.
  void draw() override;
  // The same over transparent black.
  virtual void drawToTransparentBG();

  // Switches to another file (any thread but the render thread; an empty
  // path leaves the context idle). Ignored once deleted. Even the file in
  // use gets a new renderer; its time restarts at 0 when `resetTimer`, else
  // it runs on from the start of the renderer it replaces.
  void useFile(const QString& path) { useFile(path, true); }
  virtual void useFile(const QString& path, bool resetTimer);

  QString rendererPath() const;
  std::shared_ptr<const QKQCComposition> composition() const;
  // Render thread: the renderer of the file taken up by the last render().
  const std::shared_ptr<composition::QCRenderer>& renderer() const { return renderer_; }

 protected:
  QKQCGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
                std::shared_ptr<RendererFactory> factory, Clock clock);
  friend class QKGLContext;

 private:
  std::shared_ptr<File> read(const QString& path);
  void takeUpFile();
  void drawOver(const QVector4D& background, bool replace);
  void handOverRenderer();

  std::shared_ptr<RendererFactory> factory_;
  Clock clock_;
  void publish(std::shared_ptr<const File> file);
  std::shared_ptr<const File> published() const;

  mutable std::mutex fileMutex_;
  std::shared_ptr<const File> file_;  // guarded by fileMutex_
  // Render thread only.
  std::shared_ptr<const File> playing_;
  std::shared_ptr<composition::QCRenderer> renderer_;
  bool rendererFailed_ = false;
  std::optional<double> startTime_;
};
