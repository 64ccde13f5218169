#include "app/sources/WebSource.h"

#include "app/compositor/Layer.h"
#include "app/sources/QKFavIconDisplay.h"
#include "app/sources/QKWebWindow.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/SourceRouting.h"
#include "app/sources/WebGLPreview.h"
#include "app/sources/WebSourceRules.h"
#include "framework/controls/QKButton.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKURLFile.h"
#include "framework/params/CIPositionElement.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

const QString WebSource::kSourceType = QStringLiteral("webSource");

namespace {
const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kUrlKey = QStringLiteral("urlTextField");
const QString kFileIdKey = QStringLiteral("sourceFileID");
const QString kWidthKey = QStringLiteral("widthTextField");
const QString kHeightKey = QStringLiteral("heightTextField");
const QString kPositionKey = QStringLiteral("renderPositionElement");
const QString kBackKey = QStringLiteral("backButton");
const QString kFwdKey = QStringLiteral("fwdButton");
const QString kUseCustomRes = QStringLiteral("useCustomResForURL");
const QString kHorRes = QStringLiteral("urlHorRes");
const QString kVertRes = QStringLiteral("urlVertRes");

std::atomic<int> maxTexture{8192};

std::optional<int> intValue(const QVariant& value) {
  const int type = value.typeId();
  if (type != QMetaType::Int && type != QMetaType::LongLong && type != QMetaType::Double &&
      type != QMetaType::UInt && type != QMetaType::ULongLong)
    return std::nullopt;
  return value.toInt();
}

void releaseLater(gl::TextureHandle& texture) {
  if (texture)
    DeferredReleaseArrays::shared().addBuffer(
        std::make_shared<gl::TextureHandle>(std::move(texture)));
  texture = {};
}

QKButton* navButton(QWidget* parent, const QString& title, const QRect& frame) {
  auto* button = new QKButton(parent);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(0);
  button->setTriggerOnMain(true);
  button->setGeometry(frame);
  return button;
}
}  // namespace

WebSource::WebSource(const QString& name, Layer* layer) : VidSourceObject(name, layer) {
  makePanel();
  observers_.observe(kPropsUpdated, nullptr,
                     [this](const Notification& n) { urlFileParamsUpdated(n.object); });
}

WebSource::~WebSource() {
  observers_.clear();
  if (!deleted()) prepareToBeDeleted();
  MainThread::cancel(this);
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    delete view_.data();
    window_.reset();
  }
  delete preview_.data();
  releaseLater(texture_);
}

int WebSource::maxTextureSize() { return maxTexture.load(); }

// The panel: back, forward, the icon and the address on top; the size
// fields; the preview; the position at the bottom.
void WebSource::makePanel() {
  auto* panel = new QWidget;
  panel->resize(320, 300);
  backButton_ = navButton(panel, QStringLiteral("<"), QRect(4, 4, 24, 18));
  fwdButton_ = navButton(panel, QStringLiteral(">"), QRect(30, 4, 24, 18));
  for (QKButton* button : {backButton_.data(), fwdButton_.data()}) {
    button->setTarget(alive_);
    button->setAction([this, button](QKButtonCell&) { navButtonUsed(button); });
  }
  favIcon_ = new QKFavIconDisplay(panel);
  favIcon_->setGeometry(58, 4, 18, 18);
  urlField_ = new QLineEdit(panel);
  urlField_->setGeometry(80, 3, 236, 20);
  QObject::connect(urlField_, &QLineEdit::returnPressed, urlField_, [this] { urlTextFieldUsed(); });

  auto* widthLabel = new QLabel(QStringLiteral("width"), panel);
  widthLabel->setGeometry(4, 28, 40, 18);
  widthField_ = new QLineEdit(QStringLiteral("640"), panel);
  widthField_->setValidator(new QIntValidator(0, 1 << 16, widthField_));
  widthField_->setGeometry(46, 28, 56, 18);
  auto* heightLabel = new QLabel(QStringLiteral("height"), panel);
  heightLabel->setGeometry(108, 28, 44, 18);
  heightField_ = new QLineEdit(QStringLiteral("480"), panel);
  heightField_->setValidator(new QIntValidator(0, 1 << 16, heightField_));
  heightField_->setGeometry(154, 28, 56, 18);
  for (QLineEdit* field : {widthField_.data(), heightField_.data()})
    QObject::connect(field, &QLineEdit::editingFinished, field,
                     [this, field] { resolutionTextFieldUsed(field); });

  preview_ = new WebGLPreview(panel);
  preview_->setGeometry(4, 50, 312, 162);
  preview_->setWebSource(this);
  // The top left of the page.
  position_ = CIPositionElement::create(QRectF(4, 216, 312, 80), panel, QSizeF(1, 1));
  if (position_) position_->setPointValue(QPointF(0, 0));
  setView(panel);
}

