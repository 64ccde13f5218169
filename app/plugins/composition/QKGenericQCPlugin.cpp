#include "app/plugins/composition/QKGenericQCPlugin.h"

#include "app/compositor/Compositor.h"
#include "app/plugins/manager/QCPluginFile.h"
#include "framework/controls/QKButton.h"
#include "framework/params/QKQCGLAttrPubBuffContext.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/QCUtils.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QFileInfo>
#include <QVBoxLayout>

#include <thread>

const QString QKGenericQCPlugin::kAttributeSnapshot = QStringLiteral("QCAttributeSnapshot");
const QString QKGenericQCPlugin::kWarningTitle = QStringLiteral("Hang on a second....");
const QString QKGenericQCPlugin::kWarningMessage = QStringLiteral(
    "This composition can't be loaded because it contains a video input- please remove the "
    "video input from the composition and try again.");
const QString QKGenericQCPlugin::kWarningButton = QStringLiteral("Okay");

namespace {

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

}  // namespace

bool QKGenericQCPlugin::isValidQCPluginAtPath(const QString& path) {
  return QCPluginFile::isValidQCPluginAtPath(path);
}

std::unique_ptr<QKGenericQCPlugin> QKGenericQCPlugin::create(const QString& type,
                                                             const QString& name,
                                                             std::int32_t uniqueID) {
  const QString path = QCUtils::pathForQCPluginNamed(type);
  if (path.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: no composition named %1 in the plugins folders").arg(type));
    return nullptr;
  }
  return std::make_unique<QKGenericQCPlugin>(path, type, name, uniqueID);
}

PluginClass QKGenericQCPlugin::pluginClass() {
  PluginClass composition;
  composition.create = [](const QString& type, const QString& name, std::int32_t uniqueID) {
    return std::unique_ptr<QKPlugin>(create(type, name, uniqueID));
  };
  composition.layout = &QKGenericQCPlugin::buildWindow;
  return composition;
}

QKGenericQCPlugin::QKGenericQCPlugin(const QString& path, const QString& type, const QString& name,
                                     std::int32_t uniqueID)
    : QKPlugin(type, name, uniqueID), path_(path) {
  NotificationCenter::defaultCenter().post(Compositor::kFinderNotification,
                                           static_cast<CompositorClient*>(this));
  createContext();
  warnUnlessLoaded();
}

QKGenericQCPlugin::~QKGenericQCPlugin() {
  if (!deleted()) prepareToBeDeleted();
}

void QKGenericQCPlugin::createContext() {
  // Loaded only once it publishes under the instance name.
  context_ = QKQCGLAttrPubBuffContext::create(QString(), gl::RenderThread::instance().mainContext(),
                                              &gl::TexturePool::shared(), kRenderSize, true);
  if (!context_) {
    Log::line(QStringLiteral("\t\terr: no render context for the composition plug-in %1")
                  .arg(windowTitle()));
    return;
  }
  context_->setLiveUpdating(false);
  context_->setPublisherCatName(windowTitle());
  context_->useFile(path_);
}

void QKGenericQCPlugin::warnUnlessLoaded() {
  if (!context_ || context_->composition()) return;
  if (compositor_ && compositor_->willFullscreenHideAModal()) return;
  openVideoInputQCWarning();
}

// --- Window ----------------------------------------------------------------------------------

std::unique_ptr<QWidget> QKGenericQCPlugin::buildWindow(QObject* owner) {
  auto window = std::make_unique<QKWindow>(QRectF(460, 300, 300, 300));
  auto* content = new QKWindowContentView;
  window->setContentView(content);
  content->setAllowResize(true);
  auto* self = qobject_cast<QKGenericQCPlugin*>(owner);
  if (!self) return window;
  QWidget* body = content->body();
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(3, 2, 3, 3);
  column->setSpacing(2);
  self->refreshButton_ = new QKButton(body);
  self->refreshButton_->setTitle(QStringLiteral("refresh"));
  self->refreshButton_->setTitle2(QStringLiteral("refresh"));
  self->refreshButton_->setFixedSize(64, 16);
  column->addWidget(self->refreshButton_, 0, Qt::AlignRight);
  self->scrollView_ = new QKQCScrollView(body);
  column->addWidget(self->scrollView_, 1);
  return window;
}

