#pragma once

#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/MasterClockClient.h"
#include "framework/params/QCAttributePublisher.h"
#include "framework/render/QKQCGLContext.h"
#include "platform/composition/PortValue.h"
#include "platform/threading/RWTryLock.h"

#include <QVariantMap>

#include <atomic>
#include <memory>

class MasterClockInterface;
class QCAttributeLoader;
class QKQCScrollView;

// A composition render context that carries the composition's control
// panel (QCAttributeLoader) and, when asked, publishes its outputs
// (QCAttributePublisher): numbers, booleans, colours and points as data
// sources under the publisher's category, images as taps. Composition
// effects, sources and plug-ins derive from it.
//
// Per frame (render thread): render() hands the panel's changes, the tempo,
// the measure position and the tap images to the renderer; draw() draws,
// then finishDraw() stores the outputs for the data-source tick (under
// renderLock, which the render thread only tries) and follows three
// outputs: a falling "next" and a rising "prev" step the panel's text
// element (on the main thread, unless its step buttons follow a data
// source), and a changed "BPMOut" sets the master clock's tempo.
//
// Made on the main thread: the panel is a widget, owned by the context and
// shown through a QKQCScrollView. useFile() (main thread) rebuilds the panel
// and the published sources for the new composition; a Designer form
// "<composition name>.ui" beside the file lays the panel out.
class QKQCGLAttrPubContext : public QKQCGLContext,
                             public QCAttributePublisher::Delegate,
                             public DataSourceControllerClient,
                             public MasterClockClient {
 public:
  // Null when the shared context or the texture cache is missing. Posts
  // the data-source controller's and the master clock's finder
  // notifications, then loads `path` (when not empty).
  static std::shared_ptr<QKQCGLAttrPubContext> create(
      const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
      bool publishOutputs = false, std::shared_ptr<RendererFactory> factory = nullptr,
      Clock clock = nullptr);
  ~QKQCGLAttrPubContext() override;

  // The form beside a composition file: symbolic links resolved, the
  // extension replaced by ".ui"; empty when there is no such file.
  static QString formPathForComposition(const QString& path);

  using QKQCGLContext::useFile;
  void useFile(const QString& path, bool resetTimer) override;

  // Render thread.
  void render() override;
  // `fallbackImage` is set on a tap's input while its tap has no picture.
  void renderWithFallbackImage(const composition::PortValue& fallbackImage);
  // Unless deleted or without a renderer: the drawing, then finishDraw().
  void draw() override;
  void drawToTransparentBG() override;

  QCAttributeLoader* attributeLoader() const { return loader_; }
  // Null for a context that publishes nothing.
  const std::shared_ptr<QCAttributePublisher>& attributePublisher() const { return publisher_; }

  // Main thread.
  void setPublisherCatName(const QString& name);
  QString publisherCatName() const { return publisherCatName_; }
  void setDataSourceController(DataSourceController* controller) override;
  DataSourceController* dataSourceController() const { return dataSourceController_; }
  void setMasterClock(MasterClockInterface* clock) override;
  MasterClockInterface* masterClock() const { return masterClock_.load(); }
  void setParentScrollView(QKQCScrollView* scrollView);
  bool hasAttributes() const;
  // Empty without attributes (logged without a panel).
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void deprecatedLoadSnapshot(const QVariantMap& snapshot);
  QVariantMap currentSnapshotDict() const;
  void setLiveUpdating(bool flag);
  void removeAllExistingElements();
  void removeAllPublishedSources();
  void prepareToBeDeleted() override;

  // --- QCAttributePublisher::Delegate ---
  RWTryLock& renderLock() override { return renderLock_; }
  QSizeF renderSize() const override { return size(); }

 protected:
  QKQCGLAttrPubContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
                       std::shared_ptr<RendererFactory> factory, Clock clock);
  friend class QKGLContext;

  // Makes a context of class T (this one or a subclass), then its panel and
  // publisher, and loads `path`.
  template <class T>
  static std::shared_ptr<T> createContext(const QString& path, gl::GLContext* sharedContext,
                                          gl::TexturePool* textureCache, QSizeF size,
                                          bool publishOutputs,
                                          std::shared_ptr<RendererFactory> factory, Clock clock) {
    std::shared_ptr<T> context =
        make<T>(sharedContext, textureCache, size, std::move(factory), std::move(clock));
    if (!context) return nullptr;
    context->init(publishOutputs);
    if (!path.isEmpty()) context->useFile(path, true);
    return context;
  }

  // Made once, right after the context (subclasses make their own kinds).
  virtual QCAttributeLoader* createAttributeLoader();
  virtual std::shared_ptr<QCAttributePublisher> createAttributePublisher();
  // Makes the panel and the publisher and finds the controller and clock.
  void init(bool publishOutputs);
  // Render thread, after each draw.
  virtual void finishDraw();

 private:
  void followTextOutputs(composition::QCRenderer& renderer);
  void followTempoOutput(composition::QCRenderer& renderer);

  // Owned; deleted on the main thread after the context.
  QCAttributeLoader* loader_ = nullptr;
  std::shared_ptr<QCAttributePublisher> publisher_;
  RWTryLock renderLock_;
  DataSourceController* dataSourceController_ = nullptr;
  std::atomic<MasterClockInterface*> masterClock_{nullptr};
  QString publisherCatName_;
  // Set by useFile when the new panel has a text element: the render
  // thread starts the three outputs from 0 again.
  std::atomic<bool> resetOutputs_{false};
  // Render thread only: the last values of "next", "prev" and "BPMOut".
  float lastNextState_ = 0;
  float lastPrevState_ = 0;
  float lastBPM_ = 0;
};
