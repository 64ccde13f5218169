#include "framework/params/QKQCGLAttrPubContext.h"

#include "framework/datasource/MasterClockInterface.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCTextStepping.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/toolkit/ControllerFinder.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {

// An output's value as a float: a number's, 1 or 0 for a boolean, else 0.
float outputFloat(const composition::QCRenderer& renderer, const QString& key,
                  composition::PortType type) {
  const QVariant value = renderer.valueForOutputKey(key);
  if (type == composition::PortType::Number) return value.toFloat();
  if (type == composition::PortType::Boolean) return value.toBool() ? 1.0f : 0.0f;
  return 0.0f;
}

}  // namespace

std::shared_ptr<QKQCGLAttrPubContext> QKQCGLAttrPubContext::create(
    const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
    bool publishOutputs, std::shared_ptr<RendererFactory> factory, Clock clock) {
  return createContext<QKQCGLAttrPubContext>(path, sharedContext, textureCache, size,
                                             publishOutputs, std::move(factory), std::move(clock));
}

QKQCGLAttrPubContext::QKQCGLAttrPubContext(gl::GLContext* sharedContext,
                                           gl::TexturePool* textureCache, QSizeF size,
                                           std::shared_ptr<RendererFactory> factory, Clock clock)
    : QKQCGLContext(sharedContext, textureCache, size, std::move(factory), std::move(clock)) {}

void QKQCGLAttrPubContext::init(bool publishOutputs) {
  loader_ = createAttributeLoader();
  if (dataSourceController_) loader_->setDataSourceController(dataSourceController_);
  if (MasterClockInterface* clock = masterClock_.load()) loader_->setMasterClock(clock);
  if (publishOutputs) {
    publisher_ = createAttributePublisher();
    publisher_->setDataSourceController(dataSourceController_);
  }
  findDataSourceController(this);
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(this));
}

QCAttributeLoader* QKQCGLAttrPubContext::createAttributeLoader() {
  auto* loader = new QCAttributeLoader();
  loader->setGeometry(0, 0, 30, 30);
  return loader;
}

std::shared_ptr<QCAttributePublisher> QKQCGLAttrPubContext::createAttributePublisher() {
  std::shared_ptr<QCAttributePublisher> publisher = QCAttributePublisher::create();
  publisher->setDelegate(this);
  return publisher;
}

QKQCGLAttrPubContext::~QKQCGLAttrPubContext() {
  if (!deleted()) prepareToBeDeleted();
  QPointer<QCAttributeLoader> loader = loader_;
  MainThread::run([loader] { delete loader.data(); });
}

void QKQCGLAttrPubContext::prepareToBeDeleted() {
  QPointer<QCAttributeLoader> loader = loader_;
  std::shared_ptr<QCAttributePublisher> publisher = publisher_;
  MainThread::run([loader, publisher] {
    if (loader) loader->prepareToBeDeleted();
    if (publisher) publisher->prepareToBeDeleted();
  });
  QKQCGLContext::prepareToBeDeleted();
}

QString QKQCGLAttrPubContext::formPathForComposition(const QString& path) {
  if (path.isEmpty()) return QString();
  QFileInfo file(path);
  const QString resolved = file.canonicalFilePath();
  if (!resolved.isEmpty()) file = QFileInfo(resolved);
  const QString form = file.dir().filePath(file.completeBaseName() + QStringLiteral(".ui"));
  return QFileInfo(form).isFile() ? form : QString();
}

void QKQCGLAttrPubContext::useFile(const QString& path, bool resetTimer) {
  if (!loader_ || deleted()) {
    QKQCGLContext::useFile(path, resetTimer);
    return;
  }
  const QString form = formPathForComposition(path);
  loader_->setCurrentSnapshotDict({});
  loader_->removeAllExistingElements();
  if (publisher_) publisher_->removeAllPublishedSources();
  QKQCGLContext::useFile(path, resetTimer);
  std::shared_ptr<const QKQCComposition> loaded = composition();
  loader_->loadAttributesForComposition(loaded, form);
  if (publisher_) publisher_->publishAttributesForComposition(loaded);
  if (loader_->defaultFileInput()) resetOutputs_.store(true);
}

// --- Render thread ------------------------------------------------------------------

void QKQCGLAttrPubContext::render() { renderWithFallbackImage({}); }

void QKQCGLAttrPubContext::renderWithFallbackImage(const composition::PortValue& fallbackImage) {
  releaseOutput();
  if (deleted()) return;
  QKQCGLContext::render();
  if (loader_) loader_->dumpToRenderer(renderer(), fallbackImage);
}

void QKQCGLAttrPubContext::draw() {
  releaseOutput();
  if (deleted() || !renderer()) return;
  QKQCGLContext::draw();
  finishDraw();
}