bool WebSource::isCurrentSource() const { return layer() && layer()->currentSource() == this; }

QWidget* WebSource::renderWindow() const { return window_.get(); }

QString WebSource::currentPath() const {
  auto file = std::dynamic_pointer_cast<QKURLFile>(currentFile_.load());
  if (!file) return {};
  if (file->webArchive() && !file->fullPath().isEmpty()) return file->fullPath();
  return file->urlString().isEmpty() ? QString() : file->urlString();
}

// --- The page window -------------------------------------------------------------------------

void WebSource::prepareWebViewsIfNeeded() {
  if (deleted()) return;
  if (!window_ || !view_) {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (!window_) window_.reset(QKWebWindow::create());
    if (!view_) {
      view_ = new QKWebView(window_.get());
      view_->setGeometry(0, 0, 320, 240);
      QObject::connect(view_->page(), &QWebEnginePage::loadingChanged, view_,
                       [this](const QWebEngineLoadingInfo& info) {
                         if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                           provisionalLoadStarted(info.url());
                       });
      QObject::connect(view_, &WebView::loadEnded, view_,
                       [this](const WebLoadOutcome&) { loadFinished(); });
      QObject::connect(view_->page(), &QWebEnginePage::iconChanged, view_,
                       [this](const QIcon&) { updateFavIcon(); });
    }
    window_->show();  // drawn, never on screen
  }
  const QSize size = renderSize();
  if (isCurrentSource() && layer()->layerSize() != QSizeF(size))
    layer()->setLayerSize(QSizeF(size));
  const bool resize = window_->size() != size || view_->size() != size;
  if (resize && !pendingResizeCall_.exchange(true)) {
    MainThread::post([this, alive = std::weak_ptr<int>(alive_)] {
      if (alive.lock()) mainThreadResize();
    });
    return;
  }
  scrollIfNeeded();
}

void WebSource::mainThreadResize() {
  if (deleted() || !view_) {
    pendingResizeCall_.store(false);
    return;
  }
  const QSize size = renderSize();
  if (window_->size() != size) window_->setGeometry(0, 0, size.width(), size.height());
  if (view_->size() != size) view_->setGeometry(0, 0, size.width(), size.height());
  scrollIfNeeded();
  pendingResizeCall_.store(false);
}

// The part of a larger page the position picks; the same arithmetic gives
// the wanted and the applied point, so a settled page asks for nothing.
void WebSource::scrollIfNeeded() {
  if (!view_ || !view_->hasDocument() || !position_) return;
  const QSizeF page = view_->getPageSize();
  const QPointF position = position_->pointValue();
  const QPoint wanted = WebSourceRules::scrollOrigin(page, QSizeF(renderSize()), position);
  const QPointF shown = view_->documentVisibleRect().topLeft();
  if (wanted == shown.toPoint()) return;
  view_->page()->runJavaScript(
      QStringLiteral("window.scrollTo(%1, %2);").arg(wanted.x()).arg(wanted.y()));
}

void WebSource::askMainThreadToCheck() {
  if (checkPending_.exchange(true)) return;
  MainThread::post([this, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.lock()) return;
    checkPending_.store(false);
    prepareWebViewsIfNeeded();
  });
}

// --- The frame -----------------------------------------------------------------------------

void WebSource::render(const gl::DisplayLink::Frame&) {
  if (deleted() || !isCurrentSource()) return;
  static const bool queried = [] {
    if (QOpenGLContext* context = QOpenGLContext::currentContext()) {
      GLint size = 0;
      context->functions()->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
      if (size > 0) maxTexture.store(size);
    }
    return true;
  }();
  (void)queried;
  askMainThreadToCheck();
  std::unique_lock<std::mutex> lock(viewMutex_, std::try_to_lock);
  if (!lock.owns_lock() || !view_) return;
  QKWebView::Picture picture = view_->render();  // queues a grab on the main thread
  lock.unlock();
  if (!picture) {
    Log::limited(QStringLiteral("WebSource.rep"), QStringLiteral("\t\terr: rep was nil"));
    return;
  }
  if (picture->width() < 1 || picture->height() < 1) {
    Log::limited(QStringLiteral("WebSource.repSize"),
                 QStringLiteral("\t\terr: webview's rep sized %1 x %2")
                     .arg(picture->width())
                     .arg(picture->height()));
    return;
  }
  if (picture == lastPicture_) return;
  lastPicture_ = picture;
  gl::TextureHandle made = uploader_.upload(gl::PixelUploader::toStraightRGBA(*picture));
  if (!made) {
    Log::limited(QStringLiteral("WebSource.texture"),
                 QStringLiteral("\t\terr creating texture: 0 "));
    return;
  }
  releaseLater(texture_);
  texture_ = std::move(made);
  uploads_.fetch_add(1);
  if (preview_ && ++renderCount_ > 3) {
    renderCount_ = 0;
    preview_->pictureChanged();
  }
}

