#include "framework/media/QKFlashThumbnailGenerator.h"

#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFlashThumbnailHost.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/DelayedCalls.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <algorithm>
#include <optional>

const QString QKFlashThumbnailGenerator::kLoadRemoteDefault =
    QStringLiteral("loadThumbnailsForRemoteURLFilesDefault");

namespace {
void noThumbnail(const QString& page, const QString& why) {
  Log::line(QStringLiteral("\t\terr: no thumbnail for %1: %2").arg(page, why));
}

bool isFlashAddress(const QUrl& url) {
  return url.path().endsWith(QStringLiteral(".swf"), Qt::CaseInsensitive);
}
}  // namespace

QKFlashThumbnailGenerator::QKFlashThumbnailGenerator(std::unique_ptr<WebThumbnailRenderer> renderer,
                                                     DelayedCalls& calls)
    : renderer_(std::move(renderer)), calls_(calls) {
  renderer_->setListener(this);
}

QKFlashThumbnailGenerator::~QKFlashThumbnailGenerator() {
  calls_.cancel(&timeoutKey_);
  calls_.cancel(&stepKey_);
  renderer_->setListener(nullptr);
  renderer_->stop();
}

bool QKFlashThumbnailGenerator::remotePagesAllowed() const {
  return UserDefaults::standard().integerValue(kLoadRemoteDefault) == 1;
}

std::deque<long> QKFlashThumbnailGenerator::queue() const {
  std::lock_guard<std::mutex> lock(queueLock_);
  return fileQueue_;
}

void QKFlashThumbnailGenerator::addFileToQueue(const std::shared_ptr<QKURLFile>& file) {
  if (file) {
    const bool remoteAllowed = remotePagesAllowed();
    const long id = file->uniqueFileId();
    std::lock_guard<std::mutex> lock(queueLock_);
    if (std::find(fileQueue_.begin(), fileQueue_.end(), id) == fileQueue_.end()) {
      if (file->isLocalFile())
        fileQueue_.push_front(id);
      else if (remoteAllowed)
        fileQueue_.push_back(id);
    }
  }
  startRun();
}

void QKFlashThumbnailGenerator::addFileIDToQueue(long uniqueId) {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    fileQueue_.push_back(uniqueId);
  }
  startRun();
}

void QKFlashThumbnailGenerator::startRun() {
  if (loading_) return;
  renderer_->prepare();
  loading_ = true;
  calls_.callLater(&stepKey_, kStartDelay, [this] { createThumbnailForNextFile(); });
}

void QKFlashThumbnailGenerator::createThumbnailForNextFile() {
  if (inNextFile_) {
    nextFileAgain_ = true;
    return;
  }
  inNextFile_ = true;
  do {
    nextFileAgain_ = false;
    const bool remoteMayLoad = remotePagesAllowed() && host_ && host_->internetAvailable();
    renderer_->prepare();
    cancelTimeout();
    receivedAtLeastSomeData_ = false;
    timedOut_ = false;
    timedOutWhileLoading_ = false;
    blankRetries_ = 0;
    stage_ = Stage::Idle;
    std::optional<long> next;
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      if (!fileQueue_.empty()) next = fileQueue_.front();
    }
    bool started = false;
    if (next) {
      currentFileID_ = *next;
      started = startPage(*next, remoteMayLoad);
    }
    if (started) {
      stage_ = Stage::Loading;
      calls_.callLater(&timeoutKey_, loadTimeout_, [this] { webViewLoadTimedOut(); });
    } else {
      finishedGeneratingThumbnail();
    }
  } while (nextFileAgain_);
  inNextFile_ = false;
}

bool QKFlashThumbnailGenerator::startPage(long uniqueId, bool remoteMayLoad) {
  const std::shared_ptr<QKFile> file = host_ ? host_->fileForUniqueId(uniqueId) : nullptr;
  const auto web = std::dynamic_pointer_cast<QKURLFile>(file);
  if (!web || web->qkFileType() != QKFile::kWebKind) {
    Log::line(
        QStringLiteral("\t\terr: thumbnail skipped: no web file has the ID %1").arg(uniqueId));
    return false;
  }
  currentPage_ = web->webArchive() ? web->name() : web->urlString();
  return startLoad(*web, remoteMayLoad);
}

