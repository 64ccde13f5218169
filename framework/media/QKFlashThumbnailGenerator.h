#pragma once

#include "framework/media/QKThumbnailGeneratorInterface.h"
#include "framework/media/WebThumbnailRenderer.h"

#include <QImage>
#include <QString>

#include <deque>
#include <memory>
#include <mutex>

class DelayedCalls;
class QKFlashThumbnailHost;
class QKURLFile;

// Makes the 80 x 60 posters of web files, one page at a time, in a view that
// is never shown: a queue of file IDs (local files go ahead of remote pages;
// a file is queued once), a time-out per page, and the picture taken a
// moment after the page finished (or timed out). After each page the media
// bin is told to reload ("QKMBReloadAllNotification"); the view is closed
// once the queue has run empty. Remote pages are loaded only when the user
// default "loadThumbnailsForRemoteURLFilesDefault" is 1 and the internet is
// available.
//
// The first pictures after a page finishes can be blank: a picture of one
// colour equal to the view's background is taken again, up to three times,
// 0.1 s apart, before it is kept (a page that timed out and is still blank
// then has drawn nothing, and gets its site icon or no poster). Pages that ask for a password are
// skipped, pages that cannot be reached and Flash files get no poster, each
// with one log line, and the run goes on.
//
// Main thread only; its delays and time-out run on the DelayedCalls it is
// given.
class QKFlashThumbnailGenerator : public QKThumbnailGeneratorInterface,
                                  public WebThumbnailRenderer::Listener {
 public:
  static const QString kLoadRemoteDefault;  // "loadThumbnailsForRemoteURLFilesDefault"
  static constexpr double kStartDelay = 0.01;
  static constexpr double kCaptureDelay = 0.1;
  static constexpr double kLoadTimeout = 8.0;
  static constexpr double kSkipDelay = 0.01;
  static constexpr double kCloseDelay = 0.01;
  static constexpr int kBlankRetries = 3;

  QKFlashThumbnailGenerator(std::unique_ptr<WebThumbnailRenderer> renderer, DelayedCalls& calls);
  ~QKFlashThumbnailGenerator() override;
  QKFlashThumbnailGenerator(const QKFlashThumbnailGenerator&) = delete;
  QKFlashThumbnailGenerator& operator=(const QKFlashThumbnailGenerator&) = delete;

  void setAppController(QKFlashThumbnailHost* host) { host_ = host; }
  // Tests and the program's own checks use a shorter time-out.
  void setLoadTimeout(double seconds) { loadTimeout_ = seconds; }

  // Queues the file (unless it is queued already: local ones at the front,
  // remote ones at the end when remote pages are allowed) and starts a run
  // when none is under way, even when nothing was queued.
  void addFileToQueue(const std::shared_ptr<QKURLFile>& file) override;
  // Appends the ID (no duplicate test) and starts a run the same way.
  void addFileIDToQueue(long uniqueId);

  bool loading() const { return loading_; }
  long currentFileID() const { return currentFileID_; }
  std::deque<long> queue() const;
  WebThumbnailRenderer& renderer() { return *renderer_; }

  // Whether a picture is all one colour, `background` (a page not drawn yet).
  static bool looksBlank(const QImage& picture, const QColor& background);

  // The renderer's events.
  void pageLoadStarted() override {}
  void pageProgressed() override;
  void pageFinished() override;
  void pageFailed(const QString& reason) override;
  void pageNeedsAuthentication(const QUrl& url) override;

 private:
  enum class Stage { Idle, Loading, Capturing };

  bool remotePagesAllowed() const;
  void startRun();
  void createThumbnailForNextFile();
  bool startPage(long uniqueId, bool remoteMayLoad);
  bool startLoad(const QKURLFile& file, bool remoteMayLoad);
  // A page that will give no picture ends a moment later, with no poster.
  void skipPage();
  void webViewLoadTimedOut();
  void scheduleCapture(double delay);
  void setThumbnailForCurrentFile();
  QImage capturePoster();
  void finishedGeneratingThumbnail();
  void closeRenderer();
  void cancelTimeout();

  std::unique_ptr<WebThumbnailRenderer> renderer_;
  DelayedCalls& calls_;
  QKFlashThumbnailHost* host_ = nullptr;
  double loadTimeout_ = kLoadTimeout;

  mutable std::mutex queueLock_;  // guards fileQueue_ only
  std::deque<long> fileQueue_;

  long currentFileID_ = -1;
  bool loading_ = false;
  bool receivedAtLeastSomeData_ = false;
  // The page's time-out stopped it, and whether it was still loading then
  // (its site icon may stand in for a picture).
  bool timedOut_ = false;
  bool timedOutWhileLoading_ = false;
  QString currentPage_;  // the page's address or name, for the log
  Stage stage_ = Stage::Idle;
  int blankRetries_ = 0;
  // A page that ends without a load (skipped) asks for the next one from
  // inside createThumbnailForNextFile: the request is noted and served by
  // its loop, so a long run of skipped files does not nest.
  bool inNextFile_ = false;
  bool nextFileAgain_ = false;

  // Keys of the delayed calls: the time-out, and every other step.
  const char timeoutKey_ = 0;
  const char stepKey_ = 0;
};