gl::TextureHandle WebSource::currentTexture() {
  if (blackFrame()) return {};
  return texture_;
}

// --- Loading -------------------------------------------------------------------------------

void WebSource::refresh() { urlTextFieldUsed(); }

void WebSource::urlTextFieldUsed() {
  if (deleted() || !urlField_) return;
  const std::optional<QString> address = WebSourceRules::addressFromTyped(urlField_->text());
  if (!address) return;  // an empty field loads nothing
  prepareWebViewsIfNeeded();
  loadAddress(*address);
  updateFavIcon();
}

void WebSource::loadAddress(const QString& address) {
  if (view_ && !view_->loadAddress(QUrl(address)))
    Log::line(QStringLiteral("\t\terr: the web source cannot load %1").arg(address));
}

void WebSource::navButtonUsed(QKButton* sender) {
  if (!view_ || !sender) return;
  if (sender == fwdButton_)
    view_->forward();
  else if (sender == backButton_)
    view_->back();
}

void WebSource::resolutionTextFieldUsed(QLineEdit* sender) {
  if (!sender) return;
  const int typed = sender->text().toInt();
  if (sender == widthField_) {
    const int width = WebSourceRules::renderWidth(typed, maxTextureSize());
    if (width != typed || sender->text() != QString::number(width))
      sender->setText(QString::number(width));
    renderWidth_.store(width);
  } else if (sender == heightField_) {
    const int height = WebSourceRules::renderHeight(typed, maxTextureSize());
    if (height != typed) sender->setText(QString::number(height));
    renderHeight_.store(height);
  }
}

void WebSource::loadThisFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) return;
  auto urlFile = std::dynamic_pointer_cast<QKURLFile>(file);
  if (!urlFile) {
    eject();
    return;
  }
  if (currentFile_.load()) softEject();
  prepareWebViewsIfNeeded();
  view_->stopLoading();
  currentFile_.store(file);
  file->setCurrentSource(shared_from_this());
  if (intValue(file->movieProp(kUseCustomRes)) == 1) {
    if (auto width = intValue(file->movieProp(kHorRes))) {
      widthField_->setText(QString::number(*width));
      resolutionTextFieldUsed(widthField_);
    }
    if (auto height = intValue(file->movieProp(kVertRes))) {
      heightField_->setText(QString::number(*height));
      resolutionTextFieldUsed(heightField_);
    }
  }
  if (urlFile->webArchive()) {
    triggering_ = true;
    view_->loadArchive(*urlFile->webArchive());
  } else if (!urlFile->urlString().isEmpty()) {
    urlField_->setText(urlFile->urlString());
    triggering_ = true;
    loadAddress(urlFile->urlString());
  }
  updateFavIcon();
  prepareWebViewsIfNeeded();
}

void WebSource::provisionalLoadStarted(const QUrl& url) {
  if (deleted()) return;
  if (blanking_) {  // the blank page of an eject: the frame stays black
    blanking_ = false;
    return;
  }
  setBlackFrame(false);
  if (urlField_) urlField_->setText(url.toString());
  prepareWebViewsIfNeeded();
  if (triggering_)
    triggering_ = false;
  else
    softEject();  // navigated away from the file's page
  updateFavIcon();
}

void WebSource::loadFinished() {
  if (deleted()) return;
  updateFavIcon();
  scrollIfNeeded();
}

void WebSource::updateFavIcon() {
  if (!favIcon_) return;
  if (!view_) {
    favIcon_->setImage({});
  } else {
    const QIcon icon = view_->pageIcon();
    favIcon_->setImage(icon.isNull() ? QImage() : icon.pixmap(32, 32).toImage());
    if (view_->url().isValid() && !view_->url().isEmpty()) favIcon_->setURL(view_->url());
  }
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

void WebSource::softEject() {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file) return;
  file->setCurrentSource(nullptr);
  currentFile_.store(nullptr);
  triggering_ = false;
  if (view_) view_->stopLoading();
  NotificationCenter::defaultCenter().post(MediaNotifications::kReloadAll);
  updateFavIcon();
}