bool QKFlashThumbnailGenerator::startLoad(const QKURLFile& file, bool remoteMayLoad) {
  if (!file.isLocalFile() && !remoteMayLoad) {
    Log::line(
        "\terr: attempted to create thumbnail for remote file but blocked by prefs or no "
        "connection available");
    return false;
  }
  if (file.webArchive()) {
    if (file.webArchive()->mainResource().data.isEmpty()) {
      noThumbnail(currentPage_, QStringLiteral("the web archive's page is empty"));
      return false;
    }
    return renderer_->loadArchive(*file.webArchive());
  }
  if (file.urlString().isEmpty()) {
    noThumbnail(file.name(), QStringLiteral("it has no address"));
    return false;
  }
  const QUrl url(file.urlString());
  if (isFlashAddress(url)) {
    noThumbnail(currentPage_, QStringLiteral("Flash files cannot be shown"));
    return false;
  }
  return renderer_->load(url);
}

void QKFlashThumbnailGenerator::pageProgressed() {
  if (stage_ == Stage::Loading) receivedAtLeastSomeData_ = true;
}

void QKFlashThumbnailGenerator::pageFinished() {
  if (stage_ != Stage::Loading) return;
  receivedAtLeastSomeData_ = true;
  cancelTimeout();
  scheduleCapture(kCaptureDelay);
}

void QKFlashThumbnailGenerator::pageFailed(const QString& reason) {
  if (stage_ != Stage::Loading) return;
  noThumbnail(currentPage_, reason);
  skipPage();
}

void QKFlashThumbnailGenerator::pageNeedsAuthentication(const QUrl& url) {
  if (stage_ != Stage::Loading) return;
  Log::line(QStringLiteral("\t\terr: URL required authorization on thumbnail creation: "
                           "skipping %1")
                .arg(url.toDisplayString()));
  skipPage();
}

void QKFlashThumbnailGenerator::skipPage() {
  cancelTimeout();
  stage_ = Stage::Capturing;
  renderer_->stop();
  receivedAtLeastSomeData_ = false;
  calls_.callLater(&stepKey_, kSkipDelay, [this] { finishedGeneratingThumbnail(); });
}

void QKFlashThumbnailGenerator::webViewLoadTimedOut() {
  if (stage_ != Stage::Loading) return;
  cancelTimeout();
  timedOut_ = true;
  timedOutWhileLoading_ = renderer_->isLoading();
  renderer_->stop();
  scheduleCapture(kCaptureDelay);
}

void QKFlashThumbnailGenerator::scheduleCapture(double delay) {
  stage_ = Stage::Capturing;
  calls_.callLater(&stepKey_, delay, [this] { setThumbnailForCurrentFile(); });
}

bool QKFlashThumbnailGenerator::looksBlank(const QImage& picture, const QColor& background) {
  if (picture.isNull()) return true;
  const QImage rgb = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb expected = background.rgba();
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if (row[x] != expected) return false;
  }
  return true;
}

void QKFlashThumbnailGenerator::setThumbnailForCurrentFile() {
  QImage poster;
  if (receivedAtLeastSomeData_) {
    poster = renderer_->render();
    if (looksBlank(poster, renderer_->backgroundColor())) {
      if (blankRetries_ < kBlankRetries) {
        ++blankRetries_;
        scheduleCapture(kCaptureDelay);
        return;
      }
      // A page that finished may be blank; one that timed out drew nothing.
      if (timedOut_) poster = QImage();
    }
  }
  if (poster.isNull() && (renderer_->isLoading() || timedOutWhileLoading_))
    poster = renderer_->icon();
  renderer_->stop();
  if (poster.isNull()) {
    noThumbnail(currentPage_, QStringLiteral("the page drew nothing"));
  } else if (const std::shared_ptr<QKFile> file =
                 host_ ? host_->fileForUniqueId(currentFileID_) : nullptr) {
    file->setPosterImage(poster);
  }
  finishedGeneratingThumbnail();
}

void QKFlashThumbnailGenerator::finishedGeneratingThumbnail() {
  cancelTimeout();
  stage_ = Stage::Idle;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    std::erase(fileQueue_, currentFileID_);
    loading_ = !fileQueue_.empty();
  }
  if (loading_) {
    createThumbnailForNextFile();
    NotificationCenter::defaultCenter().post(MediaNotifications::kReloadAll, this);
  } else {
    NotificationCenter::defaultCenter().post(MediaNotifications::kReloadAll, this);
    calls_.callLater(&stepKey_, kCloseDelay, [this] { closeRenderer(); });
  }
}

void QKFlashThumbnailGenerator::closeRenderer() {
  // A run asked for meanwhile keeps the view.
  if (!loading_) renderer_->close();
}

void QKFlashThumbnailGenerator::cancelTimeout() { calls_.cancel(&timeoutKey_); }