void QKGenericQCPlugin::awakeFromNib() {
  QKPlugin::awakeFromNib();
  // The palette's own awakening took its first frame as the smallest.
  if (QKWindow* w = window(); w && w->contentView()) w->contentView()->setMinSize(kMinimumSize);
  if (context_ && scrollView_) context_->setParentScrollView(scrollView_);
  if (refreshButton_) {
    refreshButton_->setTarget(alive_);
    refreshButton_->setTriggerOnMain(true);
    refreshButton_->setAction([this](QKButtonCell&) { refreshButtonUsed(); });
  }
  if (compositor_ && !registered_) {
    compositor_->registerNewPreviewWindow(this);
    registered_ = true;
  }
}

// --- Lifecycle -------------------------------------------------------------------------------

void QKGenericQCPlugin::prepareToBeDeleted() {
  if (deleted()) return;
  drawable_.store(false);
  // Taken under the render lock: the frame under way ends first and no
  // later one reaches this plug-in.
  if (compositor_ && registered_) compositor_->removeRegisteredPreviewWindow(this);
  registered_ = false;
  releaseContext();
  if (refreshButton_) refreshButton_->prepareToBeDeleted();
  alive_.reset();
  QKPlugin::prepareToBeDeleted();
}

void QKGenericQCPlugin::releaseContext() {
  // A draw called outside the compositor's pass finishes first.
  std::unique_lock<std::mutex> lock(drawLock_, std::defer_lock);
  while (!lock.try_lock()) std::this_thread::yield();
  if (!context_) return;
  if (scrollView_) scrollView_->setDocumentView(nullptr);
  context_->prepareToBeDeleted();
  // Its GL objects go on the render thread, after the frame under way.
  DeferredReleaseArrays::shared().addRenderer(std::move(context_));
}

void QKGenericQCPlugin::setPluginName(const QString& name) {
  if (context_) context_->setPublisherCatName(name);
  QKPlugin::setPluginName(name);
}

// --- Frames (render thread) ------------------------------------------------------------------

void QKGenericQCPlugin::draw() {
  std::unique_lock<std::mutex> lock(drawLock_, std::try_to_lock);
  if (!lock.owns_lock() || !drawable_.load() || !context_) return;
  context_->render();
  context_->draw();
  draws_.fetch_add(1);
}

// --- Controls (main thread) ------------------------------------------------------------------

void QKGenericQCPlugin::refreshButtonUsed() {
  if (deleted() || !context_) return;
  const QString path = context_->rendererPath().isEmpty() ? path_ : context_->rendererPath();
  context_->useFile(QString());
  context_->useFile(path);
  if (scrollView_) scrollView_->setFrame(scrollView_->geometry());
  warnUnlessLoaded();
}

void QKGenericQCPlugin::openVideoInputQCWarning() {
  // Queued from other threads: the caller may hold a lock the main thread
  // wants, and an alert must never hold up the render thread.
  MainThread::run([] { Alert::show(kWarningTitle, kWarningMessage, {kWarningButton}); });
}

// --- Snapshots -------------------------------------------------------------------------------

QVariantMap QKGenericQCPlugin::createSnapshot() const {
  QVariantMap base = QKPlugin::createSnapshot();
  if (context_ && !context_->rendererPath().isEmpty())
    base.insert(kName, QFileInfo(context_->rendererPath()).fileName());
  QVariantMap snapshot{{kSuperSnap, base}};
  if (context_ && context_->hasAttributes()) {
    const QVariantMap values = context_->createSnapshot();
    if (!values.isEmpty()) snapshot.insert(kAttributeSnapshot, values);
  }
  return snapshot;
}

void QKGenericQCPlugin::loadSnapshot(const QVariantMap& snapshot) {
  if (isMap(snapshot.value(kSuperSnap))) QKPlugin::loadSnapshot(snapshot.value(kSuperSnap).toMap());
  if (context_ && isMap(snapshot.value(kAttributeSnapshot)))
    context_->loadSnapshot(snapshot.value(kAttributeSnapshot).toMap());
}
