#include "framework/params/QKCIGLAttrContext.h"

#include "framework/params/CIAttributeLoader.h"
#include "framework/params/CIFilterFeed.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterRegistry.h"

std::shared_ptr<QKCIGLAttrContext> QKCIGLAttrContext::create(gl::GLContext* sharedContext,
                                                             gl::TexturePool* textureCache,
                                                             QSizeF size,
                                                             const QString& filterName) {
  return createKind<QKCIGLAttrContext>(sharedContext, textureCache, size, filterName);
}

QKCIGLAttrContext::QKCIGLAttrContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                                     QSizeF size, const QString& filterName)
    : QKCIGLContext(sharedContext, textureCache, size), filterName_(filterName) {}

QKCIGLAttrContext::~QKCIGLAttrContext() {
  if (!deleted()) prepareToBeDeleted();
  QPointer<CIAttributeLoader> loader = loader_;
  if (!loader) return;
  // A widget goes on the main thread, unless a widget parent took it over.
  MainThread::run([loader] {
    if (loader && !loader->parent()) delete loader.data();
  });
}

CIAttributeLoader* QKCIGLAttrContext::createAttributeLoader() {
  auto* loader = new CIAttributeLoader;
  loader->resize(30, 30);
  return loader;
}

void QKCIGLAttrContext::setUp(const QString& filterName) {
  loader_ = createAttributeLoader();
  feed_ = loader_->feed();
  loader_->setCanvasSize(size());
  useFilterNamed(filterName);
}

void QKCIGLAttrContext::useFilterNamed(const QString& name) {
  filterName_ = name;
  if (!loader_) return;
  loader_->removeAllExistingElements();
  std::shared_ptr<image::Filter> filter = image::FilterRegistry::shared().filterWithName(name);
  if (!filter) {
    Log::line(QStringLiteral("\t\terr: no filter named %1").arg(name));
    return;
  }
  filter->setDefaults();
  loader_->loadAttributesForFilter(std::move(filter));
}

void QKCIGLAttrContext::render() {
  if (!deleted() && feed_) feed_->dumpToFilter();
  QKCIGLContext::render();
}

void QKCIGLAttrContext::draw() {
  Log::limited(QStringLiteral("QKCIGLAttrContext.draw"),
               QStringLiteral("err: QKCIGLAttrContext:draw:"));
}

void QKCIGLAttrContext::drawImage(const image::Image& input) {
  std::shared_ptr<image::Filter> filter = feed_ ? feed_->renderFilter() : nullptr;
  if (deleted() || !filter || !initialized() || needsReshape()) return;
  if (!beginDrawUncleared(true)) {
    target().detach();
    return;
  }
  image::Image output;
  if (!input.isNull()) {
    feed_->setImages(*filter, input);
    output = filter->outputImage();
  }
  drawOverBuffer(output);
  endDraw();
}

void QKCIGLAttrContext::setSize(QSizeF size) {
  QPointer<CIAttributeLoader> loader = loader_;
  MainThread::run([loader, size] {
    if (loader) loader->setCanvasSize(size);
  });
  QKGLContext::setSize(size);
}

bool QKCIGLAttrContext::hasAttributes() const { return loader_ && loader_->hasAttributes(); }

QVariantMap QKCIGLAttrContext::createSnapshot() const {
  if (!loader_ || !loader_->hasAttributes()) return {};
  return loader_->createSnapshot();
}

void QKCIGLAttrContext::loadSnapshot(const QVariantMap& snapshot) {
  if (!loader_) {
    Log::line("\t\terr: can't restore CIGLAttrContext snap, attrib loader was nil");
    return;
  }
  loader_->loadSnapshot(snapshot);
}

void QKCIGLAttrContext::deprecatedLoadSnapshot(const QVariantMap& snapshot) {
  if (!loader_) {
    Log::line("\t\terr: can't restore CIGLAttrContext snap, attrib loader was nil");
    return;
  }
  loader_->deprecatedLoadSnapshot(snapshot);
}

void QKCIGLAttrContext::removeAllExistingElements() {
  if (loader_) loader_->removeAllExistingElements();
}

void QKCIGLAttrContext::setParentScrollView(QScrollArea* scrollView) {
  if (loader_) loader_->setParentScrollView(scrollView);
}

void QKCIGLAttrContext::prepareToBeDeleted() {
  if (loader_ && MainThread::isMainThread()) loader_->prepareToBeDeleted();
  QKCIGLContext::prepareToBeDeleted();
}
