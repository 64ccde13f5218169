#pragma once

#include "platform/capture/CaptureSettings.h"
#include "platform/movie/VideoFrame.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CaptureRecorder;
class CaptureStream;

// One live input: a capture thread that reads and decodes its source and
// keeps the newest picture, and writes a recording when one is asked for
// (the muxer runs on the capture thread too). The main thread opens,
// starts and stops it; any thread takes the newest picture, the render
// thread without ever waiting (`tryNewestFrame`).
//
// A failure of the source (a camera unplugged) ends the capture thread; it
// calls the failure handler on that thread, which must not stop the input
// there: the handler hands the stop to the main thread.
class CaptureInput {
 public:
  using FailureHandler = std::function<void(const QString& reason)>;

  struct Recording {
    QString path;        // empty: nothing was recorded
    int64_t frames = 0;  // frames written
    QString error;       // why the recording failed, if it did
  };

  // Opens the source to check that it can be read (a missing, busy or
  // refusing device fails here, with FFmpeg's reason); it stays open for
  // the first start.
  static std::unique_ptr<CaptureInput> open(const CaptureSettings& settings, QString* error);
  ~CaptureInput();
  CaptureInput(const CaptureInput&) = delete;
  CaptureInput& operator=(const CaptureInput&) = delete;

  // Main thread. Starts the capture thread (opening the source again after
  // a stop), recording into `recordPath` when it is not empty: the file is
  // made before the thread starts, and a file that cannot be made fails the
  // start with `recordError` set and nothing recorded (the input still
  // runs). False when the source cannot be opened (`error`).
  bool start(const QString& recordPath, QString* error, QString* recordError);
  // Main thread. Ends the capture thread, closes the source and finishes
  // the recording (answered; also after a failure ended the thread).
  Recording stop();
  bool running() const { return running_.load(); }

  // The size pictures come out at (the source's, or the chosen one): takes
  // effect at the next start.
  void setOutputSize(QSize size);
  QSize outputSize() const;
  QSize sourceSize() const;
  double frameRate() const;
  const CaptureSettings& settings() const { return settings_; }

  // Any thread: the newest picture (null before the first).
  std::shared_ptr<const VideoFrame> newestFrame() const;
  // Never waits: false when the capture thread holds the hand-over now.
  bool tryNewestFrame(std::shared_ptr<const VideoFrame>* frame) const;
  // Pictures decoded since the input was made.
  uint64_t framesDecoded() const { return decoded_.load(); }
  // Any thread. An unpaced input (tests, benchmarks) reads and publishes one
  // picture per call, as soon as it is asked for; requests add up while it
  // runs, and each start begins with none. Other inputs ignore it.
  void requestFrame();

  void setFailureHandler(FailureHandler handler) { failureHandler_ = std::move(handler); }
  // Tests: a hook run on the capture thread with the hand-over held.
  void setHandOverHook(std::function<void()> hook) { handOverHook_ = std::move(hook); }

 private:
  explicit CaptureInput(CaptureSettings settings);
  void threadMain();
  bool readOne(QString* error);
  void publish(std::shared_ptr<const VideoFrame> frame);
  bool awaitRequest();
  void wakeRequestWaiter();

  const CaptureSettings settings_;
  std::unique_ptr<CaptureStream> stream_;
  std::unique_ptr<CaptureRecorder> recorder_;
  QString recordError_;
  QSize outputSize_;
  QSize sourceSize_;
  double frameRate_ = 30.0;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> decoded_{0};
  int64_t index_ = 0;
  mutable std::mutex sizeMutex_;
  mutable std::mutex frameMutex_;
  std::shared_ptr<const VideoFrame> newest_;  // under frameMutex_
  std::mutex requestMutex_;
  std::condition_variable requestArrived_;
  int64_t requests_ = 0;  // under requestMutex_; pictures still asked for
  FailureHandler failureHandler_;
  std::function<void()> handOverHook_;
};
