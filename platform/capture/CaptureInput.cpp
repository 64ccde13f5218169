#include "platform/capture/CaptureInput.h"

#include "platform/capture/CaptureRecorder.h"
#include "platform/capture/CaptureStream.h"
#include "platform/foundation/Log.h"

#include <pthread.h>

#include <exception>

std::unique_ptr<CaptureInput> CaptureInput::open(const CaptureSettings& settings, QString* error) {
  std::unique_ptr<CaptureStream> stream = CaptureStream::open(settings, error);
  if (!stream) return nullptr;
  std::unique_ptr<CaptureInput> input(new CaptureInput(settings));
  input->sourceSize_ = stream->sourceSize();
  input->outputSize_ = input->sourceSize_;
  input->frameRate_ = stream->frameRate();
  input->stream_ = std::move(stream);
  return input;
}

CaptureInput::CaptureInput(CaptureSettings settings) : settings_(std::move(settings)) {}

CaptureInput::~CaptureInput() { stop(); }

void CaptureInput::setOutputSize(QSize size) {
  std::lock_guard<std::mutex> lock(sizeMutex_);
  outputSize_ = size;
}

QSize CaptureInput::outputSize() const {
  std::lock_guard<std::mutex> lock(sizeMutex_);
  return outputSize_;
}

QSize CaptureInput::sourceSize() const {
  std::lock_guard<std::mutex> lock(sizeMutex_);
  return sourceSize_;
}

double CaptureInput::frameRate() const {
  std::lock_guard<std::mutex> lock(sizeMutex_);
  return frameRate_;
}

bool CaptureInput::start(const QString& recordPath, QString* error, QString* recordError) {
  if (running_.load()) return true;
  if (thread_.joinable()) thread_.join();  // ended on its own after a failure
  if (!stream_) {
    stream_ = CaptureStream::open(settings_, error);
    if (!stream_) return false;
    std::lock_guard<std::mutex> lock(sizeMutex_);
    sourceSize_ = stream_->sourceSize();
    frameRate_ = stream_->frameRate();
  }
  const QSize size = outputSize();
  stream_->setOutputSize(size.isValid() ? size : stream_->sourceSize());
  recorder_.reset();
  recordError_.clear();
  if (!recordPath.isEmpty()) {
    QString why;
    recorder_ = CaptureRecorder::create(recordPath, stream_->codecParameters(),
                                        stream_->frameRate(), stream_->outputSize(), &why);
    if (!recorder_ && recordError) *recordError = why;
  }
  index_ = 0;
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    requests_ = 0;
  }
  stopping_.store(false);
  running_.store(true);
  thread_ = std::thread([this] { threadMain(); });
  return true;
}

CaptureInput::Recording CaptureInput::stop() {
  stopping_.store(true);
  wakeRequestWaiter();
  if (stream_) stream_->interrupt();
  if (thread_.joinable()) thread_.join();
  running_.store(false);
  Recording recording;
  if (recorder_) {
    recording.path = recorder_->path();
    QString why;
    if (!recorder_->finish(&why)) recording.error = why;
    recording.frames = recorder_->framesWritten();
    recorder_.reset();
  }
  if (recording.error.isEmpty()) recording.error = recordError_;
  stream_.reset();
  return recording;
}

void CaptureInput::threadMain() {
  pthread_setname_np(pthread_self(), "capture");
  QString failure;
  try {
    while (!stopping_.load()) {
      if (settings_.unpaced && !awaitRequest()) break;
      if (!readOne(&failure)) break;
    }
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  } catch (...) {
    failure = QStringLiteral("unknown exception");
  }
  if (stopping_.load()) return;
  running_.store(false);
  if (failureHandler_) failureHandler_(failure);
}

// One packet: recorded (copied, or encoded once decoded) and decoded.
bool CaptureInput::readOne(QString* error) {
  const AVPacket* packet = stream_->readPacket(error);
  if (!packet) return stopping_.load();
  if (recorder_ && recorder_->copies()) {
    QString why;
    if (!recorder_->writePacket(packet, &why)) {
      Log::limited(QStringLiteral("CaptureInput.record"),
                   QStringLiteral("\t\terr: recording %1 failed: %2").arg(recorder_->path(), why));
      recordError_ = why;
    }
  }
  QString why;
  std::shared_ptr<const VideoFrame> frame = stream_->decode(index_, &why);
  if (!frame) {
    if (!why.isEmpty())
      Log::limited(QStringLiteral("CaptureInput.decode"),
                   QStringLiteral("\t\terr: capture decode failed: %1").arg(why));
    return true;
  }
  ++index_;
  if (recorder_ && !recorder_->copies()) {
    QString recordWhy;
    if (!recorder_->writeFrame(stream_->lastDecoded(), &recordWhy)) {
      Log::limited(
          QStringLiteral("CaptureInput.record"),
          QStringLiteral("\t\terr: recording %1 failed: %2").arg(recorder_->path(), recordWhy));
      recordError_ = recordWhy;
    }
  }
  publish(std::move(frame));
  return true;
}

void CaptureInput::publish(std::shared_ptr<const VideoFrame> frame) {
  std::shared_ptr<const VideoFrame> old;
  {
    std::lock_guard<std::mutex> lock(frameMutex_);
    old = std::move(newest_);
    newest_ = std::move(frame);
    if (handOverHook_) handOverHook_();
  }
  decoded_.fetch_add(1);
  if (settings_.unpaced) {
    std::lock_guard<std::mutex> lock(requestMutex_);
    if (requests_ > 0) --requests_;
  }
}  // the picture replaced is freed here, outside the lock

void CaptureInput::requestFrame() {
  if (!settings_.unpaced) return;
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    ++requests_;
  }
  requestArrived_.notify_one();
}

// Capture thread: false once the input stops.
bool CaptureInput::awaitRequest() {
  std::unique_lock<std::mutex> lock(requestMutex_);
  requestArrived_.wait(lock, [this] { return requests_ > 0 || stopping_.load(); });
  return !stopping_.load();
}

void CaptureInput::wakeRequestWaiter() {
  { std::lock_guard<std::mutex> lock(requestMutex_); }  // a waiter sees `stopping_`
  requestArrived_.notify_all();
}

std::shared_ptr<const VideoFrame> CaptureInput::newestFrame() const {
  std::lock_guard<std::mutex> lock(frameMutex_);
  return newest_;
}

bool CaptureInput::tryNewestFrame(std::shared_ptr<const VideoFrame>* frame) const {
  std::unique_lock<std::mutex> lock(frameMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  *frame = newest_;
  return true;
}
