#pragma once

#include "framework/render/QKCIGLContext.h"

#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <QVariantMap>

#include <memory>

class CIAttributeLoader;
class CIFilterFeed;
namespace image {
class Filter;
}

// Draws one named filter on an input image, with a panel of its attributes
// (CIAttributeLoader) whose elements drive it and whose tap choosers feed
// its image inputs. Filter effects render through it.
//
// Per frame, on the render thread: setPBufferRef(), render() (the panel's
// queued changes reach the filter), drawImage(input) (the input under
// "inputImage", then the taps' images; the filter's result is read once
// and drawn), textureRef(). The panel is a widget of the main thread; the
// context owns it until its widget parent (a scroll view) takes it over.
class QKCIGLAttrContext : public QKCIGLContext {
 public:
  // Null unless the shared context, the texture cache and a name are given.
  // A name the registry does not know leaves the context without a filter:
  // it neither renders nor draws. Main thread.
  static std::shared_ptr<QKCIGLAttrContext> create(gl::GLContext* sharedContext,
                                                   gl::TexturePool* textureCache, QSizeF size,
                                                   const QString& filterName);
  ~QKCIGLAttrContext() override;

  // Main thread: a new filter and panel (the old one's elements go).
  void useFilterNamed(const QString& name);
  QString filterName() const { return filterName_; }

  // Render thread. Delivers the panel's changes, then the base render.
  void render() override;
  using QKCIGLContext::render;
  // Logs; drawing goes through drawImage.
  void draw() override;
  // Render thread: the filter on `input` into the buffer, and the output
  // texture. A null input only clears.
  void drawImage(const image::Image& input);

  // Main thread: the panel's canvas (positions and rectangles are measured
  // in it) and the context's size.
  void setSize(QSizeF size);

  CIAttributeLoader* attributeLoader() const { return loader_.data(); }
  bool hasAttributes() const;
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void deprecatedLoadSnapshot(const QVariantMap& snapshot);
  void removeAllExistingElements();
  void setParentScrollView(QScrollArea* scrollView);
  void prepareToBeDeleted() override;

 protected:
  QKCIGLAttrContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
                    const QString& filterName);
  // `create` for a subclass T (one with its own kind of panel).
  template <class T>
  static std::shared_ptr<T> createKind(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                                       QSizeF size, const QString& filterName) {
    if (filterName.isEmpty()) return nullptr;
    auto context = make<T>(sharedContext, textureCache, size, filterName);
    if (context) static_cast<QKCIGLAttrContext&>(*context).setUp(filterName);
    return context;
  }
  // The panel this context makes; subclasses make their own kind.
  virtual CIAttributeLoader* createAttributeLoader();

 private:
  friend class QKGLContext;
  void setUp(const QString& filterName);

  QPointer<CIAttributeLoader> loader_;
  // The panel's render side: all the render thread touches.
  std::shared_ptr<CIFilterFeed> feed_;
  QString filterName_;
};