void QKQCGLAttrPubContext::drawToTransparentBG() {
  releaseOutput();
  if (deleted() || !renderer()) return;
  QKQCGLContext::drawToTransparentBG();
  finishDraw();
}

void QKQCGLAttrPubContext::finishDraw() {
  const std::shared_ptr<composition::QCRenderer>& current = renderer();
  if (publisher_) publisher_->publishValsForRenderer(current);
  if (resetOutputs_.exchange(false)) lastNextState_ = lastPrevState_ = lastBPM_ = 0;
  if (!loader_ || !current || current->outputKeys().isEmpty()) return;
  followTextOutputs(*current);
  followTempoOutput(*current);
}

void QKQCGLAttrPubContext::followTextOutputs(composition::QCRenderer& renderer) {
  const std::shared_ptr<QCPanelElement> element = loader_->renderThreadFileInput();
  auto* stepping = dynamic_cast<QCTextStepping*>(element.get());
  const bool synced = stepping && stepping->steppingButtonsSynced();
  const std::weak_ptr<QCPanelElement> text = element;
  const auto step = [text](void (QCTextStepping::*press)()) {
    MainThread::post([text, press] {
      auto held = text.lock();
      if (auto* target = dynamic_cast<QCTextStepping*>(held.get())) (target->*press)();
    });
  };
  if (const auto type = renderer.outputType(QStringLiteral("next"))) {
    const float next = outputFloat(renderer, QStringLiteral("next"), *type);
    if (lastNextState_ > next && stepping && !synced) step(&QCTextStepping::parseFwdButtonUsed);
    lastNextState_ = next;
  }
  if (const auto type = renderer.outputType(QStringLiteral("prev"))) {
    const float prev = outputFloat(renderer, QStringLiteral("prev"), *type);
    if (prev > lastPrevState_ && stepping && !synced) step(&QCTextStepping::parseBackButtonUsed);
    lastPrevState_ = prev;
  }
}

void QKQCGLAttrPubContext::followTempoOutput(composition::QCRenderer& renderer) {
  if (renderer.outputType(QStringLiteral("BPMOut")) != composition::PortType::Number) return;
  const float bpm = renderer.valueForOutputKey(QStringLiteral("BPMOut")).toFloat();
  if (bpm == lastBPM_) return;
  lastBPM_ = bpm;
  if (MasterClockInterface* clock = masterClock_.load()) clock->setBPM(bpm);
}

// --- Main thread --------------------------------------------------------------------

void QKQCGLAttrPubContext::setPublisherCatName(const QString& name) {
  if (name.isEmpty()) return;
  publisherCatName_ = name;
  if (publisher_) publisher_->setPublisherCatName(name);
}

void QKQCGLAttrPubContext::setDataSourceController(DataSourceController* controller) {
  dataSourceController_ = controller;
  if (loader_) loader_->setDataSourceController(controller);
  if (publisher_) publisher_->setDataSourceController(controller);
}

void QKQCGLAttrPubContext::setMasterClock(MasterClockInterface* clock) {
  masterClock_.store(clock);
  if (loader_) loader_->setMasterClock(clock);
}

void QKQCGLAttrPubContext::setParentScrollView(QKQCScrollView* scrollView) {
  if (!loader_) return;
  if (scrollView)
    scrollView->setDocumentView(loader_);
  else
    loader_->setParentScrollView(nullptr);
}

bool QKQCGLAttrPubContext::hasAttributes() const { return loader_ && loader_->hasAttributes(); }

QVariantMap QKQCGLAttrPubContext::createSnapshot() const {
  if (!loader_) {
    Log::line("\t\terr: can't make snap, AL is nil");
    return {};
  }
  return loader_->hasAttributes() ? loader_->createSnapshot() : QVariantMap();
}

void QKQCGLAttrPubContext::loadSnapshot(const QVariantMap& snapshot) {
  if (loader_ && !snapshot.isEmpty()) loader_->loadSnapshot(snapshot);
}

void QKQCGLAttrPubContext::deprecatedLoadSnapshot(const QVariantMap& snapshot) {
  if (loader_ && !snapshot.isEmpty()) loader_->deprecatedLoadSnapshot(snapshot);
}

QVariantMap QKQCGLAttrPubContext::currentSnapshotDict() const {
  return loader_ ? loader_->currentSnapshotDict() : QVariantMap();
}

void QKQCGLAttrPubContext::setLiveUpdating(bool flag) {
  if (loader_) loader_->setLiveUpdating(flag);
}

void QKQCGLAttrPubContext::removeAllExistingElements() {
  if (loader_) loader_->removeAllExistingElements();
}

void QKQCGLAttrPubContext::removeAllPublishedSources() {
  if (publisher_) publisher_->removeAllPublishedSources();
}