void WebSource::blankPage() {
  if (!view_) return;
  blanking_ = true;
  view_->setHtml(QStringLiteral(" "));
}

void WebSource::eject() {
  blankPage();
  if (!currentFile_.load()) return;
  setBlackFrame(true);
  softEject();
}

void WebSource::urlFileParamsUpdated(const void* object) {
  auto file = std::dynamic_pointer_cast<QKURLFile>(currentFile_.load());
  if (deleted() || !file || file.get() != object) return;
  if (intValue(file->movieProp(kUseCustomRes)) != 1) return;
  bool changed = false;
  if (auto width = intValue(file->movieProp(kHorRes))) {
    changed |= widthField_->text().toInt() != *width;
    widthField_->setText(QString::number(*width));
    resolutionTextFieldUsed(widthField_);
  }
  if (auto height = intValue(file->movieProp(kVertRes))) {
    changed |= heightField_->text().toInt() != *height;
    heightField_->setText(QString::number(*height));
    resolutionTextFieldUsed(heightField_);
  }
  if (changed && file->isLocalFile()) loadThisFile(file);
}

void WebSource::prepareToBeDeleted() {
  if (deleted()) return;
  observers_.clear();
  if (view_) view_->stopLoading();
  if (preview_) preview_->prepareToBeDeleted();
  if (position_) position_->prepareToBeDeleted();
  eject();
  VidSourceObject::prepareToBeDeleted();
  if (view_) view_->prepareToBeDeleted();
}

// --- Snapshots -----------------------------------------------------------------------------

QVariantMap WebSource::createSnapshot() const {
  QVariantMap snapshot{{QStringLiteral("sourceType"), kSourceType}};
  const QUrl shown = view_ ? view_->url() : QUrl();
  if (shown.isValid() && !shown.isEmpty() && shown.scheme() != QStringLiteral("data") &&
      shown != QUrl(QStringLiteral("about:blank")))
    snapshot.insert(kUrlKey, shown.toString());
  else if (urlField_ && !urlField_->text().isEmpty())
    snapshot.insert(kUrlKey, urlField_->text());
  if (std::shared_ptr<QKFile> file = currentFile_.load())
    snapshot.insert(kFileIdKey, qint64(file->uniqueFileId()));
  snapshot.insert(kWidthKey, widthField_ ? widthField_->text().toInt() : 0);
  snapshot.insert(kHeightKey, heightField_ ? heightField_->text().toInt() : 0);
  if (position_) snapshot.insert(kPositionKey, position_->createSnapshot());
  if (backButton_) snapshot.insert(kBackKey, backButton_->createSnapshot());
  if (fwdButton_) snapshot.insert(kFwdKey, fwdButton_->createSnapshot());
  return snapshot;
}

void WebSource::loadSnapshot(const QVariantMap& snapshot, bool trigger) {
  if (deleted()) return;
  if (auto width = intValue(snapshot.value(kWidthKey)); width && widthField_) {
    widthField_->setText(QString::number(*width));
    resolutionTextFieldUsed(widthField_);
  }
  if (auto height = intValue(snapshot.value(kHeightKey)); height && heightField_) {
    heightField_->setText(QString::number(*height));
    resolutionTextFieldUsed(heightField_);
  }
  const QVariant position = snapshot.value(kPositionKey);
  if (position_ && position.typeId() == QMetaType::QVariantMap)
    position_->loadSnapshot(position.toMap());
  for (const auto& [key, button] :
       {std::pair{kBackKey, backButton_.data()}, std::pair{kFwdKey, fwdButton_.data()}}) {
    const QVariant stored = snapshot.value(key);
    if (button && stored.typeId() == QMetaType::QVariantMap) button->loadSnapshot(stored.toMap());
  }
  std::shared_ptr<QKFile> file;
  if (intValue(snapshot.value(kFileIdKey)))
    file = SourceFileLookup::fileForUniqueId(long(snapshot.value(kFileIdKey).toLongLong()));
  if (file && file->validFile()) {
    if (trigger && layer()) SourceRouting::triggerFileAndWait(*layer(), file);
    return;
  }
  const QVariant url = snapshot.value(kUrlKey);
  if (url.typeId() != QMetaType::QString) return;
  if (urlField_) urlField_->setText(url.toString());
  if (trigger) {
    prepareWebViewsIfNeeded();
    loadAddress(url.toString());
  }
}
